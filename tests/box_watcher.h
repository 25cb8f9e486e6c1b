#pragma once
// Answers every message box the code under test opens, and remembers what it showed.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <string>
#include <vector>

struct ShownBox {
    std::string text;
    std::string caption;
    QMessageBox::Icon icon;
    int buttons;
};

class BoxWatcher {
public:
    // keepOpenMs: how long each box stays open before it is answered.
    explicit BoxWatcher(int keepOpenMs = 0) : keepOpenMs(keepOpenMs) {
        QObject::connect(&poll, &QTimer::timeout, [this] { Answer(); });
        poll.start(5);
    }
    std::vector<ShownBox> boxes;

private:
    void Answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        if (box != current) {
            current = box;
            openFor.start();
            boxes.push_back({box->text().toStdString(), box->windowTitle().toStdString(), box->icon(),
                             static_cast<int>(box->buttons().size())});
        }
        if (openFor.elapsed() >= keepOpenMs) {
            current = nullptr;
            box->accept();
        }
    }
    int keepOpenMs;
    QTimer poll;
    QMessageBox* current = nullptr;
    QElapsedTimer openFor;
};

inline void ProcessEventsFor(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Runs events until done() or the limit; true when done.
template <typename Done>
bool ProcessEventsUntil(Done done, int limitMs = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}
