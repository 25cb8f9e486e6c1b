#pragma once
#include <QApplication>
#include <string>

namespace platform {

// The title the application goes by: the executable's file name after the last path
// separator, cut at its first full stop, every character but the first turned to lower case.
std::string ApplicationTitle(const std::string& executablePath);

// The error box text: the message, with a full stop appended when it is not empty and
// its last byte is above the full stop's (so not after ". , - ) ' \"" or a blank).
std::string ErrorBoxText(const std::string& message);

// The application object: installs the central error handler, which shows an error in
// a modal stop box under the application title and lets the program carry on. The
// application title is also its name, which task bars show.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    ~Application() override;

    const std::string& Title() const { return title; }
    // The last net: an error that escaped a handler of ours still gets its box.
    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::string title;
};

}  // namespace platform
