#pragma once
#include <functional>
#include <vector>

#include "platform/byte_string.h"
#include "platform/window/menu.h"

namespace platform {

// A control's place in its window's client area, in pixels.
struct Bounds {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const Bounds& other) const {
        return Left == other.Left && Top == other.Top && Width == other.Width && Height == other.Height;
    }
};

// The sides of the client area a control keeps its distance to when the window is
// resized: anchored left and right it grows with the width, right alone it moves.
enum Anchor : int { AnchorLeft = 1, AnchorTop = 2, AnchorRight = 4, AnchorBottom = 8 };

// Where a control placed at `design` goes when the client area has grown by dx, dy.
Bounds FollowAnchors(Bounds design, int anchors, int dx, int dy);

// Where a window of this outer size goes when first shown: centred on the screen, never
// above or left of it.
Bounds CentredOnScreen(int screenWidth, int screenHeight, int outerWidth, int outerHeight);

struct ControlEntry;
// Where radio button `index` of a radio group stands, relative to its frame: in columns
// of equal width across the frame, inside its border, row after row.
Bounds RadioItemPlace(const ControlEntry& group, int index);

enum class ControlKind { Label, Edit, DropDownList, Button, RadioGroup, CheckBox, HistoryPane };

// One control of a window as data: what a window builds it from.
struct ControlEntry {
    const char* Name;
    ControlKind Kind;
    Bounds Place;
    int Anchors = AnchorLeft | AnchorTop;
    int TabOrder = -1;               // -1: not a tab stop
    ByteString Caption{};            // label, button, radio group, check box
    ByteString Text{};               // edit
    std::vector<ByteString> Items{}; // drop-down list, radio group
    int ItemIndex = -1;              // drop-down list, radio group: -1 for none
    int Columns = 1;                 // radio group
};

// Texts are bytes in the system's single-byte code page; a character it lacks reads '?'.
class Control {
public:
    virtual ~Control() = default;
    virtual Bounds Place() const = 0;
    virtual void SetFocus() = 0;
    virtual bool Focused() const = 0;
};

class Label : public Control {
public:
    virtual ByteString Caption() const = 0;
};

// A single-line edit.
class Edit : public Control {
public:
    virtual ByteString Text() const = 0;
    virtual void SetText(const ByteString& text) = 0;
    // Sees each character key (Enter as 13) before the edit does and may set it to 0:
    // the edit then neither takes the character nor reacts to it. Runs guarded.
    virtual void SetOnKeyPress(std::function<void(char& key)> handler) = 0;
    // The hint shown while the pointer rests on the edit, asked for each time it shows.
    virtual void SetHint(std::function<ByteString()> hint) = 0;
    virtual ByteString Hint() const = 0;  // what it would show now
    // Up (older true) and Down, which the edit then does not act on itself.
    virtual void SetOnRecallKey(std::function<void(bool older)> handler) = 0;
    // Its context menu: the standard edit items, then these. Their keys run them from
    // anywhere in the window, in submenus too.
    void SetContextCommands(std::vector<MenuCommand> commands) {
        contextCommands = std::move(commands);
        ContextCommandsChanged();
    }
    const std::vector<MenuCommand>& ContextCommands() const { return contextCommands; }

protected:
    virtual void ContextCommandsChanged() {}

private:
    std::vector<MenuCommand> contextCommands;
};

// A drop-down list: the user picks an item and cannot type.
class DropDownList : public Control {
public:
    virtual std::vector<ByteString> Items() const = 0;
    virtual int ItemIndex() const = 0;  // -1: none selected
    virtual void SetItemIndex(int index) = 0;
    virtual ByteString Text() const = 0;  // the selected item's; empty with none
    // While dropped down the list takes Esc for itself.
    virtual bool DroppedDown() const = 0;
    virtual void SetDroppedDown(bool dropped) = 0;
    // The hint shown while the pointer rests on the list, asked for each time it shows.
    virtual void SetHint(std::function<ByteString()> hint) = 0;
    virtual ByteString Hint() const = 0;
};

class Button : public Control {
public:
    virtual ByteString Caption() const = 0;
    virtual void SetCaption(const ByteString& caption) = 0;
    // Replaces the click handler; it runs guarded.
    virtual void SetOnClick(std::function<void()> handler) = 0;
    virtual void Click() = 0;  // as the user's click
};

// A captioned frame of radio buttons laid out in columns; one item is selected.
class RadioGroup : public Control {
public:
    virtual ByteString Caption() const = 0;
    virtual std::vector<ByteString> Items() const = 0;
    virtual int ItemIndex() const = 0;
    virtual void SetItemIndex(int index) = 0;
};

class CheckBox : public Control {
public:
    virtual ByteString Caption() const = 0;
    virtual bool Checked() const = 0;
    virtual void SetChecked(bool checked) = 0;
};

}  // namespace platform
