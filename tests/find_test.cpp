#include <gtest/gtest.h>

#include "ui/find.h"

namespace {

TEST(FindText, Cases) {
    const ByteString text = "12:00 Alpha beta\r\n12:01 41 4C 50 \r\n12:02 alp\rha ALPHA\r\n";
    const int alpha = 6, upper = static_cast<int>(text.find("ALPHA")), hex = static_cast<int>(text.find("41 4C"));
    struct Case {
        const char* name;
        ByteString needle;
        int from;
        bool forward, matchCase;
        FoundText found;
    } cases[] = {
        {"first match from the start", "alpha", 0, true, false, {alpha, false}},
        {"the next one after a match", "alpha", alpha + 5, true, false, {upper, false}},
        {"round past the end", "alpha", upper + 5, true, false, {alpha, true}},
        {"case matters when asked", "alpha", 0, true, true, {-1, false}},
        {"case matters, exact", "ALPHA", 0, true, true, {upper, false}},
        {"hex text as shown", "41 4c", 0, true, false, {hex, false}},
        {"backward: the one before", "alpha", upper, false, false, {alpha, false}},
        {"backward round past the start", "alpha", alpha, false, false, {upper, true}},
        {"a match across a line break is not found", "beta\r\n12", 0, true, false, {-1, false}},
        {"nor across a carriage return inside a line", "alp\rha", 0, true, false, {-1, false}},
        {"not there", "gamma", 0, true, false, {-1, false}},
        {"nothing to find", "", 0, true, false, {-1, false}},
        {"a start past the end", "beta", 10000, true, false, {12, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FoundText found = FindText(text, c.needle, c.from, c.forward, c.matchCase);
        EXPECT_EQ(found.position, c.found.position);
        EXPECT_EQ(found.wrapped, c.found.wrapped);
    }
}

// Code page 437's letters with a capital: the history's bytes for "Ä Ö Ü É Ç Å Æ Ñ" and
// their small letters, and letters without a capital that stay themselves.
TEST(FindText, CodePage437LettersIgnoreCaseToo) {
    const ByteString capitals = "\x8E\x99\x9A\x90\x80\x8F\x92\xA5", smalls = "\x84\x94\x81\x82\x87\x86\x91\xA4";
    const ByteString text = "12:00 Temp " + capitals + " x\r\n";
    EXPECT_EQ(FindText(text, smalls, 0, true, false).position, 11);
    EXPECT_EQ(FindText(text, smalls, 0, true, true).position, -1) << "unless case matters";
    EXPECT_EQ(FindText("\x83\x85", "\x83\x85", 0, true, false).position, 0);
    EXPECT_EQ(FindText("\x83", "\x84", 0, true, false).position, -1) << "â (0x83) and ä (0x84) are different letters";
}

}  // namespace
