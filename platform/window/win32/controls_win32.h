#pragma once
// The standard controls as Win32 child windows of their window.
#include <windows.h>

#include <memory>
#include <vector>

#include "platform/window/controls.h"
#include "platform/window/menu.h"
#include "platform/window/win32/gui_thread.h"

namespace platform {

// What every control of this backend has: its child window, and what its parent hears
// of it (WM_COMMAND codes, WM_NOTIFY).
class Win32Drawn {
public:
    virtual ~Win32Drawn() = default;
    virtual HWND Handle() const = 0;
    // The window that takes the focus for this control (a radio group's checked button).
    virtual HWND FocusHandle() const { return Handle(); }
    virtual void Command(WORD) {}
    virtual bool Notify(NMHDR*, LRESULT&) { return false; }
    virtual bool TakesEsc() const { return false; }  // the focused control keeps Esc
    // Runs the command this shortcut stands for, pressed anywhere in the window; true when
    // there was one.
    virtual bool TakeShortcut(const Shortcut&) { return false; }
    // A key the focused control handles before the window's own keys; true when taken.
    virtual bool TakeKeyDown(WPARAM) { return false; }
    // Further child windows that follow the control's anchors (a radio group's buttons).
    virtual std::vector<HWND> Parts() const { return {}; }
};

Win32Drawn& DrawnOf(const Control& control);

// What a drop-down list's window adds below its closed box, for the list.
constexpr int ListHeight = 200;

// Registers a top-level window class of ours, in the button face colour, once.
void RegisterWindowClassOnce(const char* name, WNDPROC procedure);

// A child window of `parent` with the window font, at the entry's place.
HWND MakeChild(HWND parent, const char* windowClass, const ByteString& text, DWORD style, DWORD exStyle,
               const Bounds& place);
ByteString WindowText(HWND window);
// A font by face and pixel height, or the nearest the system has.
HFONT MakeFont(const char* face, int pixelHeight, BYTE charset, BYTE pitchAndFamily);

template <typename Interface>
class Win32Control : public Interface, public Win32Drawn {
public:
    explicit Win32Control(HWND window) : window(window) {}
    HWND Handle() const override { return window; }
    Bounds Place() const override;
    void SetFocus() override {
        if (FocusMayMove()) ::SetFocus(FocusHandle());
    }
    bool Focused() const override { return GetFocus() == FocusHandle(); }

protected:
    HWND window;
};

template <typename Interface>
Bounds Win32Control<Interface>::Place() const {
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// Commands that follow a window's system menu, rebuilt as it opens so that their marks
// are current.
class SystemMenuCommands {
public:
    void Set(std::vector<MenuCommand> given) { commands = std::move(given); }
    void Rebuild(HWND window);
    // Runs the command a WM_SYSCOMMAND names; false when it is none of these.
    bool Run(WPARAM command) const;

private:
    std::vector<MenuCommand> commands;
    std::vector<const MenuCommand*> chosen;
    int ownItemsCount = -1;  // the system's items, which stay
};

// A control's own menu item: its caption, whether it can be chosen now, and its id (1..99).
struct StandardItem {
    const char* Caption;
    bool Enabled;
    UINT Id;
};
// Shows a popup menu at `at` (screen) for `control`: its own items, then the commands
// with their check marks, readings and submenus as they stand. A chosen command runs
// guarded; a chosen own item's id is returned (0 for none).
UINT TrackCommandsMenu(HWND control, POINT at, const std::vector<StandardItem>& standard,
                       const std::vector<MenuCommand>& commands);
// Where a keyboard-opened menu goes: below the caret of an edit or rich edit.
POINT MenuPointAtCaret(HWND control, int caretPosition);

std::unique_ptr<Control> MakeWin32Control(HWND parent, const ControlEntry& entry);
std::unique_ptr<Control> MakeWin32HistoryPane(HWND parent, const ControlEntry& entry);

}  // namespace platform
