#pragma once
#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <QTextCursor>
#include <cstdint>
#include <functional>

#include "platform/byte_string.h"

namespace platform {

// The history: a multi-line pane of coloured lines in code page 437 glyphs, editable by
// the user. Its whole text is every line followed by CR LF, and holds at most Capacity
// characters, whether lines are added or typed; a carriage return inside a line breaks
// it on screen and counts as one character. Adding a line costs the same however long
// the history is.
class HistoryPane : public QPlainTextEdit {
public:
    static constexpr int Capacity = 65536;

    explicit HistoryPane(QWidget* parent = nullptr);

    ByteString Text() const;  // the whole text, as code page 437 bytes where it can
    int TextLength() const;   // its length, without building it
    // How much adding this line would lengthen the whole text.
    static int AddedLength(const ByteString& line) { return static_cast<int>(line.size()) + 2; }

    // A position beyond the end means the end.
    void SetInsertionPoint(int position);
    int InsertionPoint() const { return insertion.position(); }
    // Colour (0x00BBGGRR) of text inserted at the insertion point from now on.
    void SetSelectionColor(uint32_t color);
    // Adds a line at the end: into the empty last line when the pane ends with a line
    // break, else after a new line break. A line that would not fit is refused whole:
    // "RichEdit line insertion error". The view follows the newest line unless the user
    // has scrolled away from it.
    void AddLine(const ByteString& line);
    // Removes the oldest whole lines, as few as it takes, so that a line of addedLength
    // fits with keepFree characters to spare; the user's caret and the lines in view
    // stay where they still exist.
    void MakeRoom(int addedLength, int keepFree);
    void Clear();

    // Told the whole text of the lines that MakeRoom removes.
    void SetOnLinesRemoved(std::function<void(const ByteString& removed)> handler) { onLinesRemoved = std::move(handler); }

protected:
    bool event(QEvent* event) override;  // claims Esc: the pane asks for all keys
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    bool EndsWithLineBreak() const;
    bool FollowingNewest() const;
    int SelectedLength() const;  // of the user's selection, in whole-text characters
    void TakeBackPastCapacity(int typedFrom);
    int Room() const { return Capacity - TextLength(); }

    QTextCursor insertion;
    QTextCharFormat format;
    std::function<void(const ByteString&)> onLinesRemoved;
};

}  // namespace platform
