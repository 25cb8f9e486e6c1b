#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <stdexcept>

#include "platform/window/cp437.h"
#include "platform/window/error_handler.h"
#include "platform/window/qt/history_pane_qt.h"

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

QtHistoryPane::QtHistoryPane(QWidget* parent) : QPlainTextEdit(parent) {
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
        if (removed > 0) TextRemoved();
    });
    document()->setUndoRedoEnabled(false);  // added lines are not undoable, and undo would grow with the history
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTabChangesFocus(true);  // Tab moves on through the window, as in every other control
    // A line counts as one row until it is laid out, so the scroll range grows after a
    // long line is added: a view on the newest line stays on it as it grows. The view
    // follows until the reader scrolls away from the end.
    QScrollBar* bar = verticalScrollBar();
    connect(bar, &QScrollBar::rangeChanged, this, [this](int, int maximum) {
        if (followNewest) ScrollTo(maximum);
    });
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        if (!scrolling) followNewest = value >= bar->maximum();
    });
}

bool QtHistoryPane::EndsWithLineBreak() const { return document()->lastBlock().length() == 1; }

int QtHistoryPane::TextLength() const {
    // Characters plus one separator between blocks; each line then ends with CR LF.
    int blocks = document()->blockCount();
    int length = document()->characterCount() - 1 + (blocks - 1);
    return EndsWithLineBreak() ? length : length + 2;
}

// Block k starts k characters later in the whole text than in the document.
int QtHistoryPane::ToWhole(int documentPosition) const {
    return documentPosition + document()->findBlock(documentPosition).blockNumber();
}

// The block whose whole-text line holds the position, by bisection; a position on the
// line's CR LF means the end of its block.
int QtHistoryPane::ToDocument(int wholePosition) const {
    const QTextDocument* text = document();
    int low = 0, high = text->blockCount() - 1;
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        if (text->findBlockByNumber(middle).position() + middle <= wholePosition) low = middle;
        else high = middle - 1;
    }
    const QTextBlock block = text->findBlockByNumber(low);
    return std::clamp(wholePosition - low, block.position(), block.position() + block.length() - 1);
}

ByteString QtHistoryPane::Text() const { return TextBetween(0, TextLength()); }

ByteString QtHistoryPane::TextBetween(int from, int to) const {
    ByteString text;
    QTextBlock block = document()->findBlock(ToDocument(from));
    const int lineStart = block.position() + block.blockNumber();
    for (; block.isValid() && lineStart + static_cast<int>(text.size()) < to; block = block.next()) {
        if (!block.next().isValid() && block.length() == 1) break;  // the empty last line
        AppendBytes(block.text(), text);
        text += "\r\n";
    }
    const size_t first = static_cast<size_t>(std::max(from - lineStart, 0));
    return first >= text.size() ? ByteString() : text.substr(first, static_cast<size_t>(std::max(to - from, 0)));
}

int QtHistoryPane::NextLineStart(int position) const {
    const int at = ToDocument(position);
    const QTextBlock block = document()->findBlock(at);
    if (at == block.position() && ToWhole(at) >= position) return ToWhole(at);
    return block.next().isValid() ? ToWhole(block.next().position()) : TextLength();
}

Bounds QtHistoryPane::Place() const { return {x(), y(), width(), height()}; }

uint32_t QtHistoryPane::ColorAt(int position) const {
    QTextCursor at(document());  // a cursor tells the format of the character before it
    at.setPosition(ToDocument(position));
    if (!at.atBlockEnd()) at.movePosition(QTextCursor::NextCharacter);
    return ToBgr(at.charFormat().foreground().color());
}

bool QtHistoryPane::FollowingNewest() const { return followNewest; }

// Inside an edit block a cursor that moves does not lay out the line it lands on, so
// removing and adding cost their own text alone. They are two edits: as one, the layout
// would hear of a change from the first line to the last and forget the rows of every
// line between, and the reader's view with them.
void QtHistoryPane::ReplaceOldest(int end, Lines first, Lines last, uint32_t color) {
    QTextCursor cursor(document());
    if (end > 0) {
        cursor.beginEditBlock();
        cursor.setPosition(ToDocument(end), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        cursor.endEditBlock();
    }
    QTextCharFormat format;
    format.setForeground(FromBgr(color));
    const bool intoEmptyLastLine = EndsWithLineBreak();
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    for (Lines line = first; line != last; ++line) {
        if (!intoEmptyLastLine) cursor.insertBlock();
        cursor.insertText(Glyphs(*line), format);
        if (intoEmptyLastLine) cursor.insertBlock();
    }
    cursor.endEditBlock();
}

HistoryPane::View QtHistoryPane::ReaderView() const {
    const QTextBlock top = firstVisibleBlock();
    const int rowInTop = verticalScrollBar()->value() - top.firstLineNumber();
    const QTextLayout* layout = top.layout();
    const int rowStart = layout && rowInTop > 0 && rowInTop < layout->lineCount() ? layout->lineAt(rowInTop).textStart() : 0;
    const QTextCursor selection = textCursor();
    return {FollowingNewest(), ToWhole(top.position() + rowStart), ToWhole(selection.anchor()), ToWhole(selection.position())};
}

void QtHistoryPane::SetReaderView(const View& view) {
    const int anchor = ToDocument(view.anchor), caret = ToDocument(view.caret);
    if (textCursor().anchor() != anchor || textCursor().position() != caret) {
        QTextCursor selection(document());
        selection.setPosition(anchor);
        selection.setPosition(caret, QTextCursor::KeepAnchor);
        setTextCursor(selection);
    }
    QScrollBar* bar = verticalScrollBar();
    followNewest = view.followingNewest;
    if (view.followingNewest) {
        LayOutNewest();
        ScrollTo(bar->maximum());
        return;
    }
    const int top = ToDocument(view.top);
    const QTextBlock block = document()->findBlock(top);
    const QTextLayout* layout = block.layout();
    const int row = layout && layout->lineCount() > 0 ? layout->lineForTextPosition(top - block.position()).lineNumber() : 0;
    bar->setValue(block.firstLineNumber() + std::max(row, 0));
}

// The rows of the lines that fill the view from the end, counted now rather than when
// they are drawn, so the view goes to the end once, not again after the paint.
void QtHistoryPane::LayOutNewest() {
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    qreal height = 0;
    for (QTextBlock block = document()->lastBlock(); block.isValid() && height < viewport()->height();
         block = block.previous())
        height += layout->blockBoundingRect(block).height();
}

void QtHistoryPane::ScrollTo(int value) {
    scrolling = true;
    verticalScrollBar()->setValue(value);
    scrolling = false;
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
    const bool shiftF10 = event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier;
    if (event->key() == Qt::Key_Menu || shiftF10) {  // the menu by the keyboard, at the caret
        ShowContextMenu(viewport()->mapToGlobal(cursorRect().bottomLeft()));
        return;
    }
    if (event->matches(QKeySequence::Undo)) {
        bool taken = false;
        RunGuarded([&] { taken = UndoKey(); });
        if (taken) return;
    }
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

void QtHistoryPane::SelectAndShow(int from, int to) {
    QTextCursor selection(document());
    selection.setPosition(ToDocument(from));
    selection.setPosition(ToDocument(to), QTextCursor::KeepAnchor);
    setTextCursor(selection);
    ensureCursorVisible();
}

// The commands with keys get an action of the window's, so the keys work anywhere in it;
// the menu makes its own items each time it opens.
void QtHistoryPane::ContextCommandsChanged() {
    for (QAction* action : commandActions) delete action;
    commandActions.clear();
    for (const MenuCommand& command : ContextCommands()) {
        if (command.Keys.empty()) continue;
        auto* action = new QAction(window());
        action->setShortcut(KeySequenceOf(command.Keys));
        action->setShortcutContext(Qt::WindowShortcut);
        std::function<void()> run = command.Run;
        QObject::connect(action, &QAction::triggered, [run] { RunGuarded(run); });
        window()->addAction(action);
        commandActions.push_back(action);
    }
}

QMenu* QtHistoryPane::MakeContextMenu() {
    QMenu* menu = createStandardContextMenu();
    menu->addSeparator();
    AddMenuCommands(menu, ContextCommands());
    return menu;
}

void QtHistoryPane::ShowContextMenu(const QPoint& where) {
    QMenu* menu = MakeContextMenu();
    menu->exec(where);
    delete menu;
}

void QtHistoryPane::contextMenuEvent(QContextMenuEvent* event) { ShowContextMenu(event->globalPos()); }

// Grey whatever the palette's own placeholder colour is (black in some themes), so the
// hint is never taken for data.
void QtHistoryPane::SetPlaceholder(const ByteString& hint) {
    QPalette grey = palette();
    grey.setColor(QPalette::PlaceholderText, QColor(0x80, 0x80, 0x80));
    setPalette(grey);
    setPlaceholderText(FromBytes(hint));
}

}  // namespace platform
