#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/files/settings.h"

namespace platform {

std::string Settings::DefaultPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/') return std::string(config) + "/comterm/comterm.ini";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/comterm/comterm.ini";
}

// The system's own lock: a holder that dies gives it back, so none is ever stale.
FileLock::FileLock(const std::string& path, int waitMs) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    handle = fd;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!(held = flock(fd, LOCK_EX | LOCK_NB) == 0) && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

FileLock::~FileLock() {
    if (handle >= 0) close(static_cast<int>(handle));  // gives the lock back
}

void KeepPrivate(const std::string& path, bool folder) { chmod(path.c_str(), folder ? 0700 : 0600); }

}  // namespace platform
