#include <windows.h>

#include <algorithm>

#include "platform/window/wait.h"

namespace platform {

bool WaitWhileDrawing(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        MSG message;
        // Posted messages (timers among them), sent ones and painting; input stays queued.
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE | PM_QS_PAINT)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_POSTMESSAGE | QS_SENDMESSAGE | QS_PAINT | QS_TIMER);
    }
}

}  // namespace platform
