#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Where port numbers are linked to devices: $COMTERM_PORTS when set, else
// ~/.config/comterm/ports.
std::string PortsDirectory();

// The device path for port `port`: the link COM<port> in the ports directory when it
// exists, else the device numbered for this run only, else /dev/ttyS<port-1>. Port 0
// without either has no device: "".
std::string PortDevicePath(uint8_t port);

// A number given to a device for this run only, where the ports directory cannot be
// written; and what a number leads to that way ("" for none).
void AssignPortForThisRun(uint8_t port, const std::string& devicePath);
std::string RunOnlyPort(uint8_t port);

}  // namespace platform
