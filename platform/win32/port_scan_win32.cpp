// Port numbers on Windows are the system's own: COM<N> as the device manager gave it.
#include <windows.h>

#include "platform/port_scan.h"

namespace platform {

PortRoots PortRoots::System() { return {}; }

void NumberAdapters(const PortRoots&) {}

std::vector<PresentPort> ScanPorts(const PortRoots&) {
    std::vector<PresentPort> present;
    for (int number = 1; number <= 255; ++number) {
        const std::string name = "COM" + std::to_string(number);
        char target[512] = {};  // what the name stands for, e.g. \Device\Serial0
        if (QueryDosDeviceA(name.c_str(), target, sizeof target) > 0) present.push_back({number, name, target});
    }
    return present;
}

}  // namespace platform
