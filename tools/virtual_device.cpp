#include "tools/virtual_device.h"

#include "platform/device/posix/port_map.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>

VirtualDevice::VirtualDevice() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        throw std::runtime_error("no pseudo-terminal available");
    char name[128];
    if (ptsname_r(master, name, sizeof name) != 0) throw std::runtime_error("no pseudo-terminal name");
    slavePath = name;
    slaveKeeper = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeeper < 0) throw std::runtime_error("cannot open " + slavePath);
    termios tio;
    tcgetattr(slaveKeeper, &tio);
    cfmakeraw(&tio);
    tcsetattr(slaveKeeper, TCSANOW, &tio);
}

VirtualDevice::~VirtualDevice() {
    if (!linkPath.empty()) unlink(linkPath.c_str());
    CloseMaster();
    if (slaveKeeper >= 0) close(slaveKeeper);
}

void VirtualDevice::LinkAsPort(const std::string& directory, int port) {
    platform::MakePortsDirectory(directory);  // one that cannot be made fails the link below
    std::string link = directory + "/COM" + std::to_string(port);
    unlink(link.c_str());
    if (symlink(slavePath.c_str(), link.c_str()) != 0)
        throw std::runtime_error("cannot link " + link);
    linkPath = link;
}

bool VirtualDevice::Write(const ByteString& bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = write(master, bytes.data() + written, bytes.size() - written);
        if (n > 0)
            written += static_cast<size_t>(n);
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
    }
    return true;
}

ByteString VirtualDevice::Read(size_t want, std::chrono::milliseconds timeout) {
    ByteString got;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < want) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd in{master, POLLIN, 0};
        if (poll(&in, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        ssize_t n = read(master, buffer, std::min(sizeof buffer, want - got.size()));
        if (n > 0)
            got.append(buffer, static_cast<size_t>(n));
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            break;
    }
    return got;
}

void VirtualDevice::CloseMaster() {
    if (master >= 0) close(master);
    master = -1;
}
