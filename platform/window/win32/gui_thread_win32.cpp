#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "platform/window/error_handler.h"
#include "platform/window/win32/gui_thread.h"

namespace platform {
namespace {

constexpr UINT PostedCall = WM_APP + 1;

std::map<UINT_PTR, std::function<void()>>& Timers() {
    static std::map<UINT_PTR, std::function<void()>> timers;
    return timers;
}

LRESULT CALLBACK GuiThreadProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PostedCall) {
        std::unique_ptr<std::function<void()>> call(reinterpret_cast<std::function<void()>*>(lParam));
        RunGuarded(*call);
        return 0;
    }
    if (message == WM_TIMER) {
        auto found = Timers().find(wParam);
        if (found != Timers().end()) {
            auto tick = found->second;  // the tick may stop its own timer
            RunGuarded(tick);
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HWND GuiThreadWindow() {
    static HWND window = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = GuiThreadProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "comterm.gui_thread";
        RegisterClassA(&windowClass);
        return CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               windowClass.hInstance, nullptr);
    }();
    return window;
}

void PostToGuiThread(std::function<void()> call) {
    auto* posted = new std::function<void()>(std::move(call));
    if (!PostMessageA(GuiThreadWindow(), PostedCall, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
}

// Timers live on the GUI thread: another thread gets none, as it has no message loop.
UINT_PTR StartGuiTimer(int milliseconds, std::function<void()> tick) {
    if (GetWindowThreadProcessId(GuiThreadWindow(), nullptr) != GetCurrentThreadId()) return 0;
    static UINT_PTR lastId = 0;
    const UINT_PTR id = ++lastId;
    if (SetTimer(GuiThreadWindow(), id, static_cast<UINT>(milliseconds), nullptr) == 0) return 0;
    Timers()[id] = std::move(tick);
    return id;
}

void StopGuiTimer(UINT_PTR id) {
    if (id == 0) return;
    KillTimer(GuiThreadWindow(), id);
    Timers().erase(id);
}

namespace {
std::vector<HWND>& ModelessDialogs() {
    static std::vector<HWND> dialogs;
    return dialogs;
}
}  // namespace

namespace {
int menusShown = 0;
}  // namespace

MenuShown::MenuShown() { ++menusShown; }
MenuShown::~MenuShown() { --menusShown; }

bool FocusMayMove() {
    if (menusShown > 0) return false;
    const auto& dialogs = ModelessDialogs();
    return std::find(dialogs.begin(), dialogs.end(), GetActiveWindow()) == dialogs.end();
}

void AddModelessDialog(HWND dialog) { ModelessDialogs().push_back(dialog); }

void RemoveModelessDialog(HWND dialog) {
    auto& dialogs = ModelessDialogs();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), dialog), dialogs.end());
}

void DispatchOne(MSG& message) {
    if (PreTranslateKey(message)) return;
    for (HWND dialog : ModelessDialogs())
        if (IsDialogMessageA(dialog, &message)) return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

}  // namespace platform
