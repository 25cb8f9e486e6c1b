#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>

#include "tests/box_watcher.h"

// Test binaries need no display unless one is asked for.
// Kept choices go to a folder of the run's own, never the user's, gone when it ends.
void PrepareTestEnvironment() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static char folder[] = "/tmp/comterm-test-config-XXXXXX";
    if (!mkdtemp(folder)) return;
    setenv("XDG_CONFIG_HOME", folder, 1);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
}

// Looks for a modal box every few milliseconds from the message loop the box runs.
struct BoxWatcher::Poll {
    Poll(BoxWatcher& watcher, int keepOpenMs) : watcher(watcher), keepOpenMs(keepOpenMs) {
        QObject::connect(&timer, &QTimer::timeout, [this] { Answer(); });
        timer.start(5);
    }

    void Answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        if (box != current) {
            current = box;
            openFor.start();
            bool blocked = false;
            for (QWidget* window : QApplication::topLevelWidgets())
                if (window != box && window->isVisible() && !qobject_cast<QMessageBox*>(window))
                    blocked = box->windowModality() == Qt::ApplicationModal ||
                              (box->windowModality() == Qt::WindowModal && box->parentWidget() == window);
            watcher.boxes.push_back({box->text().toStdString(), box->windowTitle().toStdString(),
                                     box->icon() == QMessageBox::Critical, static_cast<int>(box->buttons().size()), blocked});
        }
        if (openFor.elapsed() >= keepOpenMs) {
            current = nullptr;
            box->accept();
        }
    }

    BoxWatcher& watcher;
    int keepOpenMs;
    QTimer timer;
    QMessageBox* current = nullptr;
    QElapsedTimer openFor;
};

BoxWatcher::BoxWatcher(int keepOpenMs) : poll(std::make_unique<Poll>(*this, keepOpenMs)) {}

BoxWatcher::~BoxWatcher() = default;

bool BoxWatcher::BoxOpen() const { return QApplication::activeModalWidget() != nullptr; }
