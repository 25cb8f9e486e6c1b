#pragma once
#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <QTextCursor>

#include "platform/history_pane.h"
#include "platform/qt/controls_qt.h"

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
    void SetInsertionPoint(int position) override;
    int InsertionPoint() const override { return insertion.position(); }
    void SetSelectionColor(uint32_t color) override;
    void AddLine(const ByteString& line) override;
    void MakeRoom(int addedLength, int keepFree) override;
    void Clear() override { clear(); }
    void SetOnTextRemoved(std::function<void()> handler) override { onTextRemoved = std::move(handler); }
    void SetOnLinesRemoved(std::function<void(const ByteString&)> handler) override { onLinesRemoved = std::move(handler); }

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
    std::function<void()> onTextRemoved;
    std::function<void(const ByteString&)> onLinesRemoved;
};

}  // namespace platform
