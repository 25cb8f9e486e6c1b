// The terminal connected to port 5, as a user leaves it: for the tests that end it by a
// signal. Prints "connected" once the port is open. With "send-stuck", it then sends a
// line far longer than a device that does not read can take before the signal comes.
#include <cstdio>
#include <string>

#include "platform/window/application.h"
#include "platform/window/periodic_timer.h"
#include "ui/features.h"
#include "ui/main_form.h"
#include "ui/port_session.h"

int main(int argc, char** argv) {
    platform::Application application(argc, argv);
    TMainForm form;
    form.Show();
    form.ConnectButton->Click();
    // Connect is told at a later turn of the loop: said once it has been.
    const bool sendStuck = argc > 1 && std::string(argv[1]) == "send-stuck";
    platform::PeriodicTimer told;
    told.SetInterval(10);
    told.SetOnTimer([&] {
        if (form.Features().Session().Opening()) return;
        told.SetEnabled(false);
        std::printf("%s\n", ComPort->IsOpen() ? "connected" : "not connected");
        std::fflush(stdout);
        if (sendStuck) ComPort->Send(ByteString(100000, 's'));
    });
    told.SetEnabled(true);
    return application.Run();
}
