#include <gtest/gtest.h>

#include <random>

#include "ui/display.h"

namespace {

ByteString Bytes(std::initializer_list<int> values) {
    ByteString bytes;
    for (int v : values) bytes += static_cast<char>(v);
    return bytes;
}

TEST(Conversions, HexDigitsAndBytes) {
    const char expected[] = "0123456789ABCDEF";
    for (int value = 0; value < 16; ++value) EXPECT_EQ(HexDigit(value), expected[value]);
    EXPECT_EQ(HexByte(0x00), "00");
    EXPECT_EQ(HexByte(0xA5), "A5");
    EXPECT_EQ(HexByte(0xFF), "FF");
}

TEST(Conversions, Table) {
    struct Case {
        const char* name;
        ByteString (*convert)(const ByteString&);
        ByteString input, output;
    } cases[] = {
        {"hex of 41 0D FF", ToHexText, Bytes({0x41, 0x0D, 0xFF}), "41 0D FF "},
        {"hex of nothing", ToHexText, "", ""},
        {"hex of NUL", ToHexText, Bytes({0x00}), "00 "},
        {"strip 80 and FF", StripTo7Bit, Bytes({0x80, 0xFF, 0x41}), Bytes({0x00, 0x7F, 0x41})},
        {"mask controls but CR", MaskControlChars, Bytes({0x00, 0x0A, 0x0D, 0x09, 0x1F, 0x20, 0x7F, 0xBA}),
         Bytes({0xBA, 0xBA, 0x0D, 0xBA, 0xBA, 0x20, 0x7F, 0xBA})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ByteString input = c.input;
        EXPECT_EQ(c.convert(input), c.output);
        EXPECT_EQ(input, c.input) << "the argument is not changed";
    }
}

TEST(HistoryLine, EachFormat) {
    const ByteString stamp = "12/10/26 3:04:05 pm";
    struct Case {
        int format;
        ByteString text, shown;
    } cases[] = {
        {0, Bytes({'A', 0x0A, 0x0D, 0x80}), Bytes({'A', 0xBA, 0x0D, 0x80})},  // 8-Bit ASCII
        {1, Bytes({0x41, 0x0D, 0xFF}), "41 0D FF "},                        // 8-Bit Hex
        {2, Bytes({0x80, 0xC1}), Bytes({0xBA, 0x41})},                      // 7-Bit ASCII
        {3, Bytes({0x31, 0xB2}), "31 32 "},                                 // 7-Bit Hex
        {4, Bytes({'A', 0x0A, 0x80}), Bytes({'A', 0xBA, 0x80})},            // 9-Bit ASCII
        {5, Bytes({0x41, 0x0D, 0xFF}), "41 0D FF "},                        // 9-bit Hex
        {1, "", ""},
        {0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(BuildHistoryLine(c.text, c.format, stamp), stamp + " " + c.shown);
    }
}

// The text beside the hex keeps the entry on one line: CR and LF are masked there too.
TEST(HistoryLine, TextBesideHexInTheHexFormatsOnly) {
    const ByteString stamp = "12/10/26 5:54:49 PM";
    const ByteString reading = Bytes({'T', 'e', 'm', 'p', 0xF8, 'C', 0x07, 0x0D, 0x0A});
    struct Case {
        int format;
        ByteString shown;
    } cases[] = {
        {1, "54 65 6D 70 F8 43 07 0D 0A   Temp" + Bytes({0xF8, 'C', 0xBA, 0xBA, 0xBA})},
        {3, "54 65 6D 70 78 43 07 0D 0A   TempxC" + Bytes({0xBA, 0xBA, 0xBA})},  // 7-Bit Hex: the 7-bit text
        {5, "54 65 6D 70 F8 43 07 0D 0A   Temp" + Bytes({0xF8, 'C', 0xBA, 0xBA, 0xBA})},
        {0, "Temp" + Bytes({0xF8, 'C', 0xBA, 0x0D, 0xBA})},  // the text formats as ever
        {2, "TempxC" + Bytes({0xBA, 0x0D, 0xBA})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const ByteString line = BuildHistoryLine(reading, c.format, stamp, true);
        EXPECT_EQ(line, stamp + " " + c.shown);
        EXPECT_EQ(line.size(), HistoryLineLength(reading.size(), c.format, stamp.size(), true));
        EXPECT_EQ(BuildHistoryLine("", c.format, stamp, true).size(), HistoryLineLength(0, c.format, stamp.size(), true));
    }
}

TEST(HistoryLine, RandomTextsFollowTheRulesInEveryFormat) {
    std::mt19937 random(20261210);
    const ByteString stamp = "s";
    for (int round = 0; round < 2000; ++round) {
        ByteString text(random() % 64, '\0');
        for (char& byte : text) byte = static_cast<char>(random());
        for (int format = 0; format < 6; ++format) {
            ByteString line = BuildHistoryLine(text, format, stamp);
            ByteString shown = line.substr(2);
            ASSERT_EQ(line.substr(0, 2), "s ");
            bool hex = format & 1, seven = format & 2;
            ASSERT_EQ(shown.size(), text.size() * (hex ? 3 : 1));
            for (size_t i = 0; i < shown.size(); ++i) {
                unsigned char byte = shown[i];
                ASSERT_TRUE(byte >= 0x20 || byte == 0x0D) << "format " << format;
                if (hex) continue;
                unsigned char source = seven ? text[i] & 0x7F : text[i];
                ASSERT_EQ(byte, source < 0x20 && source != 0x0D ? 0xBA : source);
            }
            if (hex) {
                ASSERT_EQ(shown, ToHexText(seven ? StripTo7Bit(text) : text));
            }
            if (format >= 4) {
                ASSERT_EQ(line, BuildHistoryLine(text, format - 4, stamp));
            }
        }
    }
}

}  // namespace
