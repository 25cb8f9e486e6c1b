#include <windows.h>
#undef MessageBox  // the platform service of that name, not the ANSI/wide switch

#include "platform/window/message_box.h"
#include "platform/window/win32/gui_thread.h"

namespace platform {

// Owned by the application's window, so its task bar entry brings the box forward;
// task-modal: every window of the program is disabled while the box is open, and the
// one that was active is active again afterwards.
void MessageBox(const ByteString& text, const ByteString& caption, int flags) {
    HWND previouslyActive = GetActiveWindow();
    MessageBoxA(ApplicationWindow(), text.c_str(), caption.c_str(), static_cast<UINT>(flags) | MB_TASKMODAL);
    if (previouslyActive && IsWindow(previouslyActive)) SetActiveWindow(previouslyActive);
}

}  // namespace platform
