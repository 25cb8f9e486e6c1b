#pragma once
// Line settings written as a table row reads: rate, data bits, parity, stop bits, flow.
#include "platform/device/serial_device.h"

inline platform::LineSettings LineOf(uint32_t rate, uint8_t size, uint8_t parity, uint8_t stop,
                                     uint8_t flow = platform::LineSettings::NoFlow) {
    platform::LineSettings line;
    line.BaudRate = rate;
    line.ByteSize = size;
    line.Parity = parity;
    line.StopBits = stop;
    line.Flow = flow;
    return line;
}
