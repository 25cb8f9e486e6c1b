#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/application.h"
#include "platform/error_handler.h"
#include "platform/periodic_timer.h"
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
    EXPECT_EQ(platform::ApplicationTitle("/usr/bin/comterm"), "Comterm");
    EXPECT_EQ(platform::ApplicationTitle("./COMTERM.EXE"), "Comterm");
    EXPECT_EQ(platform::ApplicationTitle("my.prog.v2"), "My");
    EXPECT_EQ(platform::ApplicationTitle("comterm"), "Comterm");
}

TEST(ErrorBox, ErrorInAHandlerShowsAStopBoxAndTheProgramGoesOn) {
    BoxWatcher watcher;
    bool rest = false;
    bool after = false;
    platform::RunGuarded([&] {
        throw std::runtime_error("Port gone");
        rest = true;
    });
    after = true;
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "Port gone.");
    auto* application = static_cast<platform::Application*>(QCoreApplication::instance());
    EXPECT_EQ(watcher.boxes[0].caption, application->Title());
    EXPECT_EQ(watcher.boxes[0].caption, "Window_tests");
    EXPECT_EQ(watcher.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(watcher.boxes[0].buttons, 1);
    EXPECT_FALSE(rest);
    EXPECT_TRUE(after);
}

TEST(ErrorBox, TimerTicksGoOnWhileABoxIsOpen) {
    BoxWatcher watcher(400);
    platform::PeriodicTimer timer;
    int ticks = 0;
    int ticksWhileOpen = 0;
    timer.SetInterval(25);
    timer.SetOnTimer([&] {
        if (++ticks == 1) {
            int before = ticks;
            throw std::runtime_error(std::to_string(before));
        }
        if (QApplication::activeModalWidget()) ++ticksWhileOpen;
    });
    ASSERT_TRUE(ProcessEventsUntil([&] { return watcher.boxes.size() == 1 && !QApplication::activeModalWidget(); }));
    EXPECT_GE(ticksWhileOpen, 5);
}

}  // namespace
