// One application object for every test binary, the program's own: timers, windows
// and the central error handler need it.
#include <gtest/gtest.h>

#include "platform/window/application.h"
#include "tests/box_watcher.h"

int main(int argc, char** argv) {
    PrepareTestEnvironment();
    platform::Application application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
