#include <windows.h>

#include <chrono>
#include <thread>

#include "platform/files/settings.h"

namespace platform {

std::string Settings::DefaultPath() {
    char appData[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("APPDATA", appData, sizeof appData);
    const std::string folder = length > 0 && length < sizeof appData ? appData : ".";
    return folder + "\\comterm\\comterm.ini";
}

// The system's own lock: a holder that dies gives it back, so none is ever stale.
FileLock::FileLock(const std::string& path, int waitMs) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    handle = reinterpret_cast<intptr_t>(file);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        OVERLAPPED whole{};
        held = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole) != 0;
        if (held || std::chrono::steady_clock::now() >= giveUp) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

FileLock::~FileLock() {
    if (handle != -1) CloseHandle(reinterpret_cast<HANDLE>(handle));  // gives the lock back
}

// The user's application data folder is the user's own already.
void KeepPrivate(const std::string&, bool) {}

}  // namespace platform
