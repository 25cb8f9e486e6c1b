#pragma once
// Kept apart from <termios.h>: termios2 (any integer rate through BOTHER) comes from the
// kernel's headers, which clash with glibc's.
#include <asm/termbits.h>

#include "platform/device/serial_device.h"

namespace platform {

// Every byte passes both ways unchanged: no echo, no CR/LF translation, no XON/XOFF,
// no signals, no output processing; local line, receiver on.
void MakeRaw(struct termios2& tio);

// Writes rate, data bits, parity, stop bits and flow control into tio. False, with tio
// unchanged, for what the port cannot express (a rate of 0, data bits other than 5 to 8,
// one and a half stop bits with more than 5 data bits).
bool ApplyLineSettings(const LineSettings& settings, struct termios2& tio);

LineSettings ReadLineSettings(const struct termios2& tio);

// The errors counted between two readings of the driver's counters (TIOCGICOUNT's, ints
// that run on past their largest value): every difference is taken as unsigned, so a
// counter that wrapped still gives the count that came.
struct ErrorCounts {
    int parity = 0, frame = 0, overrun = 0, bufOverrun = 0, brk = 0;
};
LineErrors ErrorsBetween(const ErrorCounts& before, const ErrorCounts& now);

// Discards what waits in the driver: received and not yet read, or written and not yet sent.
void DiscardInput(int fd);
void DiscardOutput(int fd);

bool GetTermios(int fd, struct termios2& tio);
bool SetTermios(int fd, const struct termios2& tio);

}  // namespace platform
