#include "platform/window/menu.h"

#include <cctype>
#include <stdexcept>

namespace platform {
namespace {

ByteString Upper(ByteString text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

Shortcut ParseShortcut(const ByteString& text) {
    Shortcut shortcut;
    ByteString rest = Upper(text);
    for (;;) {
        if (rest.rfind("CTRL+", 0) == 0) {
            shortcut.ctrl = true;
            rest.erase(0, 5);
        } else if (rest.rfind("SHIFT+", 0) == 0) {
            shortcut.shift = true;
            rest.erase(0, 6);
        } else {
            break;
        }
    }
    if (rest.size() == 1 && rest[0] >= 'A' && rest[0] <= 'Z') {
        shortcut.letter = rest[0];
    } else if (rest.size() >= 2 && rest.size() <= 3 && rest[0] == 'F' &&
               rest.find_first_not_of("0123456789", 1) == ByteString::npos) {
        shortcut.function = std::stoi(rest.substr(1));
    }
    if ((shortcut.letter == 0) == (shortcut.function < 1 || shortcut.function > 12))
        throw std::invalid_argument("not a shortcut: " + text);
    return shortcut;
}

ByteString MenuCommand::PlainCaption() const {
    ByteString plain;
    for (size_t i = 0; i < Caption.size(); ++i) {
        if (Caption[i] == '&' && i + 1 < Caption.size()) ++i;  // "&&" is a shown "&"
        plain += Caption[i];
    }
    return plain;
}

namespace {

const MenuCommand* Search(const std::vector<MenuCommand>& commands, const ByteString& caption) {
    for (const MenuCommand& command : commands) {
        if (command.Caption == caption || command.PlainCaption() == caption) return &command;
        if (const MenuCommand* inner = Search(command.Items, caption)) return inner;
    }
    return nullptr;
}

}  // namespace

const MenuCommand& FindCommand(const std::vector<MenuCommand>& commands, const ByteString& caption) {
    if (const MenuCommand* found = Search(commands, caption)) return *found;
    throw std::logic_error("no menu command " + caption);
}

std::vector<const MenuCommand*> CommandsWithKeys(const std::vector<MenuCommand>& commands) {
    std::vector<const MenuCommand*> found;
    for (const MenuCommand& command : commands) {
        if (!command.Keys.empty()) found.push_back(&command);
        for (const MenuCommand* inner : CommandsWithKeys(command.Items)) found.push_back(inner);
    }
    return found;
}

const MenuCommand* CommandForShortcut(const std::vector<MenuCommand>& commands, const Shortcut& pressed) {
    for (const MenuCommand* command : CommandsWithKeys(commands))
        if (ParseShortcut(command->Keys) == pressed) return command;
    return nullptr;
}

}  // namespace platform
