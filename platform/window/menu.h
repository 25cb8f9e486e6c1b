#pragma once
#include <functional>
#include <vector>

#include "platform/byte_string.h"

namespace platform {

// A key with Ctrl and Shift, as a shortcut is written: "Ctrl+F", "F3", "Shift+F3".
struct Shortcut {
    bool ctrl = false, shift = false;
    char letter = 0;   // 'A'..'Z', or 0
    int function = 0;  // 1..12 for F1..F12, or 0
    bool operator==(const Shortcut& other) const {
        return ctrl == other.ctrl && shift == other.shift && letter == other.letter && function == other.function;
    }
};
// Throws std::invalid_argument for a text that names no such key.
Shortcut ParseShortcut(const ByteString& text);

// One item of a context menu: its caption ("&" before the access key), the shortcut
// that runs it from anywhere in the window ("" for none), what it does, and, for an item
// that shows a check mark, whether it is checked now.
struct MenuCommand {
    ByteString Caption;
    ByteString Keys;
    std::function<void()> Run;
    std::function<bool()> Checked;  // empty: no check mark
    std::vector<MenuCommand> Items{};   // not empty: a submenu of these, under the caption
    std::function<ByteString()> Reading{};  // set: a greyed item that reads this as the menu opens
    bool Exclusive = false;  // one of a choice of which one holds: a radio mark, not a check mark
    ByteString Does{};       // a few words of what it does, for the list of keys and menus
    std::function<ByteString()> Label{};  // set: the caption as the menu opens, in place of Caption
    std::function<bool()> Enabled{};      // set: whether it can be chosen as the menu opens

    // The caption as a menu shows it, without the access key's "&".
    ByteString PlainCaption() const;
};

// The command with a word of what it does.
inline MenuCommand Described(MenuCommand command, ByteString does) {
    command.Does = std::move(does);
    return command;
}

// The command this shortcut runs, in submenus too; nullptr for none.
const MenuCommand* CommandForShortcut(const std::vector<MenuCommand>& commands, const Shortcut& pressed);
// Every command that has a shortcut, in submenus too.
std::vector<const MenuCommand*> CommandsWithKeys(const std::vector<MenuCommand>& commands);

// The command with this caption (with or without its "&"), in submenus too; throws
// std::logic_error if none.
const MenuCommand& FindCommand(const std::vector<MenuCommand>& commands, const ByteString& caption);

}  // namespace platform
