// A signal handler may do almost nothing: it writes one byte to a pipe.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/window/posix/termination.h"

namespace platform {
namespace {

constexpr int TerminationSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    (void)!write(signalPipe[1], &byte, 1);
    errno = saved;
}

void Handle(int signal, void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

}  // namespace

bool CatchTerminationSignals() {
    if (signalPipe[0] >= 0 || pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    for (int signal : TerminationSignals) Handle(signal, OnSignal);
    Handle(SIGPIPE, SIG_IGN);
    Handle(SIGXFSZ, SIG_IGN);
    return true;
}

int TerminationFd() { return signalPipe[0]; }

void DrainTermination() {
    char drained[16];
    while (signalPipe[0] >= 0 && read(signalPipe[0], drained, sizeof drained) > 0) {
    }
}

void ReleaseTerminationSignals() {
    if (signalPipe[0] < 0) return;
    for (int signal : TerminationSignals) Handle(signal, SIG_DFL);
    Handle(SIGPIPE, SIG_DFL);
    Handle(SIGXFSZ, SIG_DFL);
    close(signalPipe[0]);
    close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

}  // namespace platform
