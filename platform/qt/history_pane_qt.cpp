#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <stdexcept>

#include "platform/cp437.h"
#include "platform/qt/history_pane_qt.h"

namespace platform {
namespace {

QColor FromBgr(uint32_t color) { return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF); }
uint32_t ToBgr(const QColor& color) {
    return static_cast<uint32_t>(color.red()) | static_cast<uint32_t>(color.green()) << 8 |
           static_cast<uint32_t>(color.blue()) << 16;
}

// A carriage return breaks the line on screen but stays inside its entry, so it counts
// as one character of the whole text.
QString Glyphs(const ByteString& bytes) {
    QString glyphs(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = glyphs.data();
    for (char byte : bytes)
        *out++ = byte == '\r' ? QChar(QChar::LineSeparator) : QChar(Cp437Glyph(static_cast<unsigned char>(byte)));
    return glyphs;
}

void AppendBytes(const QString& glyphs, ByteString& text) {
    for (QChar glyph : glyphs)
        text += glyph == QChar::LineSeparator ? '\r' : static_cast<char>(Cp437Byte(glyph.unicode()));
}

// Pasted text with its line ends as the pane's own, cut to what fits in room characters:
// a line break is CR LF in the whole text.
QString CutToRoom(QString text, int room) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    int used = 0;
    qsizetype kept = 0;
    for (; kept < text.size(); ++kept) {
        used += text.at(kept) == QLatin1Char('\n') ? 2 : 1;
        if (used > room) break;
    }
    text.truncate(kept);
    return text;
}

}  // namespace

QtHistoryPane::QtHistoryPane(QWidget* parent) : QPlainTextEdit(parent), insertion(document()) {
    // The nearest to a bitmap terminal font: fixed pitch, 12 pixels, crisp box drawing.
    QFont terminal("DejaVu Sans Mono");
    terminal.setStyleHint(QFont::Monospace);
    terminal.setPixelSize(12);
    terminal.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::PreferNoShaping));
    setFont(terminal);
    QPalette white = palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Text, Qt::black);
    setPalette(white);
    connect(document(), &QTextDocument::contentsChange, this, [this](int, int removed, int) {
        if (removed > 0 && onTextRemoved) onTextRemoved();
    });
    document()->setUndoRedoEnabled(false);  // added lines are not undoable, and undo would grow with the history
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTabChangesFocus(true);  // Tab moves on through the window, as in every other control
}

bool QtHistoryPane::EndsWithLineBreak() const { return document()->lastBlock().length() == 1; }

int QtHistoryPane::TextLength() const {
    // Characters plus one separator between blocks; each line then ends with CR LF.
    int blocks = document()->blockCount();
    int length = document()->characterCount() - 1 + (blocks - 1);
    return EndsWithLineBreak() ? length : length + 2;
}

ByteString QtHistoryPane::Text() const {
    ByteString text;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (!block.next().isValid() && block.length() == 1) break;  // the empty last line
        AppendBytes(block.text(), text);
        text += "\r\n";
    }
    return text;
}

void QtHistoryPane::SetInsertionPoint(int position) {
    insertion.setPosition(std::clamp(position, 0, document()->characterCount() - 1));
}

Bounds QtHistoryPane::Place() const { return {x(), y(), width(), height()}; }

// Each line ends with CR LF in the whole text, one character more than its block break.
uint32_t QtHistoryPane::ColorAt(int position) const {
    int lineStart = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const int lineEnd = lineStart + block.length() + 1;
        if (position < lineEnd) {
            QTextCursor at(block);  // a cursor tells the format of the character before it
            const int offset = position - lineStart;
            if (offset < block.length() - 1) at.setPosition(block.position() + offset + 1);
            return ToBgr(at.charFormat().foreground().color());
        }
        lineStart = lineEnd;
    }
    return ToBgr(format.foreground().color());
}

void QtHistoryPane::SetSelectionColor(uint32_t color) { format.setForeground(FromBgr(color)); }

bool QtHistoryPane::FollowingNewest() const { return verticalScrollBar()->value() >= verticalScrollBar()->maximum(); }

void QtHistoryPane::AddLine(const ByteString& line) {
    if (AddedLength(line) > Room()) throw std::runtime_error("RichEdit line insertion error");
    const bool follow = FollowingNewest();
    bool intoEmptyLastLine = EndsWithLineBreak();
    insertion.beginEditBlock();
    insertion.movePosition(QTextCursor::End);
    if (!intoEmptyLastLine) insertion.insertBlock();
    insertion.insertText(Glyphs(line), format);
    if (intoEmptyLastLine) insertion.insertBlock();
    insertion.endEditBlock();
    // Follow the newest line, as the caret at the end would, unless the user is reading above.
    if (follow) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void QtHistoryPane::MakeRoom(int addedLength, int keepFree) {
    const int excess = TextLength() + addedLength - (Capacity - keepFree);
    if (excess <= 0) return;
    // The oldest whole lines that free enough; never the last line, which holds the end.
    int lines = 0;
    int freed = 0;
    QTextBlock end = document()->firstBlock();
    for (; freed < excess && end.next().isValid(); end = end.next(), ++lines) freed += end.length() + 1;
    const bool all = freed < excess;  // nothing less than all will do
    if (onLinesRemoved) {
        ByteString removed;
        for (QTextBlock block = document()->firstBlock(); !all && block != end; block = block.next()) {
            AppendBytes(block.text(), removed);
            removed += "\r\n";
        }
        onLinesRemoved(all ? Text() : removed);
    }
    if (all) {
        Clear();
        return;
    }

    // Where the reader is: the top line in view, by block and by wrapped line within it.
    const bool follow = FollowingNewest();
    const QTextBlock top = firstVisibleBlock();
    const int topBlock = top.blockNumber();
    const int lineInTop = verticalScrollBar()->value() - top.firstLineNumber();

    // Inside an edit block a cursor that moves does not lay out the line it lands on,
    // so removal costs the removed text alone, not the next (maybe long) line's layout.
    QTextCursor oldest(document());
    oldest.beginEditBlock();
    oldest.setPosition(end.position(), QTextCursor::KeepAnchor);
    oldest.removeSelectedText();
    oldest.endEditBlock();

    if (follow) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else {
        QTextBlock stillThere = document()->findBlockByNumber(topBlock - lines);
        verticalScrollBar()->setValue(topBlock >= lines && stillThere.isValid() ? stillThere.firstLineNumber() + lineInTop : 0);
    }
}

int QtHistoryPane::SelectedLength() const {
    const QString selected = textCursor().selectedText();  // block breaks as U+2029
    return static_cast<int>(selected.size() + selected.count(QChar::ParagraphSeparator));
}

// What the user types or pastes is held to the capacity, as added lines are: whatever
// would pass it is taken back from behind the caret, so the key or the end of the paste
// is refused without a word.
void QtHistoryPane::TakeBackPastCapacity(int typedFrom) {
    QTextCursor caret = textCursor();
    while (TextLength() > Capacity && caret.position() > typedFrom) caret.deletePreviousChar();
}

void QtHistoryPane::keyPressEvent(QKeyEvent* event) {
    const int typedFrom = textCursor().selectionStart();
    QPlainTextEdit::keyPressEvent(event);
    TakeBackPastCapacity(typedFrom);
}

// A paste or a drop is first cut to about what fits, so a huge one is never laid out.
void QtHistoryPane::insertFromMimeData(const QMimeData* source) {
    if (!source->hasText()) return;
    const int typedFrom = textCursor().selectionStart();
    QMimeData fitting;
    fitting.setText(CutToRoom(source->text(), Room() + SelectedLength()));
    QPlainTextEdit::insertFromMimeData(&fitting);
    TakeBackPastCapacity(typedFrom);
}

bool QtHistoryPane::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    return QPlainTextEdit::event(event);
}

}  // namespace platform
