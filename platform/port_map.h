#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Where port numbers are linked to devices: $COMTERM_PORTS when set, else
// ~/.config/comterm/ports.
std::string PortsDirectory();

// The device path for port `port`: the link COM<port> in the ports directory when it
// exists, else /dev/ttyS<port-1>. Port 0 without a link has no device: "".
std::string PortDevicePath(uint8_t port);

}  // namespace platform
