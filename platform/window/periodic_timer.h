#pragma once
#include <functional>
#include <memory>

namespace platform {

// A GUI-thread timer with interval, enabled flag and tick handler. Every change of any
// of the three stops the running timer and, if it is then enabled with a non-zero
// interval and a handler, starts a fresh full period. An error in a tick is shown
// once the tick has returned, so that ticks go on while its box is open.
// A refusal by the platform leaves the timer disabled and raises
// "Not enough timers available".
class PeriodicTimer {
public:
    PeriodicTimer();
    ~PeriodicTimer();
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    void SetInterval(int milliseconds);
    void SetEnabled(bool enabled);
    void SetOnTimer(std::function<void()> handler);

    // Parked, an enabled timer does not tick until Wake, which any thread may call;
    // it then starts a fresh full period. Enabled stays true throughout.
    void Park();
    void Wake();

    int Interval() const { return interval; }
    bool Enabled() const { return enabled; }

private:
    void Restart();
    void Tick();
    void WakeOnTimerThread();

public:
    class Driver;  // the backend's platform timer

private:
    std::unique_ptr<Driver> driver;
    int interval = 1000;
    bool enabled = true;
    bool parked = false;
    std::function<void()> onTimer;
};

}  // namespace platform
