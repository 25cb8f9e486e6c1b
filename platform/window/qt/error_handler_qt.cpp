#include <QCoreApplication>
#include <QTimer>

#include "platform/window/error_handler.h"

namespace platform {

void ReportErrorLater(const std::string& message) noexcept {
    try {
        QTimer::singleShot(0, QCoreApplication::instance(), [message] { ReportError(message); });
    } catch (...) {
        ReportError(message);
    }
}

}  // namespace platform
