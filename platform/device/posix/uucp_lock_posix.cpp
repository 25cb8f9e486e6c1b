#include "platform/device/posix/uucp_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
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

// The process a lock file names: ten ASCII digits as most programs write it, or a
// 4-byte binary PID as some older ones do; 0 when it names none.
long NamedPid(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[32] = {};
    const ssize_t length = read(fd, text, sizeof text - 1);
    close(fd);
    if (length == 4 && std::strspn(text, " 0123456789\n") < 4) {
        int32_t binary;
        std::memcpy(&binary, text, sizeof binary);
        return binary;
    }
    return length > 0 ? std::strtol(text, nullptr, 10) : 0;
}

bool Alive(long pid) { return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

// Our PID in a file of our own beside the lock, ready to be linked as the lock.
std::string WriteOwnLock(const std::string& lockPath) {
    const std::string own = lockPath + "." + std::to_string(getpid());
    const int fd = open(own.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return "";
    char pid[16];
    const int length = std::snprintf(pid, sizeof pid, "%10ld\n", static_cast<long>(getpid()));
    const bool written = write(fd, pid, length) == length;
    close(fd);
    if (written) return own;
    unlink(own.c_str());
    return "";
}

// Moves a stale lock out of the way. Another process may have taken the lock over in
// the meantime: what was moved is then its fresh lock, which goes back.
void SetStaleLockAside(const std::string& lockPath, long stalePid) {
    const std::string aside = lockPath + ".stale." + std::to_string(getpid());
    if (rename(lockPath.c_str(), aside.c_str()) != 0) return;
    if (NamedPid(aside) != stalePid) (void)!link(aside.c_str(), lockPath.c_str());
    unlink(aside.c_str());
}

}  // namespace

std::string UucpLockPath(const std::string& devicePath, const std::string& lockDirectory) {
    return lockDirectory + "/" + LockFileName(devicePath);
}

// The lock is made by linking a file of ours to its name, which fails when the name is
// taken, so two programs never both hold it and none ever removes another's fresh lock.
UucpLock::UucpLock(const std::string& devicePath, const std::string& lockDirectory) {
    const std::string lockPath = UucpLockPath(devicePath, lockDirectory);
    const std::string own = WriteOwnLock(lockPath);
    if (own.empty()) {
        acquired = true;  // no writable lock directory: nobody can lock this way
        return;
    }
    for (int attempt = 0; attempt < 3 && !acquired; ++attempt) {
        if (link(own.c_str(), lockPath.c_str()) == 0) {
            path = lockPath;
            acquired = true;
        } else if (errno != EEXIST) {
            acquired = true;  // a lock directory that takes no links: as with none, not refused for that
        } else {
            const long named = NamedPid(lockPath);
            if (Alive(named)) {
                holder = named;
                break;
            }
            SetStaleLockAside(lockPath, named);
        }
    }
    unlink(own.c_str());
}

UucpLock::~UucpLock() {
    if (!path.empty()) unlink(path.c_str());
}

}  // namespace platform
