// The line settings a port keeps, as the settings file holds them and as the Line
// Settings box takes them: what is kept reads back the same, and what is damaged or
// cannot be sent is refused with the reason.
#include <gtest/gtest.h>

#include "tests/line_of.h"

#include "ui/line_choice.h"

namespace {

using platform::LineSettings;


struct KeptCase {
    const char* kept;
    LineSettings line;
    const char* shown;  // as a note says it
};

const KeptCase KeptCases[] = {
    {"use 74880 8N1 none", LineOf(74880, 8, 0, 0), "74880 8N1, no flow control"},
    {"use 250000 8E1 none", LineOf(250000, 8, 2, 0), "250000 8E1, no flow control"},
    {"use 921600 7O2 none", LineOf(921600, 7, 1, 2), "921600 7O2, no flow control"},
    {"use 1500000 8N1 rtscts", LineOf(1500000, 8, 0, 0, 1), "1500000 8N1, RTS/CTS flow control"},
    {"use 2400 8E1 xonxoff", LineOf(2400, 8, 2, 0, 2), "2400 8E1, XON/XOFF flow control"},
    {"use 19200 8M1 none", LineOf(19200, 8, 3, 0), "19200 8M1, no flow control"},
    {"use 300 5N1.5 none", LineOf(300, 5, 0, 1), "300 5N1.5, no flow control"},
    {"off 4000000 6S2 none", LineOf(4000000, 6, 4, 2), "4000000 6S2, no flow control"},
    {"use 50 8N1 none", LineOf(50, 8, 0, 0), "50 8N1, no flow control"},
};

TEST(LineChoiceTest, KeptSettingsReadBackAsWrittenAndAreSaidPlainly) {
    for (const KeptCase& c : KeptCases) {
        LineChoice choice;
        ASSERT_TRUE(ParseLineChoice(c.kept, choice)) << c.kept;
        EXPECT_EQ(choice.Use, std::string(c.kept).rfind("use", 0) == 0) << c.kept;
        EXPECT_EQ(choice.Line, c.line) << c.kept;
        EXPECT_EQ(KeptText(choice), c.kept);
        EXPECT_EQ(LineText(choice.Line), c.shown);
        LineSettings fromBox;
        EXPECT_EQ(LineFromWords(WordsOfLine(c.line), fromBox), "") << c.kept;
        EXPECT_EQ(fromBox, c.line) << "the box shows and takes back the same settings: " << c.kept;
    }
}

TEST(LineChoiceTest, ADamagedEntryGivesNothingAndLeavesTheChoiceAsItWas) {
    const char* const damaged[] = {"", "use", "use 9600 8N1", "use 9600 8N1 none extra", "yes 9600 8N1 none",
                                   "use 0 8N1 none", "use 49 8N1 none", "use 4000001 8N1 none", "use -9600 8N1 none",
                                   "use +9600 8N1 none", "use 96OO 8N1 none", "use 99999999999999999999 8N1 none",
                                   "use 9600 9N1 none", "use 9600 4N1 none", "use 9600 8X1 none", "use 9600 8N3 none",
                                   "use 9600 8N1.5 none", "use 9600 5N2 none", "use 9600 8n1 none", "use 9600 8N1 maybe",
                                   "use 9600 8 N 1 none", "use\t9600 8N1 none\x01"};
    for (const char* text : damaged) {
        LineChoice choice;
        choice.Line.BaudRate = 1234;
        EXPECT_FALSE(ParseLineChoice(text, choice)) << text;
        EXPECT_EQ(choice.Line.BaudRate, 1234u) << text;
        EXPECT_FALSE(choice.Use) << text;
    }
}

TEST(LineChoiceTest, TheBoxRefusesWhatCannotBeSentWithTheReason) {
    struct Case {
        std::vector<std::string> words;
        const char* reason;  // the start of it
    };
    const std::string rateReason = "the baud rate must be a whole number from 50 to 4000000";
    const Case cases[] = {
        {{"abc", "8", "None", "1", "None"}, rateReason.c_str()},
        {{"", "8", "None", "1", "None"}, rateReason.c_str()},
        {{"0", "8", "None", "1", "None"}, rateReason.c_str()},
        {{"-9600", "8", "None", "1", "None"}, rateReason.c_str()},
        {{"4000001", "8", "None", "1", "None"}, rateReason.c_str()},
        {{"9600.5", "8", "None", "1", "None"}, rateReason.c_str()},
        {{" 9600", "8", "None", "1", "None"}, rateReason.c_str()},
        {{"9600", "8", "None", "1.5", "None"}, "1.5 stop bits go with 5 data bits only"},
        {{"9600", "5", "None", "2", "None"}, "with 5 data bits the stop bits are 1 or 1.5"},
        {{"9600", "9", "None", "1", "None"}, "choose data bits"},
        {{"9600", "8", "Sometimes", "1", "None"}, "choose data bits"},
    };
    for (const Case& c : cases) {
        LineSettings line = LineOf(1234, 7, 1, 2);
        const std::string reason = LineFromWords(c.words, line);
        EXPECT_EQ(reason.rfind(c.reason, 0), 0u) << c.words[0] << " " << c.words[3] << ": " << reason;
        EXPECT_EQ(line, LineOf(1234, 7, 1, 2)) << "a refusal changes nothing";
    }
}

TEST(LineChoiceTest, ADifferenceSaysWhatWasAskedAndWhatThePortRunsAt) {
    const LineSettings asked = LineOf(250000, 8, 2, 0);
    EXPECT_EQ(LineDifference(asked, asked), "");
    EXPECT_EQ(LineDifference(asked, LineOf(249600, 8, 2, 0)), "asked for 250000, the port runs at 249600");
    EXPECT_EQ(LineDifference(asked, LineOf(250000, 8, 0, 0)),
              "asked for 250000 8E1, no flow control; the port runs at 250000 8N1, no flow control");
    EXPECT_EQ(LineDifference(asked, LineOf(250000, 8, 2, 0, LineSettings::XonXoffFlow)),
              "asked for 250000 8E1, no flow control; the port runs at 250000 8E1, XON/XOFF flow control");
}

}  // namespace
