#include "platform/device/port_scan.h"

namespace platform {

std::string DescribePorts(const std::vector<PresentPort>& ports, const PortRoots& roots) {
    if (ports.empty()) {
        const std::string linking = roots.ports.empty() ? "." : ", or link a device as COM<N> in " + roots.ports + ".";
        return "No serial port found. Plug in a USB serial adapter" + linking;
    }
    std::string text;
    for (const PresentPort& port : ports) {
        if (!text.empty()) text += '\n';
        text += std::to_string(port.number) + "  " + port.description;
        if (!port.device.empty()) text += " (" + port.device + ")";  // a network port is its address alone
    }
    return text;
}

std::string ListPorts(const PortRoots& roots) { return DescribePorts(ScanPorts(roots), roots); }

}  // namespace platform
