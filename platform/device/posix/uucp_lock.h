#pragma once
#include <string>

namespace platform {

// The UUCP lock file /run/lock/LCK..<name> that minicom and friends honour, holding
// our PID. A stale one (its PID gone) is taken over; where the lock directory is not
// writable no lock is taken and the port is not refused for that.
// The lock file for a resolved device: /dev/ttyUSB0 gives <lockDirectory>/LCK..ttyUSB0,
// /dev/pts/3 gives LCK..pts_3.
std::string UucpLockPath(const std::string& devicePath, const std::string& lockDirectory = "/run/lock");

class UucpLock {
public:
    // devicePath: the resolved device, e.g. /dev/ttyUSB0 gives LCK..ttyUSB0.
    explicit UucpLock(const std::string& devicePath, const std::string& lockDirectory = "/run/lock");
    ~UucpLock();
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    // False when another live process holds the port.
    bool Acquired() const { return acquired; }
    // The process that holds it when not acquired.
    long Holder() const { return holder; }

private:
    std::string path;  // empty when no lock file was written
    bool acquired = false;
    long holder = 0;
};

}  // namespace platform
