#include "platform/window/timer_driver.h"

#include <QObject>
#include <QTimerEvent>

namespace platform {

namespace {

class QtTimerDriver : public QObject, public PeriodicTimer::Driver {
public:
    explicit QtTimerDriver(PeriodicTimer& owner) : Driver(owner) {}

    void Stop() override {
        if (timerId != 0) killTimer(timerId);
        timerId = 0;
    }
    bool Start(int milliseconds) override {
        timerId = startTimer(milliseconds, Qt::PreciseTimer);
        return timerId != 0;
    }
    // The driver lives on the timer's thread: the call runs there, and is dropped if
    // the driver is gone by then.
    void PostWake() override { QMetaObject::invokeMethod(this, [this] { WakeOwner(); }, Qt::QueuedConnection); }

protected:
    void timerEvent(QTimerEvent* event) override {
        if (event->timerId() == timerId) TickOwner();
    }

private:
    int timerId = 0;
};

}  // namespace

std::unique_ptr<PeriodicTimer::Driver> PeriodicTimer::Driver::Make(PeriodicTimer& owner) {
    return std::make_unique<QtTimerDriver>(owner);
}

}  // namespace platform
