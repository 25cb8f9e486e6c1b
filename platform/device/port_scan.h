#pragma once
#include <string>
#include <vector>

namespace platform {

// Where the scan looks: the device and sysfs trees, and the ports directory. The program
// uses the system's; tests pass a fixture's.
struct PortRoots {
    std::string dev = "/dev";
    std::string sys = "/sys";
    std::string ports;  // where numbers are linked; none on Windows, whose numbers are the system's

    static PortRoots System();
    // A made-up tree under root: root/dev, root/sys and, unless $COMTERM_PORTS names
    // one, root/ports, so trying the numbering never touches the user's own numbers.
    // Linux only, for comterm-ports.
    static PortRoots Under(const std::string& root);
};

// A port that leads somewhere now.
struct PresentPort {
    int number;
    std::string device;       // the node's name, e.g. ttyUSB0 (COM3 on Windows); "" for a network port
    std::string description;  // e.g. "FTDI FT232R USB UART", "built-in", "rfc2217://lab-pi:2001"
};

// Gives each USB or ACM serial adapter present that has no port number yet the lowest
// free number from 3 up, recorded as a COM<N> link to its stable name under
// dev/serial/by-id (by-path for an adapter without one), so it keeps that number when
// plugged in again. A number is free when no link holds it and no built-in port (a
// ttyS node with hardware behind it) has it. Links already there always win, dangling
// ones included. Where the ports directory cannot be written, the numbers hold for this
// run. Reads directories and sysfs only: no device is opened.
void NumberAdapters(const PortRoots& roots);

// NumberAdapters, then the ports present, by number. Adapters are numbered whenever
// ports are listed and whenever a number is opened, so a number is never shown or used
// before the adapter plugged in meanwhile has one.
std::vector<PresentPort> ScanPorts(const PortRoots& roots);

// The ports present, one a line ("3  FTDI FT232R USB UART (ttyUSB0)"), or what to do
// when there are none.
std::string DescribePorts(const std::vector<PresentPort>& ports, const PortRoots& roots);

// ScanPorts, described.
std::string ListPorts(const PortRoots& roots);

// Links COM<number> to device by hand (a path, or a network port such as
// rfc2217://HOST:PORT), replacing the link that held the number. False, with the reason
// in `error`, for a number out of 0..255, a device or address that is not, or a link
// that cannot be made.
bool PinPort(int number, const std::string& device, const PortRoots& roots, std::string& error);

}  // namespace platform
