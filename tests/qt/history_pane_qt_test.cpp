#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <stdexcept>

#include "platform/window/qt/history_pane_qt.h"

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
    pane.AddHistoryLine("one", 0, 0);
    pane.AddHistoryLine("", 0, 0);
    EXPECT_EQ(pane.Text(), "one\r\n\r\n");
    EXPECT_EQ(pane.TextLength(), 7);

    // The user types after the last line break: new lines come after a new break.
    QTextCursor typing(pane.document());
    typing.movePosition(QTextCursor::End);
    typing.insertText("typed");
    EXPECT_EQ(pane.Text(), "one\r\n\r\ntyped\r\n");
    pane.AddHistoryLine("two", 0, 0);
    pane.AddHistoryLine("three", 0, 0);
    EXPECT_EQ(pane.Text(), "one\r\n\r\ntyped\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(pane.TextLength(), static_cast<int>(pane.Text().size()));
}

TEST(HistoryPane, CarriageReturnBreaksTheLineAndCountsAsOneCharacter) {
    HistoryPane pane;
    pane.AddHistoryLine("stamp a\rb\r", 0, 0);
    EXPECT_EQ(pane.Text(), "stamp a\rb\r\r\n");
    EXPECT_EQ(pane.TextLength(), 12);
    EXPECT_EQ(pane.document()->blockCount(), 2) << "one entry, then the empty last line";

    // A line of carriage returns that fits exactly is taken.
    HistoryPane full;
    full.AddHistoryLine(ByteString(HistoryPane::Capacity - 2, '\r'), 0, 0);
    EXPECT_EQ(full.TextLength(), HistoryPane::Capacity);
    EXPECT_THROW(full.AddHistoryLine("", 0, 0), std::runtime_error);
}

TEST(HistoryPane, ShowsCodePage437Glyphs) {
    HistoryPane pane;
    pane.AddHistoryLine(ByteString("\xBA\xB0\xDF\x80\xAF\x7F\x41", 7), 0, 0);
    EXPECT_EQ(pane.document()->firstBlock().text(), QString::fromUtf8("║░▀Ç»⌂A"));
    EXPECT_EQ(pane.Text(), ByteString("\xBA\xB0\xDF\x80\xAF\x7F\x41\r\n", 9));
}

TEST(HistoryPane, LinesKeepTheirColours) {
    HistoryPane pane;
    pane.AddHistoryLine("sent", 0xFF0000, 0);
    pane.AddHistoryLine("received", 0x000000, 0);
    pane.AddHistoryLine("red", 0x0000FF, 0);
    EXPECT_EQ(ColorOfBlock(pane, 0), QColor(0, 0, 255));
    EXPECT_EQ(ColorOfBlock(pane, 1), QColor(0, 0, 0));
    EXPECT_EQ(ColorOfBlock(pane, 2), QColor(255, 0, 0));
}

TEST(HistoryPane, CapacityIsRefusedWholeAtTheBoundary) {
    HistoryPane pane;
    const int lineLength = 1000;
    while (pane.TextLength() + lineLength + 2 <= HistoryPane::Capacity) pane.AddHistoryLine(ByteString(lineLength, 'x'), 0, 0);
    const int room = HistoryPane::Capacity - pane.TextLength();
    ASSERT_GE(room, 2);
    const ByteString before = pane.Text();
    try {
        pane.AddHistoryLine(ByteString(room - 1, 'y'), 0, 0);  // one too many
        FAIL() << "a line that does not fit was taken";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "RichEdit line insertion error");
    }
    EXPECT_EQ(pane.Text(), before) << "nothing half inserted";
    pane.AddHistoryLine(ByteString(room - 2, 'z'), 0, 0);  // just fits
    EXPECT_EQ(pane.TextLength(), HistoryPane::Capacity);
    EXPECT_THROW(pane.AddHistoryLine("", 0, 0), std::runtime_error);
    pane.Clear();
    EXPECT_EQ(pane.TextLength(), 0);
    pane.AddHistoryLine("again", 0, 0);
    EXPECT_EQ(pane.Text(), "again\r\n");
}

// Lines of 1000 characters, each its own letter: 1002 characters of whole text a line.
void AddLettered(HistoryPane& pane, int lines) {
    for (int i = 0; i < lines; ++i) pane.AddHistoryLine(ByteString(1000, static_cast<char>('0' + i % 75)), 0, 0);
}

TEST(HistoryPane, TypingAndPastingStopAtTheCapacity) {
    HistoryPane pane;
    AddLettered(pane, 65);
    pane.AddHistoryLine(ByteString(HistoryPane::Capacity - 5 - pane.TextLength() - 2, '.'), 0, 0);
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

namespace {

// A flood's entries are long lines that replace all the history at once: a reader at
// the newest line stays there, however many rows the new line wraps into.
TEST(HistoryPane, AReaderAtTheNewestLineFollowsLongLinesThatReplaceTheRest) {
    HistoryPane pane;
    pane.resize(600, 300);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    constexpr int Free = HistoryPane::Capacity / 4;
    for (char letter : std::string("abcd")) {
        pane.AddHistoryLines({ByteString(30000, letter), ByteString(40000, static_cast<char>(letter + 1))}, 0, Free);
        QApplication::processEvents();
        QScrollBar* bar = pane.verticalScrollBar();
        EXPECT_GT(bar->maximum(), 100) << "the long line's rows are counted";
        EXPECT_EQ(bar->value(), bar->maximum()) << letter;
        EXPECT_TRUE(pane.ReaderView().followingNewest) << letter;
    }
}

// The empty history's hint is the notes' grey whatever the theme's placeholder colour,
// which is black in some: a hint drawn black reads as data.
TEST(HistoryPane, TheHintIsGreyWhateverTheTheme) {
    HistoryPane pane;
    QPalette black = pane.palette();
    black.setColor(QPalette::PlaceholderText, Qt::black);
    pane.setPalette(black);
    pane.SetPlaceholder("Right-click here");
    EXPECT_EQ(pane.palette().color(QPalette::PlaceholderText), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(pane.placeholderText(), "Right-click here");
}

}  // namespace

