#include <QCoreApplication>
#include <QEventLoop>
#include <thread>

#include "platform/window/wait.h"

namespace platform {

bool WaitWhileDrawing(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace platform
