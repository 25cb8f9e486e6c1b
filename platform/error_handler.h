#pragma once
#include <functional>
#include <string>

namespace platform {

using ErrorHandler = std::function<void(const std::string& message)>;

// Installs the one central handler that shows errors raised in our entry points.
// Without one, errors go to standard error.
void SetErrorHandler(ErrorHandler handler);

// Runs the body of one entry point of ours (a slot, a timer tick, a key handler).
// An error abandons the rest of the body and goes to the central handler, so no
// exception ever unwinds through the toolkit's own frames.
void RunGuarded(const std::function<void()>& body) noexcept;

// Hands one error message to the central handler.
void ReportError(const std::string& message) noexcept;

}  // namespace platform
