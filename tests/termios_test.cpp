// What a Linux port is asked for each line setting: the termios2 flags that the kernel
// takes, read back the same. A pseudo-terminal forces 8 data bits and no parity, so data
// bits and parity are seen here, in what the driver is handed.
#include <gtest/gtest.h>
#include <climits>

#include "tests/line_of.h"

#include "platform/device/posix/termios_linux.h"

namespace {

using platform::LineSettings;

struct Case {
    LineSettings line;
    tcflag_t cflagSet;   // among CSIZE, PARENB, PARODD, CMSPAR, CSTOPB, CRTSCTS
    tcflag_t iflagSet;   // among IXON, IXOFF
};


const Case Cases[] = {
    {LineOf(74880, 8, LineSettings::NoParity, LineSettings::OneStopBit, LineSettings::NoFlow), CS8, 0},
    {LineOf(250000, 8, LineSettings::EvenParity, LineSettings::OneStopBit, LineSettings::NoFlow), CS8 | PARENB, 0},
    {LineOf(921600, 7, LineSettings::OddParity, LineSettings::TwoStopBits, LineSettings::NoFlow), CS7 | PARENB | PARODD | CSTOPB, 0},
    {LineOf(1500000, 8, LineSettings::NoParity, LineSettings::OneStopBit, LineSettings::RtsCtsFlow), CS8 | CRTSCTS, 0},
    {LineOf(2400, 8, LineSettings::EvenParity, LineSettings::OneStopBit, LineSettings::XonXoffFlow), CS8 | PARENB, IXON | IXOFF},
    {LineOf(19200, 8, LineSettings::MarkParity, LineSettings::OneStopBit, LineSettings::NoFlow), CS8 | PARENB | CMSPAR | PARODD, 0},
    {LineOf(19200, 6, LineSettings::SpaceParity, LineSettings::TwoStopBits, LineSettings::NoFlow), CS6 | PARENB | CMSPAR | CSTOPB, 0},
    {LineOf(300, 5, LineSettings::NoParity, LineSettings::OneAndHalfStopBits, LineSettings::NoFlow), CS5 | CSTOPB, 0},
};

constexpr tcflag_t LineCflags = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;

TEST(TermiosTest, EachSettingAsksTheKernelItsFlagsAndReadsBackTheSame) {
    for (const Case& c : Cases) {
        termios2 tio{};
        // What was there before goes: the opposite of every flag the case wants.
        tio.c_cflag = (LineCflags & ~c.cflagSet) | CS5;
        tio.c_iflag = (IXON | IXOFF | IXANY) & ~c.iflagSet;
        ASSERT_TRUE(platform::ApplyLineSettings(c.line, tio)) << c.line.BaudRate;
        EXPECT_EQ(tio.c_cflag & LineCflags, c.cflagSet) << c.line.BaudRate;
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY), c.iflagSet) << c.line.BaudRate;
        EXPECT_EQ(tio.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER)) << "any whole rate goes as it is";
        EXPECT_EQ(tio.c_ospeed, c.line.BaudRate);
        EXPECT_EQ(tio.c_ispeed, c.line.BaudRate);
        EXPECT_EQ(platform::ReadLineSettings(tio), c.line) << c.line.BaudRate;
    }
}

TEST(TermiosTest, WhatLinuxCannotExpressLeavesTheSettingsAsTheyWere) {
    const LineSettings refused[] = {
        LineOf(0, 8, LineSettings::NoParity, LineSettings::OneStopBit, LineSettings::NoFlow),
        LineOf(9600, 9, LineSettings::NoParity, LineSettings::OneStopBit, LineSettings::NoFlow),
        LineOf(9600, 4, LineSettings::NoParity, LineSettings::OneStopBit, LineSettings::NoFlow),
        LineOf(9600, 8, LineSettings::NoParity, LineSettings::OneAndHalfStopBits, LineSettings::NoFlow),
        LineOf(9600, 8, 5, LineSettings::OneStopBit, LineSettings::NoFlow),
        LineOf(9600, 8, LineSettings::NoParity, 3, LineSettings::NoFlow),
        LineOf(9600, 8, LineSettings::NoParity, LineSettings::OneStopBit, 3),
    };
    for (const LineSettings& line : refused) {
        termios2 tio{};
        tio.c_cflag = CS7 | PARENB | CSTOPB;
        tio.c_ospeed = 1234;
        const termios2 before = tio;
        EXPECT_FALSE(platform::ApplyLineSettings(line, tio));
        EXPECT_EQ(tio.c_cflag, before.c_cflag);
        EXPECT_EQ(tio.c_ospeed, before.c_ospeed);
    }
}

}  // namespace

// The driver's counters are ints that run on: a count across the wrap is the count that
// came, not a negative number turned into billions (nor undefined arithmetic).
TEST(TermiosTest, ErrorCountsAcrossACounterThatWrappedAreTheCountsThatCame) {
    const platform::ErrorCounts before{INT_MAX - 1, 5, INT_MAX, 0, 7};
    const platform::ErrorCounts now{INT_MIN + 1, 8, INT_MIN, 2, 7};
    const platform::LineErrors errors = platform::ErrorsBetween(before, now);
    EXPECT_EQ(errors.Parity, 3u);
    EXPECT_EQ(errors.Framing, 3u);
    EXPECT_EQ(errors.Overruns, 3u);
    EXPECT_EQ(errors.Breaks, 0u);
}
