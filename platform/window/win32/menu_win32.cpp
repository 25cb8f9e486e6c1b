// Popup menus of commands: built as they open, so check marks and readings are current.
#include <windows.h>

#include "platform/window/error_handler.h"
#include "platform/window/win32/controls_win32.h"
#include "platform/window/win32/gui_thread.h"

namespace platform {
namespace {

constexpr UINT FirstCommandId = 100;
// A system menu's own ids keep their low four bits clear and stay below the system's.
constexpr UINT FirstSystemId = 0x1000, SystemIdStep = 16;

// Appends the commands, numbering each that can be chosen in `chosen`.
void AppendCommands(HMENU menu, const std::vector<MenuCommand>& commands, std::vector<const MenuCommand*>& chosen,
                    UINT firstId = FirstCommandId, UINT idStep = 1) {
    for (const MenuCommand& command : commands) {
        if (!command.Items.empty()) {
            HMENU submenu = CreatePopupMenu();
            AppendCommands(submenu, command.Items, chosen, firstId, idStep);
            AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), command.Caption.c_str());
            continue;
        }
        if (command.Reading) {
            AppendMenuA(menu, MF_STRING | MF_GRAYED, 0, command.Reading().c_str());
            continue;
        }
        const UINT checked = command.Checked && command.Checked() ? MF_CHECKED : MF_UNCHECKED;
        const ByteString shown = command.Label ? command.Label() : command.Caption;
        const ByteString caption = command.Keys.empty() ? shown : shown + "\t" + command.Keys;
        const UINT id = firstId + idStep * static_cast<UINT>(chosen.size());
        const UINT grayed = command.Enabled && !command.Enabled() ? MF_GRAYED : MF_ENABLED;
        AppendMenuA(menu, MF_STRING | checked | grayed, id, caption.c_str());
        if (command.Exclusive) {  // the mark of a choice of one: a dot
            MENUITEMINFOA radio{};
            radio.cbSize = sizeof radio;
            radio.fMask = MIIM_FTYPE;
            radio.fType = MFT_STRING | MFT_RADIOCHECK;
            SetMenuItemInfoA(menu, id, FALSE, &radio);
        }
        chosen.push_back(&command);
    }
}

}  // namespace

UINT TrackCommandsMenu(HWND control, POINT at, const std::vector<StandardItem>& standard,
                       const std::vector<MenuCommand>& commands) {
    HMENU menu = CreatePopupMenu();
    for (const StandardItem& item : standard)
        AppendMenuA(menu, MF_STRING | (item.Enabled ? MF_ENABLED : MF_GRAYED), item.Id, item.Caption);
    if (!standard.empty() && !commands.empty()) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    std::vector<const MenuCommand*> chosen;
    AppendCommands(menu, commands, chosen);
    // A menu whose owner is not in the foreground closes at once.
    HWND owner = GetAncestor(control, GA_ROOT);
    SetForegroundWindow(owner);
    UINT id;
    {
        const MenuShown shown;
        id = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
    }
    DestroyMenu(menu);  // and its submenus
    if (id >= FirstCommandId && id - FirstCommandId < chosen.size()) {
        const std::function<void()> run = chosen[id - FirstCommandId]->Run;
        RunGuarded(run);
        return 0;
    }
    return id;
}

void SystemMenuCommands::Rebuild(HWND window) {
    HMENU menu = GetSystemMenu(window, FALSE);
    if (ownItemsCount < 0) ownItemsCount = GetMenuItemCount(menu);
    while (GetMenuItemCount(menu) > ownItemsCount) DeleteMenu(menu, ownItemsCount, MF_BYPOSITION);  // submenus too
    chosen.clear();
    if (commands.empty()) return;
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendCommands(menu, commands, chosen, FirstSystemId, SystemIdStep);
}

bool SystemMenuCommands::Run(WPARAM command) const {
    const UINT id = static_cast<UINT>(command & 0xFFF0);
    if (id < FirstSystemId || (id - FirstSystemId) / SystemIdStep >= chosen.size()) return false;
    const std::function<void()> run = chosen[(id - FirstSystemId) / SystemIdStep]->Run;
    RunGuarded(run);
    return true;
}

POINT MenuPointAtCaret(HWND control, int caretPosition) {
    const LRESULT place = SendMessageA(control, EM_POSFROMCHAR, static_cast<WPARAM>(caretPosition), 0);
    POINT at{static_cast<short>(LOWORD(place)), static_cast<short>(HIWORD(place)) + 14};
    ClientToScreen(control, &at);
    return at;
}

}  // namespace platform
