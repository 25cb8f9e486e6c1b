#include "platform/device/posix/port_map.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace platform {

std::string PortsDirectory() {
    const char* configured = std::getenv("COMTERM_PORTS");
    if (configured && *configured) return configured;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/') return std::string(config) + "/comterm/ports";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/comterm/ports";
}

void MakePortsDirectory(const std::string& directory) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(directory).parent_path(), ignored);
    mkdir(directory.c_str(), 0700);
}

int PortNumberOfLink(const std::string& name) {
    if (name.size() < 4 || name.size() > 6 || name.compare(0, 3, "COM") != 0) return -1;
    const std::string digits = name.substr(3);
    if (digits.find_first_not_of("0123456789") != std::string::npos || (digits.size() > 1 && digits[0] == '0')) return -1;
    const int number = std::stoi(digits);
    return number <= 255 ? number : -1;
}

namespace {

std::string& RunOnly(uint8_t port) {
    static std::string devices[256];
    return devices[port];
}

bool OwnedByUsOrRoot(const struct stat& info) { return info.st_uid == getuid() || info.st_uid == 0; }

// Why a link in the ports directory may have been made by someone else, who would then
// read every line typed to the port; "" when only we or root could have made it.
std::string Distrust(const std::string& directory, const struct stat& link) {
    struct stat folder;
    if (stat(directory.c_str(), &folder) != 0) return "cannot check " + directory;
    if (!OwnedByUsOrRoot(folder)) return directory + " belongs to another user; not following its links";
    if (folder.st_mode & (S_IWGRP | S_IWOTH))
        return directory + " can be written by others; not following its links (chmod go-w it)";
    if (!OwnedByUsOrRoot(link)) return "the link belongs to another user; not following it";
    return "";
}

}  // namespace

void AssignPortForThisRun(uint8_t port, const std::string& devicePath) { RunOnly(port) = devicePath; }

std::string RunOnlyPort(uint8_t port) { return RunOnly(port); }

PortPath PortDevicePath(uint8_t port) {
    const std::string directory = PortsDirectory();
    const std::string link = directory + "/COM" + std::to_string(port);
    struct stat info;
    if (lstat(link.c_str(), &info) == 0) {
        const std::string refusal = Distrust(directory, info);
        return refusal.empty() ? PortPath{link, ""} : PortPath{"", refusal};
    }
    if (!RunOnly(port).empty()) return {RunOnly(port), ""};
    if (port == 0) return {"", ""};
    return {"/dev/ttyS" + std::to_string(port - 1), ""};
}

}  // namespace platform
