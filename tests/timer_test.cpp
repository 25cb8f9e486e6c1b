#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "platform/window/error_handler.h"
#include "platform/window/periodic_timer.h"
#include "tests/box_watcher.h"

namespace {

TEST(PeriodicTimer, TicksOnlyWhileEnabledWithIntervalAndHandler) {
    platform::PeriodicTimer timer;
    int ticks = 0;
    timer.SetEnabled(false);
    timer.SetInterval(10);
    timer.SetOnTimer([&] { ++ticks; });
    ProcessEventsFor(60);
    EXPECT_EQ(ticks, 0);
    timer.SetEnabled(true);
    EXPECT_TRUE(ProcessEventsUntil([&] { return ticks >= 3; }));
    timer.SetEnabled(false);
    int stopped = ticks;
    ProcessEventsFor(60);
    EXPECT_EQ(ticks, stopped);
}

TEST(PeriodicTimer, ErrorInATickGoesToTheCentralHandlerAndTicksGoOn) {
    std::vector<std::string> reported;
    struct Restore {
        platform::ErrorHandler previous;
        ~Restore() { platform::SetErrorHandler(previous); }
    } restore{platform::SetErrorHandler([&](const std::string& message) { reported.push_back(message); })};
    platform::PeriodicTimer timer;
    int ticks = 0;
    timer.SetInterval(10);
    timer.SetOnTimer([&] {
        if (++ticks == 1) throw std::runtime_error("tick failed");
    });
    EXPECT_TRUE(ProcessEventsUntil([&] { return ticks >= 3; }));
    EXPECT_EQ(reported, std::vector<std::string>{"tick failed"});
}

TEST(PeriodicTimer, ParkedTimerStaysEnabledAndTicksAgainWhenWokenFromAnotherThread) {
    platform::PeriodicTimer timer;
    int ticks = 0;
    timer.SetInterval(10);
    timer.SetOnTimer([&] { ++ticks; });
    ASSERT_TRUE(ProcessEventsUntil([&] { return ticks > 0; }));
    timer.Park();
    const int parkedAt = ticks;
    ProcessEventsFor(100);
    EXPECT_EQ(ticks, parkedAt);
    EXPECT_TRUE(timer.Enabled());
    std::thread([&] { timer.Wake(); }).join();
    EXPECT_TRUE(ProcessEventsUntil([&] { return ticks > parkedAt + 3; }));
    timer.SetEnabled(false);
    timer.Wake();  // woken while disabled: stays quiet
    const int stoppedAt = ticks;
    ProcessEventsFor(60);
    EXPECT_EQ(ticks, stoppedAt);
}

TEST(PeriodicTimer, RefusalRaisesAndLeavesTheTimerDisabled) {
    // A thread without an event loop of its own cannot have timers.
    std::string error;
    bool enabled = true;
    std::thread([&] {
        platform::PeriodicTimer timer;
        timer.SetEnabled(false);
        timer.SetOnTimer([] {});
        try {
            timer.SetEnabled(true);
        } catch (const std::exception& e) {
            error = e.what();
        }
        enabled = timer.Enabled();
    }).join();
    EXPECT_EQ(error, "Not enough timers available");
    EXPECT_FALSE(enabled);
}

}  // namespace
