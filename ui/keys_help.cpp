#include "ui/keys_help.h"

namespace {

void ListItems(ByteString& text, const std::vector<platform::MenuCommand>& commands, const ByteString& indent) {
    for (const platform::MenuCommand& command : commands) {
        const ByteString caption = command.Caption.empty() ? ByteString("(modem lines)") : command.PlainCaption();
        text += indent + caption;
        if (!command.Keys.empty()) text += "  [" + command.Keys + "]";
        if (!command.Does.empty()) text += ": " + command.Does;
        text += "\n";
        ListItems(text, command.Items, indent + "    ");
    }
}

}  // namespace

ByteString KeysAndMenusText(const std::vector<platform::MenuCommand>& historyMenu,
                            const std::vector<platform::MenuCommand>& inputMenu, const std::string& settingsPath,
                            const std::string& portsFolder) {
    ByteString text =
        "The window's keys:\n"
        "  Enter in the input line: sends the line and echoes it\n"
        "  Up, Down in the input line: the lines sent before\n"
        "  Esc: clears the history\n"
        "  Shift+F10 or the Menu key: the menu of the history or the input line\n"
        "\nThe history's menu (right-click the history); its keys work anywhere in the window:\n";
    ListItems(text, historyMenu, "  ");
    text += "\nThe input line's menu (right-click the input line):\n";
    ListItems(text, inputMenu, "  ");
    text += "\nChoices are kept in " + settingsPath + "\n";
    text += portsFolder.empty() ? "Port numbers of ports on other machines: the [Ports] section of that file\n"
                                : "Port numbers are linked in " + portsFolder + " (comterm-ports lists them)\n";
    return text;
}
