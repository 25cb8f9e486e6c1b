#include "platform/posix/uucp_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {

std::string LockFileName(const std::string& devicePath) {
    std::string name = devicePath.rfind("/dev/", 0) == 0 ? devicePath.substr(5) : devicePath;
    for (char& c : name)
        if (c == '/') c = '_';
    return "LCK.." + name;
}

// The live process the lock file names; 0 when none.
long LiveHolder(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return 0;
    long pid = 0;
    int fields = std::fscanf(file, "%ld", &pid);
    std::fclose(file);
    if (fields != 1 || pid <= 0) return 0;
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM ? pid : 0;
}

}  // namespace

std::string UucpLockPath(const std::string& devicePath, const std::string& lockDirectory) {
    return lockDirectory + "/" + LockFileName(devicePath);
}

UucpLock::UucpLock(const std::string& devicePath, const std::string& lockDirectory) {
    std::string lockPath = UucpLockPath(devicePath, lockDirectory);
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = open(lockPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            char pid[16];
            int length = std::snprintf(pid, sizeof pid, "%10ld\n", static_cast<long>(getpid()));
            bool written = write(fd, pid, length) == length;
            close(fd);
            if (!written) {
                unlink(lockPath.c_str());
                return;
            }
            path = lockPath;
            acquired = true;
            return;
        }
        if (errno != EEXIST) {
            acquired = true;  // no writable lock directory: nobody can lock this way
            return;
        }
        if ((holder = LiveHolder(lockPath)) != 0) return;
        unlink(lockPath.c_str());  // stale: its holder is gone
    }
}

UucpLock::~UucpLock() {
    if (!path.empty()) unlink(path.c_str());
}

}  // namespace platform
