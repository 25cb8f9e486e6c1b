#pragma once
#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <QTextCursor>

#include "platform/window/history_pane.h"
#include "platform/window/qt/controls_qt.h"

namespace platform {

// The history pane on a plain text edit: one text block a history line.
class QtHistoryPane : public QPlainTextEdit, public HistoryPane, public Drawn {
public:
    explicit QtHistoryPane(QWidget* parent = nullptr);
    QWidget* Widget() const override { return const_cast<QtHistoryPane*>(this); }

    Bounds Place() const override;
    void SetFocus() override { setFocus(); }
    bool Focused() const override { return hasFocus(); }

    ByteString Text() const override;
    int TextLength() const override;
    uint32_t ColorAt(int position) const override;
    View ReaderView() const override;
    void SetReaderView(const View& view) override;
    void Clear() override { clear(); }
    void SetPlaceholder(const ByteString& hint) override;
    ByteString Placeholder() const override { return ToBytes(placeholderText()); }
    void SelectAndShow(int from, int to) override;

    // The context menu as it would show now: the standard items, then the commands.
    QMenu* MakeContextMenu();

protected:
    int NextLineStart(int position) const override;
    ByteString TextBetween(int from, int to) const override;
    void ReplaceOldest(int end, Lines first, Lines last, uint32_t color) override;

    bool event(QEvent* event) override;  // claims Esc: the pane asks for all keys
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void ContextCommandsChanged() override;

private:
    // The document counts one character between blocks where the whole text has CR LF.
    int ToWhole(int documentPosition) const;
    int ToDocument(int wholePosition) const;
    bool EndsWithLineBreak() const;
    bool FollowingNewest() const;
    void ScrollTo(int value);  // as the program, not the reader
    void LayOutNewest();
    int SelectedLength() const;  // of the user's selection, in whole-text characters
    void TakeBackPastCapacity(int typedFrom);
    int Room() const { return Capacity - TextLength(); }
    void ShowContextMenu(const QPoint& where);

    std::vector<QAction*> commandActions;  // owned by the window, whose shortcuts they are
    bool followNewest = true;  // the view stays on the newest line
    bool scrolling = false;    // the program, not the reader, moves the view
};

}  // namespace platform
