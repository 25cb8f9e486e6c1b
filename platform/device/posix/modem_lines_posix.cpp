#include <sys/ioctl.h>

#include "platform/device/posix/modem_lines.h"

namespace platform {

int RealModemIoctl(int fd, unsigned long request, int* bits) {
    return bits ? ioctl(fd, request, bits) : ioctl(fd, request);
}

// Raised and lowered lines in one call each, so that neither waits on the other.
bool SetModemControlLines(int fd, bool dtr, bool rts, const ModemIoctl& call) {
    int raise = (dtr ? TIOCM_DTR : 0) | (rts ? TIOCM_RTS : 0);
    int lower = (dtr ? 0 : TIOCM_DTR) | (rts ? 0 : TIOCM_RTS);
    bool done = true;
    if (raise) done = call(fd, TIOCMBIS, &raise) == 0 && done;
    if (lower) done = call(fd, TIOCMBIC, &lower) == 0 && done;
    return done;
}

bool ReadModemStatusLines(int fd, SerialDevice::ModemStatus& status, const ModemIoctl& call) {
    int lines = 0;
    if (call(fd, TIOCMGET, &lines) != 0) return false;
    status = {(lines & TIOCM_CTS) != 0, (lines & TIOCM_DSR) != 0, (lines & TIOCM_CD) != 0, (lines & TIOCM_RI) != 0};
    return true;
}

bool SetBreakCondition(int fd, bool on, const ModemIoctl& call) { return call(fd, on ? TIOCSBRK : TIOCCBRK, nullptr) == 0; }

}  // namespace platform
