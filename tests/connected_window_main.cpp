// The terminal connected to port 5, as a user leaves it: for the tests that end it by a
// signal. Prints "connected" once the port is open.
#include <cstdio>

#include "platform/application.h"
#include "ui/main_form.h"

int main(int argc, char** argv) {
    platform::Application application(argc, argv);
    TMainForm form;
    form.Show();
    form.ConnectButton->Click();
    std::printf("%s\n", ComPort->IsOpen() ? "connected" : "not connected");
    std::fflush(stdout);
    return application.Run();
}
