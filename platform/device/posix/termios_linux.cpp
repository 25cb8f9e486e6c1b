#include "platform/device/posix/termios_linux.h"

#include <sys/ioctl.h>

namespace platform {

void MakeRaw(struct termios2& tio) {
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | IUCLC | IMAXBEL | INPCK);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~CRTSCTS;
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
}

namespace {

bool DataBitsFlag(uint8_t byteSize, tcflag_t& flag) {
    switch (byteSize) {
        case 5: flag = CS5; return true;
        case 6: flag = CS6; return true;
        case 7: flag = CS7; return true;
        case 8: flag = CS8; return true;
        default: return false;
    }
}

uint8_t DataBits(tcflag_t cflag) {
    switch (cflag & CSIZE) {
        case CS5: return 5;
        case CS6: return 6;
        case CS7: return 7;
        default: return 8;
    }
}

// Linux gives 1.5 stop bits only with 5 data bits, where two stop bits mean one and a half.
bool StopBitsExpressible(const LineSettings& settings) {
    switch (settings.StopBits) {
        case LineSettings::OneStopBit: case LineSettings::TwoStopBits: return true;
        case LineSettings::OneAndHalfStopBits: return settings.ByteSize == 5;
        default: return false;
    }
}

tcflag_t ParityFlags(uint8_t parity) {
    switch (parity) {
        case LineSettings::OddParity: return PARENB | PARODD;
        case LineSettings::EvenParity: return PARENB;
        case LineSettings::MarkParity: return PARENB | CMSPAR | PARODD;
        case LineSettings::SpaceParity: return PARENB | CMSPAR;
        default: return 0;
    }
}

uint8_t ParityOf(tcflag_t cflag) {
    if (!(cflag & PARENB)) return LineSettings::NoParity;
    if (cflag & CMSPAR) return (cflag & PARODD) ? LineSettings::MarkParity : LineSettings::SpaceParity;
    return (cflag & PARODD) ? LineSettings::OddParity : LineSettings::EvenParity;
}

}  // namespace

bool ApplyLineSettings(const LineSettings& settings, struct termios2& tio) {
    tcflag_t sizeFlag;
    if (settings.BaudRate == 0 || !DataBitsFlag(settings.ByteSize, sizeFlag)) return false;
    if (settings.Parity > LineSettings::SpaceParity || settings.Flow > LineSettings::XonXoffFlow) return false;
    if (!StopBitsExpressible(settings)) return false;

    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= sizeFlag | ParityFlags(settings.Parity) | BOTHER | (BOTHER << IBSHIFT);
    if (settings.StopBits != LineSettings::OneStopBit) tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (settings.Flow == LineSettings::RtsCtsFlow) tio.c_cflag |= CRTSCTS;
    if (settings.Flow == LineSettings::XonXoffFlow) tio.c_iflag |= IXON | IXOFF;
    tio.c_ispeed = settings.BaudRate;
    tio.c_ospeed = settings.BaudRate;
    return true;
}

LineSettings ReadLineSettings(const struct termios2& tio) {
    LineSettings settings;
    settings.BaudRate = tio.c_ospeed;
    settings.ByteSize = DataBits(tio.c_cflag);
    settings.Parity = ParityOf(tio.c_cflag);
    settings.StopBits = !(tio.c_cflag & CSTOPB)    ? LineSettings::OneStopBit
                        : settings.ByteSize == 5 ? LineSettings::OneAndHalfStopBits
                                                 : LineSettings::TwoStopBits;
    settings.Flow = (tio.c_cflag & CRTSCTS) ? LineSettings::RtsCtsFlow
                    : (tio.c_iflag & IXON)  ? LineSettings::XonXoffFlow
                                            : LineSettings::NoFlow;
    return settings;
}

void DiscardInput(int fd) { ioctl(fd, TCFLSH, TCIFLUSH); }

void DiscardOutput(int fd) { ioctl(fd, TCFLSH, TCOFLUSH); }

bool GetTermios(int fd, struct termios2& tio) { return ioctl(fd, TCGETS2, &tio) == 0; }

bool SetTermios(int fd, const struct termios2& tio) { return ioctl(fd, TCSETS2, &tio) == 0; }

namespace {

unsigned CountedSince(int before, int now) { return static_cast<unsigned>(now) - static_cast<unsigned>(before); }

}  // namespace

LineErrors ErrorsBetween(const ErrorCounts& before, const ErrorCounts& now) {
    LineErrors errors;
    errors.Parity = CountedSince(before.parity, now.parity);
    errors.Framing = CountedSince(before.frame, now.frame);
    errors.Overruns = CountedSince(before.overrun, now.overrun) + CountedSince(before.bufOverrun, now.bufOverrun);
    errors.Breaks = CountedSince(before.brk, now.brk);
    return errors;
}

}  // namespace platform
