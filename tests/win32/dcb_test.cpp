// What a Windows port is asked for each line setting: the DCB fields the driver takes,
// read back the same. Wine passes only some of them on to the terminal behind a port, so
// what is asked is seen here.
#include <gtest/gtest.h>

#include "platform/device/win32/dcb_win32.h"
#include "tests/line_of.h"

namespace {

using platform::LineSettings;

struct Case {
    uint32_t rate;
    uint8_t size, parity, stop, flow;
    BYTE dcbParity, dcbStop;
    bool ctsFlow, xonXoff;
};

const Case Cases[] = {
    {74880, 8, LineSettings::NoParity, LineSettings::OneStopBit, LineSettings::NoFlow, NOPARITY, ONESTOPBIT, false, false},
    {250000, 8, LineSettings::EvenParity, LineSettings::OneStopBit, LineSettings::NoFlow, EVENPARITY, ONESTOPBIT, false, false},
    {921600, 7, LineSettings::OddParity, LineSettings::TwoStopBits, LineSettings::NoFlow, ODDPARITY, TWOSTOPBITS, false, false},
    {1500000, 8, LineSettings::NoParity, LineSettings::OneStopBit, LineSettings::RtsCtsFlow, NOPARITY, ONESTOPBIT, true, false},
    {2400, 8, LineSettings::EvenParity, LineSettings::OneStopBit, LineSettings::XonXoffFlow, EVENPARITY, ONESTOPBIT, false, true},
    {19200, 8, LineSettings::MarkParity, LineSettings::OneStopBit, LineSettings::NoFlow, MARKPARITY, ONESTOPBIT, false, false},
    {19200, 8, LineSettings::SpaceParity, LineSettings::OneStopBit, LineSettings::NoFlow, SPACEPARITY, ONESTOPBIT, false, false},
    {300, 5, LineSettings::NoParity, LineSettings::OneAndHalfStopBits, LineSettings::NoFlow, NOPARITY, ONE5STOPBITS, false, false},
};

TEST(DcbTest, EachSettingAsksTheDriverItsFieldsAndReadsBackTheSame) {
    for (const Case& c : Cases) {
        DCB state{};
        state.DCBlength = sizeof state;
        state.fRtsControl = RTS_CONTROL_HANDSHAKE;  // as a previous RTS/CTS left it
        state.fOutX = state.fInX = TRUE;
        const LineSettings line = LineOf(c.rate, c.size, c.parity, c.stop, c.flow);
        ASSERT_TRUE(platform::ApplyLineSettings(line, state));
        EXPECT_EQ(state.BaudRate, c.rate);
        EXPECT_EQ(state.ByteSize, c.size);
        EXPECT_EQ(state.Parity, c.dcbParity) << c.rate;
        EXPECT_EQ(state.StopBits, c.dcbStop) << c.rate;
        EXPECT_EQ(state.fOutxCtsFlow != 0, c.ctsFlow) << c.rate;
        EXPECT_EQ(state.fRtsControl, static_cast<DWORD>(c.ctsFlow ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE)) << c.rate;
        EXPECT_EQ(state.fOutX != 0, c.xonXoff) << c.rate;
        EXPECT_EQ(state.fInX != 0, c.xonXoff) << c.rate;
        if (c.xonXoff) EXPECT_NE(state.XonChar, state.XoffChar);
        EXPECT_EQ(platform::ReadLineSettings(state), line) << c.rate;
    }
}

TEST(DcbTest, AParityWithoutANameReadsAsNone) {
    DCB state{};
    state.Parity = 7;
    EXPECT_EQ(platform::ReadLineSettings(state).Parity, LineSettings::NoParity);
}

}  // namespace

// Every field that drops, alters or holds bytes, as another program may leave them: the
// port must carry every byte both ways whatever DSR does, and keep DTR and RTS ours.
TEST(DcbTest, WhatAnotherProgramLeftThatLosesBytesIsReset) {
    for (const bool linesLow : {false, true}) {
        DCB state{};
        state.DCBlength = sizeof state;
        state.fNull = state.fErrorChar = state.fAbortOnError = TRUE;
        state.fDsrSensitivity = state.fOutxDsrFlow = TRUE;
        state.fTXContinueOnXoff = FALSE;
        state.fDtrControl = DTR_CONTROL_HANDSHAKE;
        state.fRtsControl = RTS_CONTROL_TOGGLE;
        state.BaudRate = 57600;
        platform::ResetLeftoverState(state, linesLow);
        EXPECT_FALSE(state.fNull);
        EXPECT_FALSE(state.fErrorChar);
        EXPECT_FALSE(state.fAbortOnError);
        EXPECT_FALSE(state.fDsrSensitivity);
        EXPECT_FALSE(state.fOutxDsrFlow);
        EXPECT_TRUE(state.fTXContinueOnXoff);
        EXPECT_TRUE(state.fBinary);
        EXPECT_EQ(state.fDtrControl, static_cast<DWORD>(linesLow ? DTR_CONTROL_DISABLE : DTR_CONTROL_ENABLE));
        EXPECT_EQ(state.fRtsControl, static_cast<DWORD>(linesLow ? RTS_CONTROL_DISABLE : RTS_CONTROL_ENABLE));
        EXPECT_EQ(state.BaudRate, 57600u) << "the rate is the line settings' to set";
    }
    DCB handshake{};
    handshake.fRtsControl = RTS_CONTROL_HANDSHAKE;
    platform::ResetLeftoverState(handshake, false);
    EXPECT_EQ(handshake.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE)) << "RTS/CTS is a line setting";
}
