#pragma once

namespace platform {

// SIGTERM, SIGINT, SIGHUP and SIGQUIT, caught: the handler writes one byte to a pipe,
// which the event loop watches, and which a wait that could last (a send to a device
// that does not read) watches too, so that it gives up at once. SIGPIPE and SIGXFSZ are
// ignored: a write to a closed pipe or socket, or past the file size limit, fails
// instead of ending the program. False when
// already caught or no pipe could be made.
bool CatchTerminationSignals();
// Readable once a caught signal came; -1 while the signals are not caught.
int TerminationFd();
// Empties the pipe, once the signal is being acted on.
void DrainTermination();
// The signals end the process at once again.
void ReleaseTerminationSignals();

}  // namespace platform
