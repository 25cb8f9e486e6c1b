#include "platform/window/qt/controls_qt.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QApplication>
#include <QPainter>
#include <QStyleOptionGroupBox>
#include <QStyleFactory>
#include <QProxyStyle>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

#include "platform/window/error_handler.h"

namespace platform {
namespace {

// Hands each character key to a handler before the control sees it; a key the handler
// sets to 0 goes no further.
class KeyPressFilter : public QObject {
public:
    KeyPressFilter(QObject* parent, std::function<void(char&)> handler)
        : QObject(parent), handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        char key = CharacterOf(*static_cast<QKeyEvent*>(event));
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

// Up and Down go to a handler instead of the edit.
class RecallKeyFilter : public QObject {
public:
    RecallKeyFilter(QObject* parent, std::function<void(bool)> handler) : QObject(parent), handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Up && key != Qt::Key_Down) return false;
        RunGuarded([&] { handler(key == Qt::Key_Up); });
        return true;
    }

private:
    std::function<void(bool)> handler;
};

// Asks for the hint each time the tooltip is about to show.
class HintFilter : public QObject {
public:
    HintFilter(QWidget* widget, std::function<ByteString()> hint) : QObject(widget), widget(widget), hint(std::move(hint)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ToolTip) widget->setToolTip(FromBytes(hint()));
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* widget;
    std::function<ByteString()> hint;
};

// A group box whose caption sits on the frame's top line, as group boxes are drawn on
// the desktop the window's layout comes from: the frame then holds the buttons within the
// group's height, where this platform's style would put the whole frame below the caption.
class CaptionOnFrameStyle : public QProxyStyle {
public:
    CaptionOnFrameStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        const auto* group = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || !group) return QProxyStyle::drawComplexControl(control, option, painter, widget);
        const QRect caption = subControlRect(CC_GroupBox, option, SC_GroupBoxLabel, widget).adjusted(-2, 0, 2, 0);
        painter->save();
        painter->setClipRegion(QRegion(group->rect) - caption);  // the line stops either side of the caption
        painter->setPen(group->palette.color(QPalette::Mid));
        painter->setRenderHint(QPainter::Antialiasing);
        painter->drawRoundedRect(QRectF(group->rect.adjusted(0, caption.height() / 2, -1, -1)).translated(0.5, 0.5), 2, 2);
        painter->restore();
        QStyleOptionGroupBox captionOnly(*group);
        captionOnly.subControls &= ~SC_GroupBoxFrame;
        QProxyStyle::drawComplexControl(control, &captionOnly, painter, widget);
    }
};

QStringList ItemList(const std::vector<ByteString>& items) {
    QStringList list;
    for (const ByteString& item : items) list << FromBytes(item);
    return list;
}

template <typename Widget>
Widget* Placed(Widget* widget, const ControlEntry& entry) {
    widget->setGeometry(entry.Place.Left, entry.Place.Top, entry.Place.Width, entry.Place.Height);
    return widget;
}

}  // namespace

QString FromBytes(const ByteString& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

ByteString ToBytes(const QString& text) {
    QByteArray bytes = text.toLatin1();
    return ByteString(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QKeySequence KeySequenceOf(const ByteString& keys) {
    const Shortcut shortcut = ParseShortcut(keys);
    const Qt::Key key = shortcut.letter ? static_cast<Qt::Key>(Qt::Key_A + (shortcut.letter - 'A'))
                                        : static_cast<Qt::Key>(Qt::Key_F1 + (shortcut.function - 1));
    Qt::KeyboardModifiers held = Qt::NoModifier;
    if (shortcut.ctrl) held |= Qt::ControlModifier;
    if (shortcut.shift) held |= Qt::ShiftModifier;
    return QKeySequence(QKeyCombination(held, key));
}

QWidget* WidgetOf(const Control& control) { return dynamic_cast<const Drawn&>(control).Widget(); }

void AddMenuCommands(QMenu* menu, const std::vector<MenuCommand>& commands) {
    QActionGroup* choiceOfOne = nullptr;
    for (const MenuCommand& command : commands) {
        if (!command.Items.empty()) {
            AddMenuCommands(menu->addMenu(FromBytes(command.Caption)), command.Items);
            continue;
        }
        QAction* action = menu->addAction(
            FromBytes(command.Reading ? command.Reading() : command.Label ? command.Label() : command.Caption));
        if (command.Reading) {
            action->setEnabled(false);
            continue;
        }
        if (!command.Keys.empty()) action->setShortcut(KeySequenceOf(command.Keys));
        if (command.Enabled) action->setEnabled(command.Enabled());
        if (command.Checked) {
            action->setCheckable(true);
            action->setChecked(command.Checked());
        }
        if (command.Exclusive) {  // the style draws a choice of one with a radio mark
            if (!choiceOfOne) choiceOfOne = new QActionGroup(menu);
            choiceOfOne->addAction(action);
        }
        std::function<void()> run = command.Run;
        QObject::connect(action, &QAction::triggered, [run] { RunGuarded(run); });
    }
}

QtLabel::QtLabel(QWidget* parent, const ControlEntry& entry)
    : QtControl(Placed(new QLabel(FromBytes(entry.Caption), parent), entry)) {
    widget->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

ByteString QtLabel::Caption() const { return ToBytes(widget->text()); }

QtEdit::QtEdit(QWidget* parent, const ControlEntry& entry)
    : QtControl(Placed(new QLineEdit(FromBytes(entry.Text), parent), entry)) {
    widget->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(widget, &QWidget::customContextMenuRequested, [this](const QPoint& at) {
        QMenu* menu = MakeContextMenu();
        menu->exec(widget->mapToGlobal(at));
        delete menu;
    });
}

QMenu* QtEdit::MakeContextMenu() {
    QMenu* menu = widget->createStandardContextMenu();
    if (!ContextCommands().empty()) menu->addSeparator();
    AddMenuCommands(menu, ContextCommands());
    return menu;
}

void QtEdit::SetOnRecallKey(std::function<void(bool older)> handler) {
    widget->installEventFilter(new RecallKeyFilter(widget, std::move(handler)));
}

ByteString QtEdit::Text() const { return ToBytes(widget->text()); }

void QtEdit::SetText(const ByteString& text) { widget->setText(FromBytes(text)); }

void QtEdit::SetOnKeyPress(std::function<void(char& key)> handler) {
    widget->installEventFilter(new KeyPressFilter(widget, std::move(handler)));
}

// The keys work wherever the focus is in the window, as the history's do.
void QtEdit::ContextCommandsChanged() {
    for (QAction* action : commandActions) delete action;
    commandActions.clear();
    for (const MenuCommand* command : CommandsWithKeys(ContextCommands())) {
        auto* action = new QAction(widget->window());
        action->setShortcut(KeySequenceOf(command->Keys));
        action->setShortcutContext(Qt::WindowShortcut);
        std::function<void()> run = command->Run;
        QObject::connect(action, &QAction::triggered, [run] { RunGuarded(run); });
        widget->window()->addAction(action);
        commandActions.push_back(action);
    }
}

void QtEdit::SetHint(std::function<ByteString()> provider) {
    if (!hint) widget->installEventFilter(new HintFilter(widget, [this] { return Hint(); }));
    hint = std::move(provider);
}

ByteString QtEdit::Hint() const { return hint ? hint() : ByteString(); }

void QtDropDownList::SetHint(std::function<ByteString()> provider) {
    if (!hint) widget->installEventFilter(new HintFilter(widget, [this] { return Hint(); }));
    hint = std::move(provider);
}

ByteString QtDropDownList::Hint() const { return hint ? hint() : ByteString(); }

QtDropDownList::QtDropDownList(QWidget* parent, const ControlEntry& entry)
    : QtControl(Placed(new QComboBox(parent), entry)) {
    widget->addItems(ItemList(entry.Items));
    widget->setCurrentIndex(entry.ItemIndex);
}

std::vector<ByteString> QtDropDownList::Items() const {
    std::vector<ByteString> items;
    for (int i = 0; i < widget->count(); ++i) items.push_back(ToBytes(widget->itemText(i)));
    return items;
}

int QtDropDownList::ItemIndex() const { return widget->currentIndex(); }

void QtDropDownList::SetItemIndex(int index) { widget->setCurrentIndex(index); }

ByteString QtDropDownList::Text() const { return ToBytes(widget->currentText()); }

bool QtDropDownList::DroppedDown() const { return widget->view()->isVisible(); }

void QtDropDownList::SetDroppedDown(bool dropped) { dropped ? widget->showPopup() : widget->hidePopup(); }

QtButton::QtButton(QWidget* parent, const ControlEntry& entry)
    : QtControl(Placed(new QPushButton(FromBytes(entry.Caption), parent), entry)) {
    QObject::connect(widget, &QPushButton::clicked, [this] {
        if (onClick) RunGuarded(onClick);
    });
}

ByteString QtButton::Caption() const { return ToBytes(widget->text()); }

void QtButton::SetCaption(const ByteString& caption) { widget->setText(FromBytes(caption)); }

void QtButton::SetOnClick(std::function<void()> handler) { onClick = std::move(handler); }

void QtButton::Click() { widget->click(); }

QtRadioGroup::QtRadioGroup(QWidget* parent, const ControlEntry& entry)
    : QtControl(Placed(new QGroupBox(FromBytes(entry.Caption), parent), entry)), buttons(new QButtonGroup(widget)) {
    auto* style = new CaptionOnFrameStyle;
    style->setParent(widget);
    widget->setStyle(style);  // the group alone: its buttons keep the application's style
    for (int index = 0; index < static_cast<int>(entry.Items.size()); ++index) {
        auto* radio = new QRadioButton(FromBytes(entry.Items[static_cast<size_t>(index)]), widget);
        const Bounds place = RadioItemPlace(entry, index);
        radio->setGeometry(place.Left, place.Top, place.Width, place.Height);
        buttons->addButton(radio, index);
    }
    SetItemIndex(entry.ItemIndex);
}

ByteString QtRadioGroup::Caption() const { return ToBytes(widget->title()); }

std::vector<ByteString> QtRadioGroup::Items() const {
    std::vector<ByteString> items;
    for (QAbstractButton* radio : buttons->buttons()) items.push_back(ToBytes(radio->text()));
    return items;
}

int QtRadioGroup::ItemIndex() const { return buttons->checkedId(); }

void QtRadioGroup::SetItemIndex(int index) {
    if (QAbstractButton* radio = buttons->button(index)) radio->setChecked(true);
}

QtCheckBox::QtCheckBox(QWidget* parent, const ControlEntry& entry)
    : QtControl(Placed(new QCheckBox(FromBytes(entry.Caption), parent), entry)) {}

ByteString QtCheckBox::Caption() const { return ToBytes(widget->text()); }

bool QtCheckBox::Checked() const { return widget->isChecked(); }

void QtCheckBox::SetChecked(bool checked) { widget->setChecked(checked); }

}  // namespace platform
