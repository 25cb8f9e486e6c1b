// The list F1 shows is read from the menu tables: an item added to a table is in it.
#include <gtest/gtest.h>

#include "ui/keys_help.h"

namespace {

TEST(KeysAndMenus, EveryItemOfTheTablesIsListedWithItsKeyAndWhatItDoes) {
    std::vector<platform::MenuCommand> history = {
        platform::Described({"&Find...", "Ctrl+F", [] {}, {}}, "a box to find a text"),
        {"P&ort", "", {}, {}, {platform::Described({"Send &Break", "", [] {}, {}}, "a break")}},
    };
    const std::vector<platform::MenuCommand> input = {{"Line &End", "", {}, {}, {{"CR L&F", "", [] {}, {}}}}};
    ByteString text = KeysAndMenusText(history, input, "/home/ana/.config/comterm/comterm.ini", "/home/ana/.config/comterm/ports");
    for (const char* said : {"  Find...  [Ctrl+F]: a box to find a text\n", "  Port\n", "      Send Break: a break\n",
                             "  Line End\n      CR LF\n", "/home/ana/.config/comterm/comterm.ini",
                             "linked in /home/ana/.config/comterm/ports"})
        EXPECT_NE(text.find(said), ByteString::npos) << said << "\n" << text;
    history.push_back({"A &New Item", "F9", [] {}, {}});
    text = KeysAndMenusText(history, input, "C:\\users\\ana\\comterm.ini", "");
    EXPECT_NE(text.find("  A New Item  [F9]\n"), ByteString::npos) << text;
    EXPECT_NE(text.find("the [Ports] section"), ByteString::npos) << "Windows keeps its numbers in the settings";
}

}  // namespace
