#include "platform/window/periodic_timer.h"

#include <stdexcept>

#include "platform/window/error_handler.h"
#include "platform/window/timer_driver.h"

namespace platform {

PeriodicTimer::PeriodicTimer() : driver(Driver::Make(*this)) {}

PeriodicTimer::~PeriodicTimer() { driver->Stop(); }

void PeriodicTimer::SetInterval(int milliseconds) {
    interval = milliseconds;
    Restart();
}

void PeriodicTimer::SetEnabled(bool enable) {
    enabled = enable;
    Restart();
}

void PeriodicTimer::SetOnTimer(std::function<void()> handler) {
    onTimer = std::move(handler);
    Restart();
}

void PeriodicTimer::Park() {
    driver->Stop();
    parked = true;
}

void PeriodicTimer::Wake() { driver->PostWake(); }

void PeriodicTimer::WakeOnTimerThread() {
    if (parked) RunGuarded([this] { Restart(); }, ReportErrorLater);
}

void PeriodicTimer::Restart() {
    parked = false;
    driver->Stop();
    if (!enabled || interval <= 0 || !onTimer) return;
    if (!driver->Start(interval)) {
        enabled = false;
        throw std::runtime_error("Not enough timers available");
    }
}

void PeriodicTimer::Tick() {
    // Copy first: the handler may replace itself or disable the timer.
    auto handler = onTimer;
    RunGuarded(handler, ReportErrorLater);
}

}  // namespace platform
