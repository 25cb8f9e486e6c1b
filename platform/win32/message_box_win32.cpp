#include <windows.h>
#undef MessageBox  // the platform service of that name, not the ANSI/wide switch

#include "platform/message_box.h"

namespace platform {

// Task-modal: every window of the program is disabled while the box is open, and the
// one that was active is active again afterwards.
void MessageBox(const ByteString& text, const ByteString& caption, int flags) {
    HWND previouslyActive = GetActiveWindow();
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), static_cast<UINT>(flags) | MB_TASKMODAL);
    if (previouslyActive && IsWindow(previouslyActive)) SetActiveWindow(previouslyActive);
}

}  // namespace platform
