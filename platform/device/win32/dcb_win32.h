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

}  // namespace platform
