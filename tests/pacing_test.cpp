// Send Pacing's values as the box takes them: in range, a reply's escapes well formed,
// anything else refused with the reason and nothing changed.
#include <gtest/gtest.h>

#include "ui/pacing.h"

namespace {

TEST(Pacing, TheBoxTakesValuesInRangeAndRefusesTheRestWithTheReason) {
    struct Case {
        std::vector<std::string> words;  // character delay, line delay, reply, time-out
        const char* refusal;             // "" when taken; else the start of the reason
    } cases[] = {
        {{"0", "0", "", "2000"}, ""},
        {{"20", "200", ">", "100"}, ""},
        {{"5000", "60000", "OK\\r\\n", "60000"}, ""},
        {{"5001", "0", "", "2000"}, "the delay after each character is a whole number of ms from 0 to 5000"},
        {{"-1", "0", "", "2000"}, "the delay after each character"},
        {{"", "0", "", "2000"}, "the delay after each character"},
        {{"0", "60001", "", "2000"}, "the delay after each line is a whole number of ms from 0 to 60000"},
        {{"0", "1.5", "", "2000"}, "the delay after each line"},
        {{"0", "0", "", "99"}, "the wait for a reply is a whole number of ms from 100 to 60000"},
        {{"0", "0", "", "60001"}, "the wait for a reply"},
        {{"0", "0", "\\x4", "2000"}, "the reply: "},
        {{"0", "0", "ok\\", "2000"}, "the reply: "},
        {{"99999999999", "0", "", "2000"}, "the delay after each character"},
    };
    for (const Case& c : cases) {
        Pacing pacing;
        pacing.CharDelayMs = 7;
        const std::string refusal = PacingFromWords(c.words, pacing);
        EXPECT_EQ(refusal.rfind(c.refusal, 0), 0u) << c.words[0] << "/" << c.words[1] << "/" << c.words[3] << ": " << refusal;
        if (*c.refusal) {
            EXPECT_EQ(pacing.CharDelayMs, 7) << "a refusal changes nothing";
        } else {
            EXPECT_EQ(WordsOfPacing(pacing), c.words) << "read back as given";
        }
    }
    Pacing reply;
    ASSERT_EQ(PacingFromWords({"0", "0", "OK\\r\\n", "2000"}, reply), "");
    EXPECT_EQ(reply.Reply(), "OK\r\n");
    EXPECT_TRUE(reply.Any());
    EXPECT_FALSE(Pacing().Any());
}

}  // namespace
