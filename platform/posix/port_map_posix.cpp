#include "platform/posix/port_map.h"

#include <sys/stat.h>

#include <cstdlib>

namespace platform {

std::string PortsDirectory() {
    const char* configured = std::getenv("COMTERM_PORTS");
    if (configured && *configured) return configured;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/comterm/ports";
}

namespace {

std::string& RunOnly(uint8_t port) {
    static std::string devices[256];
    return devices[port];
}

}  // namespace

void AssignPortForThisRun(uint8_t port, const std::string& devicePath) { RunOnly(port) = devicePath; }

std::string RunOnlyPort(uint8_t port) { return RunOnly(port); }

std::string PortDevicePath(uint8_t port) {
    std::string link = PortsDirectory() + "/COM" + std::to_string(port);
    struct stat info;
    if (lstat(link.c_str(), &info) == 0) return link;
    if (!RunOnly(port).empty()) return RunOnly(port);
    if (port == 0) return "";
    return "/dev/ttyS" + std::to_string(port - 1);
}

}  // namespace platform
