#include <windows.h>

#include <string>

#include "platform/window/driver.h"
#include "platform/window/menu.h"
#include "platform/window/win32/controls_win32.h"
#include "platform/window/win32/gui_thread.h"

namespace platform {
namespace {

// Runs the messages waiting now, as the program's loop would, for a test that works the
// window from outside; false on WM_QUIT, which is put back for the loop. Tests only:
// the program itself never runs its loop inside a handler.
bool DispatchWaitingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        DispatchOne(message);
    }
    return true;
}

}  // namespace

// Posts the key as the keyboard driver would, with Shift held in the thread's key
// state while it is handled, and runs the messages it brings.
void PressKey(Control& control, Key key, int modifiers) {
    static const WPARAM keys[] = {VK_RETURN, VK_RETURN, VK_ESCAPE, VK_TAB, VK_UP, VK_DOWN};
    const WPARAM virtualKey = keys[static_cast<int>(key)];
    const LPARAM extended = key == Key::KeypadEnter ? (1 << 24) : 0;
    const UINT scan = MapVirtualKeyA(static_cast<UINT>(virtualKey), MAPVK_VK_TO_VSC);
    HWND target = DrawnOf(control).FocusHandle();
    BYTE state[256];
    GetKeyboardState(state);
    const BYTE shiftBefore = state[VK_SHIFT];
    state[VK_SHIFT] = (modifiers & ShiftModifier) ? 0x80 : 0;
    SetKeyboardState(state);
    PostMessageA(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16) | extended);
    PostMessageA(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | extended | (3u << 30));
    DispatchWaitingMessages();
    GetKeyboardState(state);
    state[VK_SHIFT] = shiftBefore;
    SetKeyboardState(state);
}

namespace {

// As PressKey, with Ctrl and Shift held as the shortcut says.
void PressShortcutAt(HWND target, const ByteString& text) {
    const Shortcut shortcut = ParseShortcut(text);
    const WPARAM virtualKey = shortcut.letter ? static_cast<WPARAM>(shortcut.letter)
                                              : static_cast<WPARAM>(VK_F1 + shortcut.function - 1);
    const UINT scan = MapVirtualKeyA(static_cast<UINT>(virtualKey), MAPVK_VK_TO_VSC);
    BYTE state[256];
    GetKeyboardState(state);
    const BYTE shiftBefore = state[VK_SHIFT], ctrlBefore = state[VK_CONTROL];
    state[VK_SHIFT] = shortcut.shift ? 0x80 : 0;
    state[VK_CONTROL] = shortcut.ctrl ? 0x80 : 0;
    SetKeyboardState(state);
    PostMessageA(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
    DispatchWaitingMessages();
    GetKeyboardState(state);
    state[VK_SHIFT] = shiftBefore;
    state[VK_CONTROL] = ctrlBefore;
    SetKeyboardState(state);
}

}  // namespace

void PressShortcut(Control& control, const ByteString& text) { PressShortcutAt(DrawnOf(control).FocusHandle(), text); }

// Where the keyboard's focus is; with none (a window manager that has not given it yet),
// the edit of the box shown last, as the focus would be once it came.
void PressShortcutAtFocus(const ByteString& text) {
    HWND target = GetFocus();
    if (!target) {
        EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM result) -> BOOL {
            char windowClass[16] = {};
            GetClassNameA(window, windowClass, sizeof windowClass);
            if (!IsWindowVisible(window) || std::string(windowClass) != "#32770") return TRUE;
            *reinterpret_cast<HWND*>(result) = FindWindowExA(window, nullptr, "Edit", nullptr);
            return FALSE;
        }, reinterpret_cast<LPARAM>(&target));
    }
    PressShortcutAt(target, text);
}

void ProcessEventsFor(int milliseconds) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    for (DWORD now = GetTickCount(); static_cast<LONG>(end - now) > 0; now = GetTickCount()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
        if (!DispatchWaitingMessages()) return;
    }
}

bool ProcessEventsUntil(const std::function<bool()>& done, int limitMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > static_cast<DWORD>(limitMs)) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        DispatchWaitingMessages();
    }
    return true;
}

bool ShowAndActivate(Window& window) {
    window.Show();
    return ProcessEventsUntil([] { return GetActiveWindow() != nullptr; }, 5000);
}

namespace {

// The system menu as it opens, each item's caption (without "&" or keys) and id.
std::vector<std::pair<ByteString, UINT>> OpenedSystemMenu(const Control& control) {
    HWND window = GetAncestor(DrawnOf(control).Handle(), GA_ROOT);
    HMENU menu = GetSystemMenu(window, FALSE);
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, TRUE));
    std::vector<std::pair<ByteString, UINT>> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        ByteString caption;
        for (const char* c = text; *c && *c != '\t'; ++c)
            if (*c != '&') caption += *c;
        if (!caption.empty()) items.emplace_back(caption, GetMenuItemID(menu, i));
    }
    return items;
}

}  // namespace

std::vector<ByteString> SystemMenuItems(const Control& control) {
    std::vector<ByteString> captions;
    for (const auto& item : OpenedSystemMenu(control)) captions.push_back(item.first);
    return captions;
}

bool ChooseSystemMenuItem(const Control& control, const ByteString& caption) {
    for (const auto& [shown, id] : OpenedSystemMenu(control))
        if (shown == caption) {
            SendMessageA(GetAncestor(DrawnOf(control).Handle(), GA_ROOT), WM_SYSCOMMAND, id, 0);
            DispatchWaitingMessages();
            return true;
        }
    return false;
}

bool CloseBox(const ByteString& title) {
    HWND box = FindWindowA(nullptr, title.c_str());
    if (!box) return false;
    SendMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
    DispatchWaitingMessages();
    return true;
}

bool ClickBoxButton(const ByteString& title, const ByteString& caption) {
    HWND box = FindWindowA(nullptr, title.c_str());
    HWND button = box ? FindWindowExA(box, nullptr, "Button", caption.c_str()) : nullptr;
    if (!button) return false;
    SendMessageA(button, BM_CLICK, 0, 0);
    DispatchWaitingMessages();
    return true;
}

}  // namespace platform
