// The save dialog's rules both backends share: which type a name is of, and the name a
// type chosen in the dialog gives.
#include <gtest/gtest.h>

#include "platform/window/file_dialog.h"

namespace {

const std::vector<platform::FileType> LogTypes = {{"Text as shown", {"log", "txt"}}, {"Received bytes", {"bin"}}};

TEST(FileDialog, AnotherTypeChangesTheExtensionOnlyWhenItWasOneOfTheTypes) {
    struct Case {
        std::string name;
        int type;
        std::string renamed;
    } cases[] = {
        {"comterm-20261211-101500.log", 1, "comterm-20261211-101500.bin"},
        {"capture.bin", 0, "capture.log"},
        {"notes.TXT", 0, "notes.TXT"},     // already of that type
        {"notes.txt", 1, "notes.bin"},
        {"capture.dat", 1, "capture.dat"},  // the user's own extension stays
        {"capture", 1, "capture"},          // none: the type's is added when saved
        {"my.logs/capture", 1, "my.logs/capture"},
        {"C:\\logs.d\\capture.log", 1, "C:\\logs.d\\capture.bin"},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::NameForType(c.name, LogTypes, c.type), c.renamed) << c.name;
}

TEST(FileDialog, TheNameSaysItsType) {
    EXPECT_EQ(platform::TypeOfName("/home/ana/capture.bin", LogTypes), 1);
    EXPECT_EQ(platform::TypeOfName("/home/ana/capture.BIN", LogTypes), 1);
    EXPECT_EQ(platform::TypeOfName("/home/ana/capture.txt", LogTypes), 0);
    EXPECT_EQ(platform::TypeOfName("/home/ana/capture.dat", LogTypes), -1);
    EXPECT_EQ(platform::TypeOfName("/home/ana/.bin", LogTypes), -1) << "a hidden file's name is not its extension";
}

}  // namespace
