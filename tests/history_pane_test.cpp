#include <gtest/gtest.h>

#include <QTest>
#include <QTextBlock>
#include <stdexcept>

#include "platform/history_pane.h"

namespace {

using platform::HistoryPane;

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

TEST(HistoryPane, CarriageReturnStartsAFurtherLine) {
    HistoryPane pane;
    pane.AddLine("stamp a\rb\r");
    EXPECT_EQ(pane.Text(), "stamp a\r\nb\r\n\r\n");
    EXPECT_EQ(pane.TextLength(), static_cast<int>(pane.Text().size()));
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
    pane.AddLine("a");
    pane.SetInsertionPoint(1 << 30);
    pane.AddLine("b");
    EXPECT_EQ(pane.Text(), "a\r\nb\r\n");
}

}  // namespace
