#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/byte_string.h"
#include "platform/window/controls.h"
#include "platform/window/menu.h"

namespace platform {

// The history: a multi-line pane of coloured lines in code page 437 glyphs, in a fixed
// pitch terminal font, editable by the user. Holds at most Capacity characters, whether
// lines are added or typed. Adding a line costs the same however long the history is.
// The pane takes Esc and passes Tab on.
//
// Every position and length here, on every backend, is of the whole text: each line
// followed by CR LF (two characters); a carriage return inside a line breaks it on
// screen and counts as one character.
class HistoryPane : public Control {
public:
    static constexpr int Capacity = 65536;

    // How much adding this line lengthens the whole text.
    static int AddedLength(const ByteString& line) { return static_cast<int>(line.size()) + 2; }

    virtual ByteString Text() const = 0;  // the whole text, as code page 437 bytes
    virtual int TextLength() const = 0;   // its length, without building it
    // Colour (0x00BBGGRR) of the character at this position.
    virtual uint32_t ColorAt(int position) const = 0;

    // Where the user is: what is in view and what is selected.
    struct View {
        bool followingNewest = true;  // the newest line in view; the view stays on it
        int top = 0;                  // the first character of the row at the top of the view
        int anchor = 0, caret = 0;    // the user's selection, empty when equal
    };
    virtual View ReaderView() const = 0;
    // Selects anchor..caret, then scrolls to the newest line, or brings the row that holds
    // top to the top of the view. A position beyond the end means the end.
    virtual void SetReaderView(const View& view) = 0;

    // Adds one line in `color` at the end: into the empty last line when the pane ends
    // with a line break, else after a new line break. When keepFree > 0 the fewest oldest
    // whole lines go first, so that keepFree characters stay free after the line (all of
    // them if nothing less will do). A line that does not fit then is refused whole:
    // "RichEdit line insertion error". The user's view and selection stay on the text
    // they were on; a caret at the end, and a view on the newest line, follow it.
    void AddHistoryLine(const ByteString& line, uint32_t color, int keepFree);
    // The same for several lines in order, as one edit: the history ends as it would
    // after adding them one by one, but a line that the later ones would push out again
    // is never laid out, so a flood costs about the history's size, not its own. All or
    // none: when one of them could not be taken, nothing changes. afterPassedOver: the
    // lines follow others that newer ones pushed out before they were ever added, so all
    // the history holds now, older still, goes too.
    void AddHistoryLines(const std::vector<ByteString>& lines, uint32_t color, int keepFree,
                         bool afterPassedOver = false);
    // Whether AddHistoryLine would take the line now.
    bool Takes(const ByteString& line, int keepFree) const;

    virtual void Clear() = 0;

    // Selects from..to and scrolls the view as little as brings it into sight.
    virtual void SelectAndShow(int from, int to) = 0;

    // The pane's context menu (right click, Shift+F10, the Menu key): its own items where
    // the system has them, then these. Their keys run them from anywhere in the window.
    void SetContextCommands(std::vector<MenuCommand> commands) {
        contextCommands = std::move(commands);
        ContextCommandsChanged();
    }
    const std::vector<MenuCommand>& ContextCommands() const { return contextCommands; }

    // A grey hint shown while the pane is empty; not text of the pane: never in Text(),
    // a copy or a find, and gone once the first entry arrives.
    virtual void SetPlaceholder(const ByteString& hint) = 0;
    virtual ByteString Placeholder() const = 0;

    // Ctrl+Z in the pane goes to this first; false lets the pane undo as it would.
    void SetOnUndoKey(std::function<bool()> handler) { onUndoKey = std::move(handler); }

    // Told whenever text goes, whoever removes it: the user, Clear or room-making.
    void SetOnTextRemoved(std::function<void()> handler) { onTextRemoved = std::move(handler); }
    // Told the whole text of the oldest lines that go to make room, before they go.
    void SetOnLinesRemoved(std::function<void(const ByteString& removed)> handler) { onLinesRemoved = std::move(handler); }

protected:
    // What a backend measures and moves; the rules above are decided once, here.
    // The start of the first line that starts at or after position; TextLength() if none.
    virtual int NextLineStart(int position) const = 0;
    virtual ByteString TextBetween(int from, int to) const = 0;
    using Lines = std::vector<ByteString>::const_iterator;
    // As one edit: removes the text before `end` (a line start, or the length of the whole
    // text), then inserts first..last at the end, by the rule of AddHistoryLine, in `color`.
    // The selection and view may go anywhere.
    virtual void ReplaceOldest(int end, Lines first, Lines last, uint32_t color) = 0;

    virtual void ContextCommandsChanged() = 0;


    void TextRemoved() const {
        if (onTextRemoved) onTextRemoved();
    }
    bool UndoKey() const { return onUndoKey && onUndoKey(); }

private:
    // What adding the lines one by one would remove: the front of the text now, and the
    // first of the lines themselves.
    struct Room {
        int textGone = 0;
        size_t linesGone = 0;
    };
    Room PlanRoom(const std::vector<ByteString>& lines, int keepFree, bool afterPassedOver) const;
    void ReportRemoved(const Room& room, const std::vector<ByteString>& lines) const;

    std::vector<MenuCommand> contextCommands;
    std::function<void()> onTextRemoved;
    std::function<bool()> onUndoKey;
    std::function<void(const ByteString&)> onLinesRemoved;
};

}  // namespace platform
