// One application object for every test binary, the program's own: timers, widgets
// and the central error handler need it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/application.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);  // no display needed unless one is asked for
    platform::Application application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
