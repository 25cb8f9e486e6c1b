#include <windows.h>

#include "platform/files/settings.h"

namespace platform {

std::string Settings::DefaultPath() {
    char appData[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("APPDATA", appData, sizeof appData);
    const std::string folder = length > 0 && length < sizeof appData ? appData : ".";
    return folder + "\\comterm\\comterm.ini";
}

}  // namespace platform
