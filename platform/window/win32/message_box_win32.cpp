#include <windows.h>
#undef MessageBox  // the platform service of that name, not the ANSI/wide switch

#include <string>

#include "platform/window/message_box.h"
#include "platform/window/win32/gui_thread.h"

namespace platform {
namespace {

// The program's shown window, the one a box must stand above: the active one, or else
// the first shown window of this thread that is not a box.
HWND ShownWindow() {
    HWND active = GetActiveWindow();
    if (active && IsWindowVisible(active)) return active;
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM result) -> BOOL {
        char windowClass[16] = {};
        GetClassNameA(window, windowClass, sizeof windowClass);
        if (!IsWindowVisible(window) || std::string(windowClass) == "#32770") return TRUE;
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

// Owned by the program's shown window, so it stands above it and the window takes no
// input while it is open (a box owned by the hidden application window was seen to open
// behind it); task-modal besides, and the window that was active is active again
// afterwards.
void MessageBox(const ByteString& text, const ByteString& caption, int flags) {
    HWND previouslyActive = GetActiveWindow();
    HWND owner = ShownWindow();
    MessageBoxA(owner ? owner : ApplicationWindow(), text.c_str(), caption.c_str(), static_cast<UINT>(flags) | MB_TASKMODAL);
    if (previouslyActive && IsWindow(previouslyActive)) SetActiveWindow(previouslyActive);
}

}  // namespace platform
