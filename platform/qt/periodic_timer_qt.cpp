#include "platform/periodic_timer.h"

#include <QObject>
#include <QTimerEvent>
#include <stdexcept>

#include "platform/error_handler.h"

namespace platform {

class PeriodicTimer::Driver : public QObject {
public:
    explicit Driver(PeriodicTimer& owner) : owner(owner) {}

    void Stop() {
        if (timerId != 0) killTimer(timerId);
        timerId = 0;
    }
    bool Start(int milliseconds) {
        timerId = startTimer(milliseconds, Qt::PreciseTimer);
        return timerId != 0;
    }

protected:
    void timerEvent(QTimerEvent* event) override {
        if (event->timerId() == timerId) owner.Tick();
    }

private:
    PeriodicTimer& owner;
    int timerId = 0;
};

PeriodicTimer::PeriodicTimer() : driver(std::make_unique<Driver>(*this)) {}

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

void PeriodicTimer::Wake() {
    // The driver lives on the timer's thread: the restart happens there, and is dropped
    // if the timer is gone by then.
    QMetaObject::invokeMethod(driver.get(), [this] {
        if (parked) RunGuarded([this] { Restart(); }, ReportErrorLater);
    }, Qt::QueuedConnection);
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
