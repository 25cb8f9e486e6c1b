#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "platform/window/driver.h"
#include "platform/window/menu.h"
#include "platform/window/qt/controls_qt.h"

namespace platform {

void PressKey(Control& control, Key key, int modifiers) {
    static const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Tab, Qt::Key_Up, Qt::Key_Down};
    QWidget* target = QApplication::activePopupWidget();
    if (!target) target = WidgetOf(control);
    const Qt::KeyboardModifiers held = modifiers & ShiftModifier ? Qt::ShiftModifier : Qt::NoModifier;
    Qt::Key pressed = keys[static_cast<int>(key)];
    if (pressed == Qt::Key_Tab && held & Qt::ShiftModifier) pressed = Qt::Key_Backtab;
    QTest::keyClick(target, pressed, held);
}

void PressShortcut(Control& control, const ByteString& text) {
    const QKeyCombination pressed = KeySequenceOf(text)[0];
    QTest::keyClick(WidgetOf(control), pressed.key(), pressed.keyboardModifiers());
}

void PressShortcutAtFocus(const ByteString& text) {
    QWidget* target = QApplication::focusWidget();
    const QKeyCombination pressed = KeySequenceOf(text)[0];
    QTest::keyClick(target ? target : QApplication::activeWindow(), pressed.key(), pressed.keyboardModifiers());
}

namespace {

QWidget* TopLevelTitled(const ByteString& title) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->windowTitle() == FromBytes(title)) return widget;
    return nullptr;
}

}  // namespace

bool CloseBox(const ByteString& title) {
    QWidget* box = TopLevelTitled(title);
    return box && box->close();
}

bool ClickBoxButton(const ByteString& title, const ByteString& caption) {
    QWidget* box = TopLevelTitled(title);
    if (!box) return false;
    for (QPushButton* button : box->findChildren<QPushButton*>())
        if (button->text().remove('&') == FromBytes(caption)) {
            button->click();
            return true;
        }
    return false;
}

// Idle while nothing happens, as the program's own loop is.
void ProcessEventsFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

bool ProcessEventsUntil(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The window manager's menu is not the program's.
std::vector<ByteString> SystemMenuItems(const Control&) { return {}; }
bool ChooseSystemMenuItem(const Control&, const ByteString&) { return false; }

bool ShowAndActivate(Window& window) {
    window.Show();
    return ProcessEventsUntil([] { return QApplication::activeWindow() != nullptr; }, 5000);
}

}  // namespace platform
