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

namespace {

ByteString WithoutDots(ByteString caption) {
    while (!caption.empty() && caption.back() == '.') caption.pop_back();
    return caption;
}

// "a, b and c"
ByteString ListOf(const std::vector<ByteString>& names) {
    ByteString list;
    for (size_t i = 0; i < names.size(); ++i)
        list += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return list;
}

ByteString CaptionsOf(const std::vector<platform::MenuCommand>& items) {
    std::vector<ByteString> names;
    for (const platform::MenuCommand& item : items)
        if (!item.Reading && !item.Caption.empty()) names.push_back(WithoutDots(item.PlainCaption()));
    return ListOf(names);
}

}  // namespace

// The history's items that open something (a box, a submenu); the input line's all.
ByteString EmptyHistoryHint(const std::vector<platform::MenuCommand>& historyMenu,
                            const std::vector<platform::MenuCommand>& inputMenu) {
    std::vector<ByteString> here;
    for (const platform::MenuCommand& item : historyMenu) {
        const ByteString caption = item.PlainCaption();
        if (!item.Items.empty())
            here.push_back("the " + caption + " menu (" + CaptionsOf(item.Items) + ")");
        else if (caption.size() > 3 && caption.compare(caption.size() - 3, 3, "...") == 0)
            here.push_back(WithoutDots(caption));
    }
    return "Right-click here for " + ListOf(here) + ". Right-click the input line for " + CaptionsOf(inputMenu) +
           ". F1: all keys and menus.";
}
