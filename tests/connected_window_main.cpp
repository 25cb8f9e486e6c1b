// The terminal connected to port 5, as a user leaves it: for the tests that end it by a
// signal. Prints "connected" once the port is open. With "send-stuck", it then sends a
// line far longer than a device that does not read can take before the signal comes.
#include <cstdio>
#include <string>

#include "platform/window/application.h"
#include "ui/main_form.h"

int main(int argc, char** argv) {
    platform::Application application(argc, argv);
    TMainForm form;
    form.Show();
    form.ConnectButton->Click();
    std::printf("%s\n", ComPort->IsOpen() ? "connected" : "not connected");
    std::fflush(stdout);
    if (argc > 1 && std::string(argv[1]) == "send-stuck") ComPort->Send(ByteString(100000, 's'));
    return application.Run();
}
