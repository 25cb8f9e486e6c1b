// Port numbers on Windows are the system's own: COM<N> as the device manager gave it.
#include <windows.h>

#include "platform/device/port_scan.h"
#include "platform/files/settings.h"

namespace platform {

PortRoots PortRoots::System() { return {}; }

void NumberAdapters(const PortRoots&) {}

std::vector<PresentPort> ScanPorts(const PortRoots&) {
    std::vector<PresentPort> present;
    const std::map<std::string, std::string> network = Settings().Section("Ports");
    for (int number = 0; number <= 255; ++number) {
        const std::string name = "COM" + std::to_string(number);
        char target[512] = {};  // what the name stands for, e.g. \Device\Serial0
        const auto address = network.find(std::to_string(number));
        if (address != network.end())
            present.push_back({number, "", address->second});
        else if (number > 0 && QueryDosDeviceA(name.c_str(), target, sizeof target) > 0)
            present.push_back({number, name, target});
    }
    return present;
}

}  // namespace platform
