// A signal handler may do almost nothing: it writes one byte to a pipe, and the event
// loop, watching the pipe, runs the quit on the GUI thread.
#include <fcntl.h>
#include <cerrno>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <memory>

#include "platform/qt/termination_signals.h"

namespace platform {
namespace {

constexpr int TerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};
int signalPipe[2] = {-1, -1};
std::unique_ptr<QSocketNotifier> watcher;

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    (void)!write(signalPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void QuitOnTerminationSignals(std::function<void()> quit) {
    if (signalPipe[0] >= 0 || pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    watcher = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(watcher.get(), &QSocketNotifier::activated, [quit = std::move(quit)] {
        char drained[16];
        while (read(signalPipe[0], drained, sizeof drained) > 0) {
        }
        quit();
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : TerminationSignals) sigaction(signal, &action, nullptr);
}

void RestoreTerminationSignals() {
    if (signalPipe[0] < 0) return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : TerminationSignals) sigaction(signal, &action, nullptr);
    watcher.reset();
    close(signalPipe[0]);
    close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

}  // namespace platform
