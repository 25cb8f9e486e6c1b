#pragma once
#include <cstdint>
#include <functional>

#include "platform/byte_string.h"
#include "platform/controls.h"

namespace platform {

// The history: a multi-line pane of coloured lines in code page 437 glyphs, in a fixed
// pitch terminal font, editable by the user. Its whole text is every line followed by
// CR LF, and holds at most Capacity characters, whether lines are added or typed; a
// carriage return inside a line breaks it on screen and counts as one character.
// Adding a line costs the same however long the history is. The pane takes Esc and
// passes Tab on.
class HistoryPane : public Control {
public:
    static constexpr int Capacity = 65536;

    // How much adding this line would lengthen the whole text.
    static int AddedLength(const ByteString& line) { return static_cast<int>(line.size()) + 2; }

    virtual ByteString Text() const = 0;  // the whole text, as code page 437 bytes
    virtual int TextLength() const = 0;   // its length, without building it
    // Colour (0x00BBGGRR) of the character at this position of the whole text.
    virtual uint32_t ColorAt(int position) const = 0;

    // A position beyond the end means the end.
    virtual void SetInsertionPoint(int position) = 0;
    virtual int InsertionPoint() const = 0;
    // Colour (0x00BBGGRR) of text inserted at the insertion point from now on.
    virtual void SetSelectionColor(uint32_t color) = 0;
    // Adds a line at the end: into the empty last line when the pane ends with a line
    // break, else after a new line break. A line that would not fit is refused whole:
    // "RichEdit line insertion error". The view follows the newest line unless the user
    // has scrolled away from it.
    virtual void AddLine(const ByteString& line) = 0;
    // Removes the oldest whole lines, as few as it takes, so that a line of addedLength
    // fits with keepFree characters to spare; the user's caret and the lines in view
    // stay where they still exist.
    virtual void MakeRoom(int addedLength, int keepFree) = 0;
    virtual void Clear() = 0;

    // Told whenever text goes, whoever removes it: the user, Clear or MakeRoom.
    virtual void SetOnTextRemoved(std::function<void()> handler) = 0;
    // Told the whole text of the lines that MakeRoom removes.
    virtual void SetOnLinesRemoved(std::function<void(const ByteString& removed)> handler) = 0;
};

}  // namespace platform
