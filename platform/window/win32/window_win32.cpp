// The top-level window on Win32: controls at fixed places that follow their anchors,
// Tab and Esc handled by the window as the message loop sees them.
#include <windows.h>

#include <map>
#include <memory>

#include "platform/window/error_handler.h"
#include "platform/window/win32/controls_win32.h"
#include "platform/window/win32/gui_thread.h"
#include "platform/window/window.h"

namespace platform {


namespace {

const char* const WindowClass = "comterm.window";

struct Anchored {
    HWND window;
    Bounds design;
    int anchors;
    int listHeight;  // a combo box's height includes its dropped-down list
};


class Win32Window;
std::map<HWND, Win32Window*>& Windows() {
    static std::map<HWND, Win32Window*> windows;
    return windows;
}

class Win32Window : public Window {
public:
    explicit Win32Window(const WindowLayout& layout) : layout(layout) {
        RegisterWindowClassOnce(WindowClass, WindowProc);
        RECT outer{0, 0, layout.ClientWidth, layout.ClientHeight};
        AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
        window = CreateWindowExA(0, WindowClass, layout.Caption.c_str(), WS_OVERLAPPEDWINDOW,
                                 CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left, outer.bottom - outer.top,
                                 ApplicationWindow(), nullptr, GetModuleHandleA(nullptr), nullptr);
        Windows()[window] = this;
    }
    ~Win32Window() override {
        Windows().erase(window);
        DestroyWindow(window);
    }

    Control& Add(const ControlEntry& entry) override {
        controls.push_back(MakeWin32Control(window, entry));
        Control& control = *controls.back();
        Win32Drawn& drawn = DrawnOf(control);
        byHandle[drawn.Handle()] = &drawn;
        anchored.push_back({drawn.Handle(), entry.Place, entry.Anchors, entry.Kind == ControlKind::DropDownList ? ListHeight : 0});
        for (HWND part : drawn.Parts()) anchored.push_back({part, PlaceOf(part), entry.Anchors, 0});
        return control;
    }

    void SetTabOrder(const std::vector<Control*>& order) override { tabOrder = order; }
    void SetCancelButton(Button& button) override { cancel = &button; }
    void SetOnSettingChange(std::function<void()> handler) override { onSettingChange = std::move(handler); }
    void SetSystemMenuCommands(std::vector<MenuCommand> commands) override {
        systemMenu.Set(std::move(commands));
        systemMenu.Rebuild(window);
    }

    ByteString Caption() const override { return WindowText(window); }

    void Show() override {
        if (!centred) {  // centred on the screen by its outer size, the first time
            const Bounds place = CentredOnScreen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                                 layout.OuterWidth, layout.OuterHeight);
            SetWindowPos(window, nullptr, place.Left, place.Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            centred = true;
        }
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
    }

    void ResizeClient(int width, int height) override {
        RECT outer{0, 0, width, height};
        AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
        SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER);
    }
    int ClientWidth() const override { return ClientRect().right; }
    int ClientHeight() const override { return ClientRect().bottom; }

    // Tab and Shift+Tab walk the tab order; Esc clicks the cancel button unless the
    // focused control keeps it. True when the key was taken.
    bool TakeKey(const MSG& message) {
        const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0, alt = GetKeyState(VK_MENU) < 0;
        if (TakeShortcutKey(message)) return true;
        if (Win32Drawn* focused = FocusedControl(); focused && !ctrl && !alt && focused->TakeKeyDown(message.wParam))
            return true;
        if (message.wParam == VK_TAB && !ctrl && !alt) return MoveFocus(shift ? -1 : 1);
        if (message.wParam != VK_ESCAPE || shift || ctrl || alt || !cancel) return false;
        Win32Drawn* focused = FocusedControl();
        if (focused && focused->TakesEsc()) return false;
        cancel->Click();
        return true;
    }

    // The menus' keys, wherever the focus is in the window or in a box it owns.
    bool TakeShortcutKey(const MSG& message) {
        const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0, alt = GetKeyState(VK_MENU) < 0;
        return !alt && TakeShortcut(message.wParam, ctrl, shift);
    }

    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_SIZE:
                FollowAnchors(LOWORD(lParam), HIWORD(lParam));
                return 0;
            case WM_COMMAND:
                if (Win32Drawn* control = ControlOf(reinterpret_cast<HWND>(lParam))) control->Command(HIWORD(wParam));
                return 0;
            case WM_NOTIFY: {
                auto* header = reinterpret_cast<NMHDR*>(lParam);
                LRESULT result = 0;
                if (Win32Drawn* control = ControlOf(reinterpret_cast<HWND>(header->idFrom)))
                    if (control->Notify(header, result)) return result;
                break;
            }
            case WM_SETTINGCHANGE:
                if (onSettingChange) onSettingChange();
                break;
            case WM_INITMENUPOPUP:
                if (HIWORD(lParam)) systemMenu.Rebuild(window);  // the system menu opens
                break;
            case WM_SYSCOMMAND:
                if (systemMenu.Run(wParam)) return 0;
                break;
            case WM_CLOSE:
                PostQuitMessage(0);
                return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    HWND window;
    SystemMenuCommands systemMenu;

private:
    static LRESULT CALLBACK WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
        auto found = Windows().find(handle);
        if (found == Windows().end()) return DefWindowProcA(handle, message, wParam, lParam);
        LRESULT result = 0;
        RunGuarded([&] { result = found->second->Handle(message, wParam, lParam); });
        return result;
    }

    RECT ClientRect() const {
        RECT client;
        GetClientRect(window, &client);
        return client;
    }

    Bounds PlaceOf(HWND child) const {
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
        return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    }

    void FollowAnchors(int width, int height) {
        for (const Anchored& control : anchored) {
            Bounds place = platform::FollowAnchors(control.design, control.anchors, width - layout.ClientWidth,
                                                   height - layout.ClientHeight);
            MoveWindow(control.window, place.Left, place.Top, place.Width, place.Height + control.listHeight, TRUE);
        }
    }

    bool TakeShortcut(WPARAM key, bool ctrl, bool shift) {
        Shortcut pressed;
        pressed.ctrl = ctrl;
        pressed.shift = shift;
        if (key >= 'A' && key <= 'Z' && ctrl)
            pressed.letter = static_cast<char>(key);
        else if (key >= VK_F1 && key <= VK_F12)
            pressed.function = static_cast<int>(key - VK_F1) + 1;
        else
            return false;
        for (const auto& [handle, control] : byHandle)
            if (control->TakeShortcut(pressed)) return true;
        return false;
    }

    Win32Drawn* ControlOf(HWND handle) const {
        auto found = byHandle.find(handle);
        return found == byHandle.end() ? nullptr : found->second;
    }

    Win32Drawn* FocusedControl() const {
        for (Control* control : tabOrder)
            if (control->Focused()) return &DrawnOf(*control);
        return ControlOf(GetFocus());
    }

    bool MoveFocus(int step) {
        if (tabOrder.empty()) return false;
        const int count = static_cast<int>(tabOrder.size());
        int at = -1;
        for (int i = 0; i < count; ++i)
            if (tabOrder[static_cast<size_t>(i)]->Focused()) at = i;
        const int next = at < 0 ? 0 : ((at + step) % count + count) % count;
        tabOrder[static_cast<size_t>(next)]->SetFocus();
        return true;
    }

    const WindowLayout layout;
    std::vector<std::unique_ptr<Control>> controls;
    std::map<HWND, Win32Drawn*> byHandle;
    std::vector<Anchored> anchored;
    std::vector<Control*> tabOrder;
    Button* cancel = nullptr;
    std::function<void()> onSettingChange;
    bool centred = false;
};

}  // namespace

bool PreTranslateKey(MSG& message) {
    if (message.message != WM_KEYDOWN) return false;
    const HWND root = GetAncestor(message.hwnd, GA_ROOT);
    bool taken = false;
    if (auto found = Windows().find(root); found != Windows().end()) {
        RunGuarded([&] { taken = found->second->TakeKey(message); });
    } else if (auto owner = Windows().find(GetWindow(root, GW_OWNER)); owner != Windows().end()) {
        RunGuarded([&] { taken = owner->second->TakeShortcutKey(message); });  // the find box: F3 finds on
    }
    return taken;
}

std::unique_ptr<Window> MakeWindow(const WindowLayout& layout) { return std::make_unique<Win32Window>(layout); }

}  // namespace platform
