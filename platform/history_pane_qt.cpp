#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <stdexcept>

#include "platform/cp437.h"
#include "platform/history_pane.h"

namespace platform {
namespace {

QColor FromBgr(uint32_t color) { return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF); }

QString Glyphs(const ByteString& bytes) {
    QString glyphs(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = glyphs.data();
    for (char byte : bytes) *out++ = QChar(Cp437Glyph(static_cast<unsigned char>(byte)));
    return glyphs;
}

}  // namespace

HistoryPane::HistoryPane(QWidget* parent) : QPlainTextEdit(parent), insertion(document()) {
    document()->setUndoRedoEnabled(false);  // added lines are not undoable, and undo would grow with the history
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

bool HistoryPane::EndsWithLineBreak() const { return document()->lastBlock().length() == 1; }

int HistoryPane::TextLength() const {
    // Characters plus one separator between blocks; each line then ends with CR LF.
    int blocks = document()->blockCount();
    int length = document()->characterCount() - 1 + (blocks - 1);
    return EndsWithLineBreak() ? length : length + 2;
}

ByteString HistoryPane::Text() const {
    ByteString text;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (!block.next().isValid() && block.length() == 1) break;  // the empty last line
        for (QChar glyph : block.text()) text += static_cast<char>(Cp437Byte(glyph.unicode()));
        text += "\r\n";
    }
    return text;
}

void HistoryPane::SetInsertionPoint(int position) {
    insertion.setPosition(std::clamp(position, 0, document()->characterCount() - 1));
}

void HistoryPane::SetSelectionColor(uint32_t color) { format.setForeground(FromBgr(color)); }

int HistoryPane::AddedLength(const ByteString& line) const {
    int lines = 1 + static_cast<int>(std::count(line.begin(), line.end(), '\r'));
    return static_cast<int>(line.size()) - (lines - 1) + 2 * lines;
}

void HistoryPane::AddLine(const ByteString& line) {
    if (TextLength() + AddedLength(line) > Capacity) throw std::runtime_error("RichEdit line insertion error");
    bool intoEmptyLastLine = EndsWithLineBreak();
    insertion.movePosition(QTextCursor::End);
    insertion.beginEditBlock();
    if (!intoEmptyLastLine) insertion.insertBlock();
    size_t start = 0;
    for (size_t end; (end = line.find('\r', start)) != ByteString::npos; start = end + 1) {
        insertion.insertText(Glyphs(line.substr(start, end - start)), format);
        insertion.insertBlock();
    }
    insertion.insertText(Glyphs(line.substr(start)), format);
    if (intoEmptyLastLine) insertion.insertBlock();
    insertion.endEditBlock();
    // Follow the newest line, as the caret at the end would.
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void HistoryPane::Clear() { clear(); }

bool HistoryPane::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    return QPlainTextEdit::event(event);
}

}  // namespace platform
