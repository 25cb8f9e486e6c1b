// The mapping of line settings onto termios2, as a pure function: a pseudo-terminal
// quietly turns CS7 and PARENB back into CS8, so it cannot show these.
#include <gtest/gtest.h>

#include "platform/posix/termios_linux.h"

namespace {

using platform::LineSettings;

termios2 Cooked() {
    termios2 tio{};
    tio.c_iflag = ICRNL | IXON | IXOFF | ISTRIP | INLCR;
    tio.c_oflag = OPOST | ONLCR;
    tio.c_lflag = ECHO | ICANON | ISIG | IEXTEN;
    tio.c_cflag = CS8 | B9600 | HUPCL;
    return tio;
}

struct Case {
    const char* name;
    LineSettings settings;
    tcflag_t size;
    bool parity;
    bool twoStop;
};

TEST(TermiosMapping, LineSettingsTable) {
    const Case cases[] = {
        {"7E1", {9600, 7, LineSettings::EvenParity, LineSettings::OneStopBit}, CS7, true, false},
        {"8N1", {115200, 8, LineSettings::NoParity, LineSettings::OneStopBit}, CS8, false, false},
        {"8N2", {256000, 8, LineSettings::NoParity, LineSettings::TwoStopBits}, CS8, false, true},
        {"7E2 odd rate", {14400, 7, LineSettings::EvenParity, LineSettings::TwoStopBits}, CS7, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        termios2 tio = Cooked();
        ASSERT_TRUE(platform::ApplyLineSettings(c.settings, tio));
        EXPECT_EQ(tio.c_cflag & CSIZE, c.size);
        EXPECT_EQ((tio.c_cflag & PARENB) != 0, c.parity);
        EXPECT_EQ(tio.c_cflag & PARODD, 0u);
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.twoStop);
        EXPECT_EQ(tio.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER));
        EXPECT_EQ(tio.c_ospeed, c.settings.BaudRate);
        EXPECT_EQ(tio.c_ispeed, c.settings.BaudRate);
        EXPECT_TRUE(tio.c_cflag & HUPCL) << "other flags are kept";
        LineSettings back = platform::ReadLineSettings(tio);
        EXPECT_EQ(back.BaudRate, c.settings.BaudRate);
        EXPECT_EQ(back.ByteSize, c.settings.ByteSize);
        EXPECT_EQ(back.Parity, c.settings.Parity);
        EXPECT_EQ(back.StopBits, c.settings.StopBits);
    }
}

TEST(TermiosMapping, RefusesWhatThePortCannotExpressAndLeavesItUnchanged) {
    const LineSettings refused[] = {
        {9600, 9, LineSettings::NoParity, LineSettings::OneStopBit},
        {0, 8, LineSettings::NoParity, LineSettings::OneStopBit},
        {9600, 8, 1, LineSettings::OneStopBit},
        {9600, 8, LineSettings::NoParity, 1},
    };
    for (const LineSettings& settings : refused) {
        termios2 tio = Cooked();
        EXPECT_FALSE(platform::ApplyLineSettings(settings, tio));
        EXPECT_EQ(tio.c_cflag, Cooked().c_cflag);
    }
}

TEST(TermiosMapping, RawModeLetsEveryBytePass) {
    termios2 tio = Cooked();
    platform::MakeRaw(tio);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(tio.c_cc[VMIN], 1);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
}

}  // namespace
