#pragma once
// A timer of the window's loop that records how deep it runs: a handler that runs the
// loop inside itself (a nested wait) lets it tick inside that handler.
#include <algorithm>

#include "platform/window/periodic_timer.h"

class LoopProbe {
public:
    LoopProbe() {
        timer.SetInterval(10);
        timer.SetOnTimer([this] {
            deepest = std::max(deepest, ++depth);
            ++ticks;
            tickedInside = tickedInside || inside;
            --depth;
        });
        timer.SetEnabled(true);
    }
    // Runs a handler the way the loop would, noting any tick inside it.
    template <typename Handler>
    void Inside(Handler handler) {
        inside = true;
        handler();
        inside = false;
    }
    void Stop() { timer.SetEnabled(false); }

    int deepest = 0, ticks = 0;
    bool tickedInside = false;

private:
    int depth = 0;
    bool inside = false;
    platform::PeriodicTimer timer;
};
