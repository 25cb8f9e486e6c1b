#pragma once
#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <QTextCursor>
#include <cstdint>

#include "platform/byte_string.h"

namespace platform {

// The history: a multi-line pane of coloured lines in code page 437 glyphs, editable by
// the user. Its whole text is every line followed by CR LF, and holds at most Capacity
// characters; adding a line costs the same however long the history is.
class HistoryPane : public QPlainTextEdit {
public:
    static constexpr int Capacity = 65536;

    explicit HistoryPane(QWidget* parent = nullptr);

    ByteString Text() const;  // the whole text, as code page 437 bytes where it can
    int TextLength() const;   // its length, without building it

    // A position beyond the end means the end.
    void SetInsertionPoint(int position);
    // Colour (0x00BBGGRR) of text inserted at the insertion point from now on.
    void SetSelectionColor(uint32_t color);
    // Adds a line at the end: into the empty last line when the pane ends with a line
    // break, else after a new line break. A carriage return inside starts a further
    // line. A line that would not fit is refused whole: "RichEdit line insertion error".
    void AddLine(const ByteString& line);
    void Clear();

protected:
    bool event(QEvent* event) override;  // claims Esc: the pane asks for all keys

private:
    bool EndsWithLineBreak() const;
    int AddedLength(const ByteString& line) const;

    QTextCursor insertion;
    QTextCharFormat format;
};

}  // namespace platform
