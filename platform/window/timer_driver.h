#pragma once
// What a backend provides for PeriodicTimer: one platform timer on the GUI thread.
#include <memory>

#include "platform/window/periodic_timer.h"

namespace platform {

class PeriodicTimer::Driver {
public:
    static std::unique_ptr<Driver> Make(PeriodicTimer& owner);
    virtual ~Driver() = default;

    virtual void Stop() = 0;
    virtual bool Start(int milliseconds) = 0;  // false: the platform refused a timer
    // From any thread: WakeOnTimerThread runs later on the GUI thread, unless the
    // timer is gone by then.
    virtual void PostWake() = 0;

protected:
    explicit Driver(PeriodicTimer& owner) : owner(owner) {}
    void TickOwner() { owner.Tick(); }
    void WakeOwner() { owner.WakeOnTimerThread(); }

private:
    PeriodicTimer& owner;
};

}  // namespace platform
