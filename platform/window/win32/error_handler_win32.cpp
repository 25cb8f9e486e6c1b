#include "platform/window/error_handler.h"
#include "platform/window/win32/gui_thread.h"

namespace platform {

void ReportErrorLater(const std::string& message) noexcept {
    try {
        PostToGuiThread([message] { ReportError(message); });
    } catch (...) {
        ReportError(message);
    }
}

}  // namespace platform
