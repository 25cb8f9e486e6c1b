#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <stdexcept>

#include "platform/qt/history_pane_qt.h"

namespace {

using HistoryPane = platform::QtHistoryPane;

QColor ColorOfBlock(HistoryPane& pane, int block) {
    QTextBlock b = pane.document()->findBlockByNumber(block);
    return b.begin().fragment().charFormat().foreground().color();
}

TEST(HistoryPane, AddLineFollowsTheLineBreakRule) {
    HistoryPane pane;
    EXPECT_EQ(pane.Text(), "");
    EXPECT_EQ(pane.TextLength(), 0);
    pane.AddLine("one");
    pane.AddLine("");
    EXPECT_EQ(pane.Text(), "one\r\n\r\n");
    EXPECT_EQ(pane.TextLength(), 7);

    // The user types after the last line break: new lines come after a new break.
    QTextCursor typing(pane.document());
    typing.movePosition(QTextCursor::End);
    typing.insertText("typed");
    EXPECT_EQ(pane.Text(), "one\r\n\r\ntyped\r\n");
    pane.AddLine("two");
    pane.AddLine("three");
    EXPECT_EQ(pane.Text(), "one\r\n\r\ntyped\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(pane.TextLength(), static_cast<int>(pane.Text().size()));
}

TEST(HistoryPane, CarriageReturnBreaksTheLineAndCountsAsOneCharacter) {
    HistoryPane pane;
    pane.AddLine("stamp a\rb\r");
    EXPECT_EQ(pane.Text(), "stamp a\rb\r\r\n");
    EXPECT_EQ(pane.TextLength(), 12);
    EXPECT_EQ(pane.document()->blockCount(), 2) << "one entry, then the empty last line";

    // A line of carriage returns that fits exactly is taken.
    HistoryPane full;
    full.AddLine(ByteString(HistoryPane::Capacity - 2, '\r'));
    EXPECT_EQ(full.TextLength(), HistoryPane::Capacity);
    EXPECT_THROW(full.AddLine(""), std::runtime_error);
}

TEST(HistoryPane, ShowsCodePage437Glyphs) {
    HistoryPane pane;
    pane.AddLine(ByteString("\xBA\xB0\xDF\x80\xAF\x7F\x41", 7));
    EXPECT_EQ(pane.document()->firstBlock().text(), QString::fromUtf8("║░▀Ç»⌂A"));
    EXPECT_EQ(pane.Text(), ByteString("\xBA\xB0\xDF\x80\xAF\x7F\x41\r\n", 9));
}

TEST(HistoryPane, LinesKeepTheirColours) {
    HistoryPane pane;
    pane.SetSelectionColor(0xFF0000);
    pane.AddLine("sent");
    pane.SetSelectionColor(0x000000);
    pane.AddLine("received");
    pane.SetSelectionColor(0x0000FF);
    pane.AddLine("red");
    EXPECT_EQ(ColorOfBlock(pane, 0), QColor(0, 0, 255));
    EXPECT_EQ(ColorOfBlock(pane, 1), QColor(0, 0, 0));
    EXPECT_EQ(ColorOfBlock(pane, 2), QColor(255, 0, 0));
}

TEST(HistoryPane, CapacityIsRefusedWholeAtTheBoundary) {
    HistoryPane pane;
    const int lineLength = 1000;
    while (pane.TextLength() + lineLength + 2 <= HistoryPane::Capacity) pane.AddLine(ByteString(lineLength, 'x'));
    const int room = HistoryPane::Capacity - pane.TextLength();
    ASSERT_GE(room, 2);
    const ByteString before = pane.Text();
    try {
        pane.AddLine(ByteString(room - 1, 'y'));  // one too many
        FAIL() << "a line that does not fit was taken";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "RichEdit line insertion error");
    }
    EXPECT_EQ(pane.Text(), before) << "nothing half inserted";
    pane.AddLine(ByteString(room - 2, 'z'));  // just fits
    EXPECT_EQ(pane.TextLength(), HistoryPane::Capacity);
    EXPECT_THROW(pane.AddLine(""), std::runtime_error);
    pane.Clear();
    EXPECT_EQ(pane.TextLength(), 0);
    pane.AddLine("again");
    EXPECT_EQ(pane.Text(), "again\r\n");
}

TEST(HistoryPane, InsertionPointBeyondTheEndMeansTheEnd) {
    HistoryPane pane;
    pane.AddLine("ab");
    const int end = pane.document()->characterCount() - 1;
    struct Case {
        int asked, at;
    } cases[] = {{1, 1}, {end, end}, {end + 1, end}, {1 << 30, end}, {-3, 0}};
    for (const Case& c : cases) {
        pane.SetInsertionPoint(c.asked);
        EXPECT_EQ(pane.InsertionPoint(), c.at) << c.asked;
    }
}

// Lines of 1000 characters, each its own letter: 1002 characters of whole text a line.
void AddLettered(HistoryPane& pane, int lines) {
    for (int i = 0; i < lines; ++i) pane.AddLine(ByteString(1000, static_cast<char>('0' + i % 75)));
}

TEST(HistoryPane, MakeRoomKeepsTheUsersCaretAndTheLinesInView) {
    HistoryPane pane;
    pane.resize(400, 200);
    pane.show();
    AddLettered(pane, 64);
    const QTextBlock reading = pane.document()->findBlockByNumber(40);
    const QString readingText = reading.text();
    QTextCursor caret(reading);
    caret.setPosition(reading.position() + 5);
    pane.setTextCursor(caret);
    pane.verticalScrollBar()->setValue(reading.firstLineNumber());
    ASSERT_EQ(pane.cursorForPosition(QPoint(5, 5)).block().text(), readingText);

    pane.MakeRoom(3000, HistoryPane::Capacity / 4);  // 18 lines go
    EXPECT_EQ(pane.textCursor().block().text(), readingText);
    EXPECT_EQ(pane.textCursor().positionInBlock(), 5);
    EXPECT_EQ(pane.cursorForPosition(QPoint(5, 5)).block().text(), readingText) << "the view stays on what was read";

    // A reader at the newest line goes on following it.
    pane.verticalScrollBar()->setValue(pane.verticalScrollBar()->maximum());
    pane.MakeRoom(10000, HistoryPane::Capacity / 4);
    pane.AddLine("newest");
    EXPECT_EQ(pane.verticalScrollBar()->value(), pane.verticalScrollBar()->maximum());
}

TEST(HistoryPane, TypingAndPastingStopAtTheCapacity) {
    HistoryPane pane;
    AddLettered(pane, 65);
    pane.AddLine(ByteString(HistoryPane::Capacity - 5 - pane.TextLength() - 2, '.'));
    ASSERT_EQ(pane.TextLength(), HistoryPane::Capacity - 5);
    pane.moveCursor(QTextCursor::End);
    // Into the empty last line: the first key also brings its line break, 3 characters.
    QTest::keyClicks(&pane, "abcdef");
    EXPECT_EQ(pane.TextLength(), HistoryPane::Capacity);
    EXPECT_EQ(pane.document()->lastBlock().text(), "abc");
    QTest::keyClick(&pane, Qt::Key_Left);
    QTest::keyClick(&pane, Qt::Key_Return);
    EXPECT_EQ(pane.document()->lastBlock().text(), "abc") << "a line break does not fit either";

    // Select the typed "abc" and paste over it: it is cut to what fits.
    QTest::keyClick(&pane, Qt::Key_End);
    QTextCursor typed = pane.textCursor();
    typed.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    pane.setTextCursor(typed);
    QApplication::clipboard()->setText("0123456789\r\nmore");
    pane.paste();
    EXPECT_EQ(pane.TextLength(), HistoryPane::Capacity);
    EXPECT_EQ(pane.document()->lastBlock().text(), "012");

    pane.Clear();
    QTest::keyClicks(&pane, "free again");
    EXPECT_EQ(pane.Text(), "free again\r\n");
}

TEST(HistoryPane, TabMovesTheFocusOn) {
    QWidget window;
    auto* pane = new HistoryPane(&window);
    auto* next = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    pane->setFocus();
    QTest::keyClick(pane, Qt::Key_Tab);
    EXPECT_EQ(pane->Text(), "") << "no tab character typed";
    EXPECT_TRUE(next->hasFocus());
}

}  // namespace
