#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/window/application.h"
#include "platform/window/error_handler.h"
#include "platform/window/periodic_timer.h"
#include "tests/box_watcher.h"

namespace {

TEST(ErrorBox, FullStopRule) {
    struct Case {
        std::string message, text;
    } cases[] = {
        {"", ""},
        {"Done.", "Done."},
        {"a,", "a,"},
        {"a-", "a-"},
        {"(a)", "(a)"},
        {"'5 ' is not a valid integer value", "'5 ' is not a valid integer value."},
        {"quoted '", "quoted '"},
        {"quoted \"", "quoted \""},
        {"blank ", "blank "},
        {"slash/", "slash/."},
        {"digit 5", "digit 5."},
        {"RichEdit line insertion error", "RichEdit line insertion error."},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::ErrorBoxText(c.message), c.text) << c.message;
}

TEST(ErrorBox, ApplicationTitleFromTheExecutable) {
    struct Case {
        const char* path;
        const char* title;
    } cases[] = {
        {"/usr/bin/comterm", "comterm"},  // the first character stays as it is
        {"./COMTERM.EXE", "Comterm"},
        {"MyTerm.Bin", "Myterm"},
        {"zTERM", "zterm"},
        {"my.prog.v2", "my"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::ApplicationTitle(c.path), c.title) << c.path;
}

TEST(ErrorBox, ErrorInAHandlerShowsAStopBoxAndTheProgramGoesOn) {
    BoxWatcher watcher;
    int reached = 0;
    platform::RunGuarded([&] {
        reached = 1;
        if (reached == 1) throw std::runtime_error("Port gone");
        reached = 99;
    });
    EXPECT_EQ(reached, 1) << "the rest of the handler is abandoned";
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "Port gone.");
    auto* application = platform::Application::Instance();
    EXPECT_EQ(watcher.boxes[0].caption, application->Title());
    EXPECT_EQ(watcher.boxes[0].caption, "window_tests");
    EXPECT_TRUE(watcher.boxes[0].stopIcon);
    EXPECT_EQ(watcher.boxes[0].buttons, 1);

    // The program carries on: the next handler runs whole, and a second error gets
    // a box of its own.
    platform::RunGuarded([&] { reached = 2; });
    EXPECT_EQ(reached, 2);
    EXPECT_EQ(watcher.boxes.size(), 1u);
    platform::RunGuarded([] { throw 42; });
    ASSERT_EQ(watcher.boxes.size(), 2u);
    EXPECT_EQ(watcher.boxes[1].text, "Unknown error.");
}

TEST(ErrorBox, TimerTicksGoOnWhileABoxIsOpen) {
    BoxWatcher watcher(400);
    platform::PeriodicTimer timer;
    int ticks = 0;
    int ticksWhileOpen = 0;
    timer.SetInterval(25);
    timer.SetOnTimer([&] {
        if (++ticks == 1) throw std::runtime_error("first tick");
        if (watcher.BoxOpen()) ++ticksWhileOpen;
    });
    ASSERT_TRUE(ProcessEventsUntil([&] { return watcher.boxes.size() == 1 && !watcher.BoxOpen(); }));
    EXPECT_GE(ticksWhileOpen, 5);
}

}  // namespace
