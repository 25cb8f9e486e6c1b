#pragma once
#include <functional>

namespace platform {

// SIGTERM, SIGINT, SIGHUP and SIGQUIT end the program as closing its window does: `quit` runs on
// the GUI thread from its event loop, so the open port is closed and released as on
// Disconnect. Until Restore, the signals no longer end the process at once.
void QuitOnTerminationSignals(std::function<void()> quit);
void RestoreTerminationSignals();

}  // namespace platform
