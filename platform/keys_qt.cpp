#include <QAbstractButton>
#include <QKeyEvent>
#include <QShortcut>

#include "platform/error_handler.h"
#include "platform/keys.h"

namespace platform {
namespace {

class KeyPressFilter : public QObject {
public:
    KeyPressFilter(QObject* parent, std::function<void(char&)> handler)
        : QObject(parent), handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        char key = CharacterOf(*keyEvent);
        if (key == 0) return false;
        RunGuarded([&] { handler(key); });
        return key == 0;
    }

private:
    static char CharacterOf(const QKeyEvent& event) {
        if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) return '\r';
        QString text = event.text();
        if (text.size() != 1 || event.modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return 0;
        char16_t unit = text.at(0).unicode();
        return unit < 0x100 ? static_cast<char>(unit) : '?';
    }

    std::function<void(char&)> handler;
};

}  // namespace

void SetKeyPressHandler(QWidget* control, std::function<void(char& key)> handler) {
    control->installEventFilter(new KeyPressFilter(control, std::move(handler)));
}

void SetCancelButton(QWidget* window, QAbstractButton* button) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setContext(Qt::WindowShortcut);
    QObject::connect(escape, &QShortcut::activated, button, &QAbstractButton::click);
}

}  // namespace platform
