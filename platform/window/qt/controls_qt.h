#pragma once
// The standard controls on Qt Widgets: each wraps the widget that draws it, which its
// window's widget owns.
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "platform/window/controls.h"

namespace platform {

// Texts cross as Latin-1, the single-byte page of a Qt program; above U+00FF is '?'.
QString FromBytes(const ByteString& bytes);
ByteString ToBytes(const QString& text);
// The key sequence of a shortcut written as the menus write it ("Ctrl+F", "Shift+F3").
QKeySequence KeySequenceOf(const ByteString& keys);

// What every control of this backend has: the widget that draws it.
class Drawn {
public:
    virtual ~Drawn() = default;
    virtual QWidget* Widget() const = 0;
};
QWidget* WidgetOf(const Control& control);

// Adds the commands to a menu as it opens: check marks and readings as they stand now,
// submenus under their captions. A chosen command runs guarded.
void AddMenuCommands(QMenu* menu, const std::vector<MenuCommand>& commands);

template <typename Interface, typename Drawing>
class QtControl : public Interface, public Drawn {
public:
    explicit QtControl(Drawing* widget) : widget(widget) {}
    QWidget* Widget() const override { return widget; }
    Bounds Place() const override { return {widget->x(), widget->y(), widget->width(), widget->height()}; }
    void SetFocus() override { widget->setFocus(); }
    bool Focused() const override { return widget->hasFocus(); }
    Drawing* widget;
};

class QtLabel : public QtControl<Label, QLabel> {
public:
    QtLabel(QWidget* parent, const ControlEntry& entry);
    ByteString Caption() const override;
};

class QtEdit : public QtControl<Edit, QLineEdit> {
public:
    QtEdit(QWidget* parent, const ControlEntry& entry);
    ByteString Text() const override;
    void SetText(const ByteString& text) override;
    void SetOnKeyPress(std::function<void(char& key)> handler) override;
    void SetHint(std::function<ByteString()> hint) override;
    ByteString Hint() const override;
    void SetOnRecallKey(std::function<void(bool older)> handler) override;

    // The context menu as it would show now: the standard items, then the commands.
    QMenu* MakeContextMenu();

protected:
    void ContextCommandsChanged() override;

private:
    std::vector<QAction*> commandActions;  // the commands' keys, on the window
    std::function<ByteString()> hint;
};

class QtDropDownList : public QtControl<DropDownList, QComboBox> {
public:
    QtDropDownList(QWidget* parent, const ControlEntry& entry);
    std::vector<ByteString> Items() const override;
    int ItemIndex() const override;
    void SetItemIndex(int index) override;
    ByteString Text() const override;
    bool DroppedDown() const override;
    void SetDroppedDown(bool dropped) override;
    void SetHint(std::function<ByteString()> hint) override;
    ByteString Hint() const override;

private:
    std::function<ByteString()> hint;
};

class QtButton : public QtControl<Button, QPushButton> {
public:
    QtButton(QWidget* parent, const ControlEntry& entry);
    ByteString Caption() const override;
    void SetCaption(const ByteString& caption) override;
    void SetOnClick(std::function<void()> handler) override;
    void Click() override;

private:
    std::function<void()> onClick;
};

class QtRadioGroup : public QtControl<RadioGroup, QGroupBox> {
public:
    QtRadioGroup(QWidget* parent, const ControlEntry& entry);
    ByteString Caption() const override;
    std::vector<ByteString> Items() const override;
    int ItemIndex() const override;
    void SetItemIndex(int index) override;

private:
    QButtonGroup* buttons;
};

class QtCheckBox : public QtControl<CheckBox, QCheckBox> {
public:
    QtCheckBox(QWidget* parent, const ControlEntry& entry);
    ByteString Caption() const override;
    bool Checked() const override;
    void SetChecked(bool checked) override;
};

}  // namespace platform
