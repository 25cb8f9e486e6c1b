#pragma once
// The modem lines of a Linux serial device through their ioctls, with the call passed
// in so that what is asked can be seen without a real adapter.
#include <functional>

#include "platform/device/serial_device.h"

namespace platform {

// ioctl(fd, request, argument) for the modem requests: TIOCMBIS, TIOCMBIC, TIOCMGET
// take an int of TIOCM_ bits; TIOCSBRK and TIOCCBRK take none.
using ModemIoctl = std::function<int(int fd, unsigned long request, int* bits)>;
int RealModemIoctl(int fd, unsigned long request, int* bits);

bool SetModemControlLines(int fd, bool dtr, bool rts, const ModemIoctl& call = RealModemIoctl);
bool ReadModemStatusLines(int fd, SerialDevice::ModemStatus& status, const ModemIoctl& call = RealModemIoctl);
bool SetBreakCondition(int fd, bool on, const ModemIoctl& call = RealModemIoctl);

}  // namespace platform
