#include <cstdlib>

#include "platform/files/settings.h"

namespace platform {

std::string Settings::DefaultPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/') return std::string(config) + "/comterm/comterm.ini";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/comterm/comterm.ini";
}

}  // namespace platform
