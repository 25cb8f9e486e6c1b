// The terminal commands end to end: the window, a pseudo-terminal as the device.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <regex>

#include "platform/application.h"
#include "platform/history_pane.h"
#include "tests/box_watcher.h"
#include "tests/port_fixture.h"
#include "ui/main_form.h"

namespace {

using namespace std::chrono_literals;

const std::string Stamp = R"([^ ]+( [^ ]+( [AaPp][Mm])?)? )";

std::string AppTitle() { return static_cast<platform::Application*>(QCoreApplication::instance())->Title(); }

class CommandsTest : public PortFixture {
protected:
    void SetUp() override {
        PortFixture::SetUp();
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    void Type(const QString& text) {
        form.LineEdit->setFocus();
        form.LineEdit->setText(text);
        QTest::keyClick(form.LineEdit, Qt::Key_Return);
    }
    QColor LineColour(int block) {
        return form.MainRich->document()->findBlockByNumber(block).begin().fragment().charFormat().foreground().color();
    }
    TMainForm form;
    BoxWatcher watcher;
};

TEST_F(CommandsTest, SentLineReachesTheDeviceAndTheReplyComesBackBlack) {
    form.ConnectButton->click();
    ASSERT_EQ(form.ConnectButton->text(), "Disconnect");
    Type(QString::fromUtf8("AT+é€"));
    EXPECT_EQ(device.Read(6, 2s), "AT+\xE9?\r");
    EXPECT_EQ(form.LineEdit->text(), QString::fromUtf8("AT+é€")) << "the input line keeps its text";
    QTest::keyClick(form.LineEdit, Qt::Key_Enter);  // the keypad Enter sends it again
    EXPECT_EQ(device.Read(6, 2s), "AT+\xE9?\r");
    EXPECT_EQ(LineColour(0), QColor(Qt::blue));

    device.Write("OK\r\n");
    ASSERT_TRUE(ProcessEventsUntil([&] { return form.MainRich->document()->blockCount() > 3; }));
    ProcessEventsFor(100);
    const std::string text = form.MainRich->Text();
    EXPECT_TRUE(std::regex_match(text, std::regex(Stamp + "41 54 2B E9 3F \r\n" + Stamp + "41 54 2B E9 3F \r\n" +
                                                  Stamp + "4F 4B 0D 0A \r\n"))) << text;
    EXPECT_EQ(LineColour(2), QColor(Qt::black));
    EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(CommandsTest, PortTextsThatOpenPortFive) {
    for (const char* text : {"261", "-251", "$105", "0x105", "X5", "  5", "+5"}) {
        form.PortEdit->setText(text);
        form.ConnectButton->click();
        EXPECT_EQ(form.ConnectButton->text(), "Disconnect") << text;
        EXPECT_TRUE(ComPort->IsOpen()) << text;
        form.ConnectButton->click();
        EXPECT_EQ(form.ConnectButton->text(), "Connect") << text;
    }
    EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(CommandsTest, PortTextsThatAreNotNumbersShowTheStandardBox) {
    for (const char* text : {"5 ", "", "COM5", "- 5", "-$5", "0x", "4294967296", "$100000000", "2147483648"}) {
        watcher.boxes.clear();
        form.PortEdit->setText(text);
        form.ConnectButton->click();
        ASSERT_EQ(watcher.boxes.size(), 1u) << text;
        EXPECT_EQ(watcher.boxes[0].text, "'" + std::string(text) + "' is not a valid integer value.");
        EXPECT_EQ(watcher.boxes[0].caption, AppTitle());
        EXPECT_EQ(watcher.boxes[0].icon, QMessageBox::Critical);
        EXPECT_EQ(form.ConnectButton->text(), "Connect");
        EXPECT_FALSE(ComPort->IsOpen());
    }
}

TEST_F(CommandsTest, EnterInAnEmptyLineSendsOnlyTheCarriageReturn) {
    Type("");
    EXPECT_EQ(device.Read(1, 200ms), "") << "nothing is sent while disconnected";
    form.ConnectButton->click();
    Type("");
    EXPECT_EQ(device.Read(2, 300ms), "\r");
    const std::string text = form.MainRich->Text();
    EXPECT_TRUE(std::regex_match(text, std::regex(Stamp + "\r\n" + Stamp + "\r\n"))) << text;
}

TEST_F(CommandsTest, ConnectDisconnectConnectAndAPortHeldElsewhere) {
    for (int round = 0; round < 3; ++round) {
        form.ConnectButton->click();
        ASSERT_EQ(form.ConnectButton->text(), "Disconnect");
        form.ConnectButton->click();
        ASSERT_EQ(form.ConnectButton->text(), "Connect");
    }
    auto holder = platform::OpenSerialPort(5);
    ASSERT_TRUE(holder);
    form.ConnectButton->click();
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "Could not connect. Please check your Com port settings.");
    EXPECT_EQ(watcher.boxes[0].caption, "Com Error");
    EXPECT_EQ(watcher.boxes[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(watcher.boxes[0].buttons, 1);
    EXPECT_EQ(form.ConnectButton->text(), "Connect");
    holder.reset();
    form.PortEdit->setText("6");  // nothing linked there, and no /dev/ttyS5 in a test machine's way
    form.ConnectButton->click();
    EXPECT_EQ(form.ConnectButton->text(), "Connect");
}

TEST_F(CommandsTest, EscapeClearsTheHistoryExceptInTheDropDownAndThePane) {
    form.ComReceive("kept");
    form.BaudCombo->setFocus();
    form.BaudCombo->showPopup();
    ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::activePopupWidget() != nullptr; }));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::activePopupWidget() == nullptr; }));
    EXPECT_GT(form.MainRich->TextLength(), 0) << "Esc closed the list only";

    form.MainRich->setFocus();
    QTest::keyClick(form.MainRich, Qt::Key_Escape);
    EXPECT_GT(form.MainRich->TextLength(), 0) << "the pane asks for all keys";

    form.LineEdit->setFocus();
    QTest::keyClick(form.LineEdit, Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_GT(form.MainRich->TextLength(), 0) << "not with Shift held";
    QTest::keyClick(form.LineEdit, Qt::Key_Escape);
    EXPECT_EQ(form.MainRich->TextLength(), 0);

    form.ComReceive("again");
    form.Button1->click();
    EXPECT_EQ(form.MainRich->TextLength(), 0);
}

TEST_F(CommandsTest, FullHistoryRefusesASentLineAndSendsNothing) {
    form.ConnectButton->click();
    form.FormatButtons->button(0)->setChecked(true);  // 8-Bit ASCII: one character a byte
    while (form.MainRich->TextLength() < platform::HistoryPane::Capacity - 1100)
        form.AddHistoryLine(ByteString(1000, '.'), SentColor);
    const std::string before = form.MainRich->Text();
    Type(QString(400, 'x'));
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "RichEdit line insertion error.");
    EXPECT_EQ(watcher.boxes[0].caption, AppTitle());
    EXPECT_EQ(device.Read(1, 200ms), "");
    EXPECT_EQ(form.MainRich->Text(), before);
    EXPECT_EQ(form.LineEdit->text(), QString(400, 'x')) << "Enter was still swallowed";
}

TEST_F(CommandsTest, NineBitFormatsAreRefusedQuietly) {
    form.FormatButtons->button(4)->setChecked(true);
    form.BaudCombo->setCurrentIndex(6);  // 115200
    form.ConnectButton->click();
    EXPECT_TRUE(watcher.boxes.empty());
    EXPECT_EQ(form.ConnectButton->text(), "Disconnect");
    EXPECT_EQ(ComPort->LineState().BaudRate, 9600u) << "the settings in force before stay";
    form.ConnectButton->click();
    form.FormatButtons->button(1)->setChecked(true);
    form.ConnectButton->click();
    EXPECT_EQ(ComPort->LineState().BaudRate, 115200u);
    EXPECT_EQ(ComPort->LineState().ByteSize, 8);
}

}  // namespace
