#pragma once
// Waiting on the GUI thread for work done on another, without leaving the windows undrawn.
#include <chrono>
#include <functional>

namespace platform {

// Runs the calling thread's message loop, but for the user's keys and clicks (kept for
// afterwards), until done() or the deadline; true when done. Timers and painting go on.
bool WaitWhileDrawing(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline);

}  // namespace platform
