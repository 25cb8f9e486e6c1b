#pragma once
#include <memory>
#include <string>

namespace platform {

// The title the application goes by: the executable's file name after the last path
// separator, cut at its first full stop, every character but the first turned to lower case.
std::string ApplicationTitle(const std::string& executablePath);

// The error box text: the message, with a full stop appended when it is not empty and
// its last byte is above the full stop's (so not after ". , - ) ' \"" or a blank).
std::string ErrorBoxText(const std::string& message);

// Shows errors from the central handler in the stop box under this title.
void ShowErrorsInBoxes(const std::string& title);

// A line that says why something failed, for whoever looks: standard error, and on
// Windows, whose programs with a window have none to see, the debugger's output.
void Diagnose(const std::string& line);

// The application: one a process, made before any window. It installs the central
// error handler, which shows an error in a modal stop box under the application title
// and lets the program carry on; the title is also the name task bars show.
// SIGTERM, SIGINT, SIGHUP and SIGQUIT end its message loop as closing the window does,
// even while a send waits on a device that does not read.
class Application {
public:
    Application(int& argc, char** argv);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    const std::string& Title() const { return title; }
    // The message loop, until the last window closes; the process's exit status.
    int Run();

    static Application* Instance();

private:
    std::string title;
    struct Toolkit;
    std::unique_ptr<Toolkit> toolkit;
};

}  // namespace platform
