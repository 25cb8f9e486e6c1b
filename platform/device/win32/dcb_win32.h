#pragma once
// Line settings in a Win32 DCB, apart from the port, so that what is asked of the driver
// can be seen without one.
#include <windows.h>

#include "platform/device/serial_device.h"

namespace platform {

// Writes the line's fields into state; the rest stays as the port reported it. Turning
// RTS/CTS off leaves RTS raised, as the port opened it. False for a flow the DCB cannot say.
bool ApplyLineSettings(const LineSettings& settings, DCB& state);
LineSettings ReadLineSettings(const DCB& state);

// Clears what a previous program may have left in the port's DCB that loses or alters
// bytes (NULs dropped, input ignored while DSR is low, a byte put in place of an error,
// every read stopped after an error) or holds sending (DSR flow, XOFF sent on to hold
// our own sending), and puts DTR and RTS back under the program's own control: raised
// as a port opens, or low with linesLow. Rate, frame and flow control (RTS/CTS included)
// are the line settings' business.
void ResetLeftoverState(DCB& state, bool linesLow);

}  // namespace platform
