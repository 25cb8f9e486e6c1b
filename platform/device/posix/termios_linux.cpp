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

}  // namespace

bool ApplyLineSettings(const LineSettings& settings, struct termios2& tio) {
    tcflag_t sizeFlag;
    if (settings.BaudRate == 0 || !DataBitsFlag(settings.ByteSize, sizeFlag)) return false;
    if (settings.Parity != LineSettings::NoParity && settings.Parity != LineSettings::EvenParity)
        return false;
    if (settings.StopBits != LineSettings::OneStopBit && settings.StopBits != LineSettings::TwoStopBits)
        return false;

    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= sizeFlag | BOTHER | (BOTHER << IBSHIFT);
    if (settings.Parity == LineSettings::EvenParity) tio.c_cflag |= PARENB;
    if (settings.StopBits == LineSettings::TwoStopBits) tio.c_cflag |= CSTOPB;
    tio.c_ispeed = settings.BaudRate;
    tio.c_ospeed = settings.BaudRate;
    return true;
}

LineSettings ReadLineSettings(const struct termios2& tio) {
    LineSettings settings;
    settings.BaudRate = tio.c_ospeed;
    settings.ByteSize = DataBits(tio.c_cflag);
    settings.Parity = (tio.c_cflag & PARENB) ? LineSettings::EvenParity : LineSettings::NoParity;
    settings.StopBits = (tio.c_cflag & CSTOPB) ? LineSettings::TwoStopBits : LineSettings::OneStopBit;
    return settings;
}

void DiscardInput(int fd) { ioctl(fd, TCFLSH, TCIFLUSH); }

void DiscardOutput(int fd) { ioctl(fd, TCFLSH, TCOFLUSH); }

bool GetTermios(int fd, struct termios2& tio) { return ioctl(fd, TCGETS2, &tio) == 0; }

bool SetTermios(int fd, const struct termios2& tio) { return ioctl(fd, TCSETS2, &tio) == 0; }

}  // namespace platform
