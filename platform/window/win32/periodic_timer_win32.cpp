#include <memory>

#include "platform/window/timer_driver.h"
#include "platform/window/win32/gui_thread.h"

namespace platform {
namespace {

class Win32TimerDriver : public PeriodicTimer::Driver {
public:
    explicit Win32TimerDriver(PeriodicTimer& owner) : Driver(owner) { GuiThreadWindow(); }
    ~Win32TimerDriver() override {
        Stop();
        *alive = false;
    }

    void Stop() override {
        StopGuiTimer(id);
        id = 0;
    }
    bool Start(int milliseconds) override {
        id = StartGuiTimer(milliseconds, [this] { TickOwner(); });
        return id != 0;
    }
    // The flag is read on the GUI thread only, where the driver also dies.
    void PostWake() override {
        PostToGuiThread([this, alive = alive] {
            if (*alive) WakeOwner();
        });
    }

private:
    UINT_PTR id = 0;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

}  // namespace

std::unique_ptr<PeriodicTimer::Driver> PeriodicTimer::Driver::Make(PeriodicTimer& owner) {
    return std::make_unique<Win32TimerDriver>(owner);
}

}  // namespace platform
