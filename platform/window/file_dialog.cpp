#include "platform/window/file_dialog.h"

#include <algorithm>
#include <cctype>

namespace platform {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::string ExtensionOf(const std::string& name) {
    const size_t dot = name.rfind('.'), slash = name.find_last_of("/\\");
    if (dot == std::string::npos || dot == 0 || (slash != std::string::npos && dot < slash + 2)) return "";
    return Lower(name.substr(dot + 1));
}

int TypeOfName(const std::string& name, const std::vector<FileType>& types) {
    const std::string extension = ExtensionOf(name);
    for (size_t index = 0; index < types.size(); ++index)
        for (const std::string& offered : types[index].Extensions)
            if (offered == extension) return static_cast<int>(index);
    return -1;
}

std::string NameForType(const std::string& name, const std::vector<FileType>& types, int typeIndex) {
    if (typeIndex < 0 || static_cast<size_t>(typeIndex) >= types.size() || TypeOfName(name, types) < 0) return name;
    const std::vector<std::string>& wanted = types[static_cast<size_t>(typeIndex)].Extensions;
    if (std::find(wanted.begin(), wanted.end(), ExtensionOf(name)) != wanted.end()) return name;
    return name.substr(0, name.rfind('.') + 1) + wanted.at(0);
}

}  // namespace platform
