#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include "platform/window/application.h"
#include "platform/window/error_handler.h"
#include "platform/window/message_box.h"
#include "platform/window/qt/termination_signals.h"

namespace platform {
namespace {

// An Esc that closes an open drop-down list belongs to the list alone: without this a
// window-level Esc shortcut would fire on the same key.
class PopupEscapeFilter : public QObject {
public:
    explicit PopupEscapeFilter(QObject* parent) : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride && QApplication::activePopupWidget() &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            event->accept();
        return QObject::eventFilter(watched, event);
    }
};

// A blinking caret wakes the program and the X server twice a second for ever. After
// a spell without input it stops blinking and stays shown; the next key or click starts
// it again.
class CaretRest : public QObject {
public:
    static constexpr int RestAfterMs = 10000;

    explicit CaretRest(QObject* parent) : QObject(parent), flashTime(QApplication::cursorFlashTime()) {
        rest.setSingleShot(true);
        rest.setInterval(RestAfterMs);
        connect(&rest, &QTimer::timeout, [] { QApplication::setCursorFlashTime(0); });
        rest.start();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::MouseButtonPress:
            case QEvent::InputMethod:
                if (QApplication::cursorFlashTime() == 0) QApplication::setCursorFlashTime(flashTime);
                rest.start();
                break;
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const int flashTime;
    QTimer rest;
};

// The last net: an error that escaped a handler of ours still gets its box.
class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        bool handled = false;
        RunGuarded([&] { handled = QApplication::notify(receiver, event); });
        return handled;
    }
};

Application* instance = nullptr;

}  // namespace

struct Application::Toolkit {
    Toolkit(int& argc, char** argv) : application(argc, argv) {}
    GuardedApplication application;
};

Application::Application(int& argc, char** argv)
    : title(ApplicationTitle(argc > 0 ? argv[0] : "")), toolkit(std::make_unique<Toolkit>(argc, argv)) {
    instance = this;
    QApplication& application = toolkit->application;
    application.installEventFilter(new PopupEscapeFilter(&application));
    application.installEventFilter(new CaretRest(&application));
    // What task bars and docks show and match a window by (WM_CLASS, with the desktop
    // entry's StartupWMClass) is the application title, not a window's caption.
    application.setApplicationName(QString::fromStdString(title));
    ShowErrorsInBoxes(title);
    // Every event loop ends, a box's too, and the window then closes the port.
    QuitOnTerminationSignals([] { QCoreApplication::quit(); });
}

Application::~Application() {
    RestoreTerminationSignals();
    SetErrorHandler(nullptr);
    instance = nullptr;
}

int Application::Run() { return toolkit->application.exec(); }


Application* Application::Instance() { return instance; }

}  // namespace platform
