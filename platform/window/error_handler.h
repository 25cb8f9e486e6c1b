#pragma once
#include <functional>
#include <string>

namespace platform {

using ErrorHandler = std::function<void(const std::string& message)>;

// Installs the one central handler that shows errors raised in our entry points and
// returns the one it replaces. Without one, errors go to standard error.
ErrorHandler SetErrorHandler(ErrorHandler handler);

// Runs the body of one entry point of ours (a slot, a timer tick, a key handler).
// An error abandons the rest of the body and goes to the central handler, so no
// exception ever unwinds through the toolkit's own frames.
// `report` takes the error's message: ReportError by default.
void RunGuarded(const std::function<void()>& body,
                void (*report)(const std::string& message) = nullptr) noexcept;

// Hands one error message to the central handler.
void ReportError(const std::string& message) noexcept;

// The same once the current event has been dispatched. For timer ticks: the toolkit
// does not deliver a timer's ticks while its own tick runs, so a box shown from
// inside a tick would stop that timer for as long as the box is open.
void ReportErrorLater(const std::string& message) noexcept;

}  // namespace platform
