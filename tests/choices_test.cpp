// Kept choices through their table: what each kind reads from a file written by hand or
// by an earlier comterm, and what a change writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/files/settings.h"
#include "ui/choices.h"

namespace {

namespace fs = std::filesystem;

class ChoicesTest : public ::testing::Test {
protected:
    ChoicesTest() {
        folder = fs::temp_directory_path() / ("comterm-choices-" + std::to_string(std::random_device{}()));
        path = (folder / "comterm.ini").string();
        fs::create_directories(folder);
    }
    ~ChoicesTest() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    void Put(const std::string& content) { std::ofstream(path, std::ios::binary) << content; }
    // What the file holds once this process's changes are written.
    std::string Content() const {
        platform::Settings::WaitUntilWritten();
        std::ifstream file(path, std::ios::binary);
        std::ostringstream content;
        content << file.rdbuf();
        return content.str();
    }
    fs::path folder;
    std::string path;
};

TEST_F(ChoicesTest, FlagsReadTheirDefaultUnlessKeptAsOneOrZero) {
    struct Case {
        const char* stored;  // nullptr: no such line
        bool dtr, milliseconds;
    };
    const Case cases[] = {
        {nullptr, true, false}, {"1", true, true}, {"0", false, false}, {"yes", true, false}, {"", true, false},
    };
    for (const Case& c : cases) {
        Put(c.stored ? std::string("[comterm]\nDTR=") + c.stored + "\nMilliseconds=" + c.stored + "\n" : "[comterm]\n");
        const Choices choices(path);
        EXPECT_EQ(choices.Flag(Choice::Dtr), c.dtr) << (c.stored ? c.stored : "none");
        EXPECT_EQ(choices.Flag(Choice::Milliseconds), c.milliseconds) << (c.stored ? c.stored : "none");
    }
}

TEST_F(ChoicesTest, AWordTheListDoesNotHoldGivesTheDefault) {
    Put("[comterm]\nLineEnd=LF\nLogType=words\n");
    const Choices choices(path);
    EXPECT_EQ(choices.Text(Choice::LineEnd), "LF");
    EXPECT_EQ(choices.Text(Choice::LogType), "text");
}

TEST_F(ChoicesTest, AListEndsAtItsFirstGapAndTakesANewEntryFirstOnce) {
    Put("[comterm]\nSent1=newest\nSent2=older\nSent4=after a gap\n");
    Choices choices(path);
    EXPECT_EQ(choices.List(Choice::SentLines), (std::vector<std::string>{"newest", "older"}));
    choices.PutFirst(Choice::SentLines, "older");
    EXPECT_EQ(Choices(path).List(Choice::SentLines), (std::vector<std::string>{"older", "newest"}));
    EXPECT_EQ(Content().find("Sent4"), std::string::npos) << "past the gap: gone";
}

// Two windows sending: each one's lines stay in the list the next start reads.
TEST_F(ChoicesTest, TwoWindowsSendingKeepEachOthersLines) {
    Choices first(path), second(path);
    first.PutFirst(Choice::SentLines, "from the first");
    second.PutFirst(Choice::SentLines, "from the second");
    first.PutFirst(Choice::SentLines, "first again");
    EXPECT_EQ(Choices(path).List(Choice::SentLines),
              (std::vector<std::string>{"first again", "from the second", "from the first"}));
}

TEST_F(ChoicesTest, TheListHoldsAtMostAHundred) {
    Choices choices(path);
    for (int i = 0; i < 105; ++i) choices.PutFirst(Choice::SentLines, std::to_string(i));
    const std::vector<std::string> kept = Choices(path).List(Choice::SentLines);
    ASSERT_EQ(kept.size(), 100u);
    EXPECT_EQ(kept.front(), "104");
    EXPECT_EQ(kept.back(), "5");
}

// A file an earlier comterm wrote: flags written "0"/"1", the recall list, [Ports].
TEST_F(ChoicesTest, AFileFromTheVersionBeforeReadsTheSameAndKeepsItsOtherSections) {
    Put("[comterm]\nDTR=0\nInterpretEscapes=1\nLineEnd=CRLF\nLogFolder=/home/ana/logs\nSent1=AT\n\n[Ports]\n9=rfc2217://lab:2001\n");
    Choices choices(path);
    EXPECT_FALSE(choices.Flag(Choice::Dtr));
    EXPECT_TRUE(choices.Flag(Choice::Rts));
    EXPECT_TRUE(choices.Flag(Choice::InterpretEscapes));
    EXPECT_EQ(choices.Text(Choice::LineEnd), "CRLF");
    EXPECT_EQ(choices.Text(Choice::LogFolder), "/home/ana/logs");
    EXPECT_EQ(choices.List(Choice::SentLines), (std::vector<std::string>{"AT"}));
    choices.SetFlag(Choice::Rts, false);
    EXPECT_NE(Content().find("RTS=0\n"), std::string::npos);
    EXPECT_NE(Content().find("DTR=0\n"), std::string::npos);
    EXPECT_NE(Content().find("[Ports]\n9=rfc2217://lab:2001\n"), std::string::npos);
}

}  // namespace
