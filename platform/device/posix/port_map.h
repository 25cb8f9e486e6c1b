#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Where port numbers are linked to devices: $COMTERM_PORTS when set, else
// $XDG_CONFIG_HOME/comterm/ports, else ~/.config/comterm/ports.
std::string PortsDirectory();

// Makes the ports directory and its parents; the directory itself only its owner may
// read or change, since whoever can link a number there reads what is typed to it.
void MakePortsDirectory(const std::string& directory);

// "COM<n>" for a number 0..255 written without leading zeros: the one name a number has.
// -1 for any other name.
int PortNumberOfLink(const std::string& name);

// Where a port number leads: the link COM<port> in the ports directory when it exists,
// else the device numbered for this run only, else /dev/ttyS<port-1>; "" for port 0
// without either. A link that someone else could have made is not followed: then
// `refusal` says why and path is "".
struct PortPath {
    std::string path;
    std::string refusal;
};
PortPath PortDevicePath(uint8_t port);

// A number given to a device for this run only, where the ports directory cannot be
// written; and what a number leads to that way ("" for none).
void AssignPortForThisRun(uint8_t port, const std::string& devicePath);
std::string RunOnlyPort(uint8_t port);

}  // namespace platform
