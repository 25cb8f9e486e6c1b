// The event loop watches the pipe the termination signals write to, and runs the quit
// on the GUI thread.
#include <QSocketNotifier>
#include <memory>

#include "platform/window/posix/termination.h"
#include "platform/window/qt/termination_signals.h"

namespace platform {
namespace {

std::unique_ptr<QSocketNotifier> watcher;

}  // namespace

void QuitOnTerminationSignals(std::function<void()> quit) {
    if (!CatchTerminationSignals()) return;
    watcher = std::make_unique<QSocketNotifier>(TerminationFd(), QSocketNotifier::Read);
    QObject::connect(watcher.get(), &QSocketNotifier::activated, [quit = std::move(quit)] {
        DrainTermination();
        quit();
    });
}

void RestoreTerminationSignals() {
    watcher.reset();
    ReleaseTerminationSignals();
}

}  // namespace platform
