#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextBlock>
#include <regex>
#include <thread>

#include "platform/history_pane.h"
#include "tests/box_watcher.h"
#include "tests/port_fixture.h"
#include "ui/main_form.h"

namespace {

const std::string Stamp = R"([^ ]+( [^ ]+( [AaPp][Mm])?)? )";  // date, time, marker

TEST(MainForm, ControlsFollowTheLayoutTable) {
    TMainForm form;
    struct Case {
        QWidget* control;
        QRect rect;
    } cases[] = {
        {form.Label1, {8, 8, 33, 21}},        {form.Label2, {88, 8, 57, 21}},
        {form.LineEdit, {8, 412, 990, 21}},   {form.MainRich, {8, 72, 990, 333}},
        {form.PortEdit, {40, 8, 33, 21}},     {form.BaudCombo, {144, 8, 97, 21}},
        {form.ConnectButton, {250, 8, 113, 21}}, {form.FormatRadios, {376, 0, 505, 33}},
        {form.Button1, {892, 8, 105, 21}},    {form.TwoStopBits, {16, 40, 97, 17}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.control->geometry(), c.rect) << c.control->metaObject()->className();

    EXPECT_EQ(form.windowTitle(), " ");
    EXPECT_EQ(form.windowIconText(), "window_tests") << "the task bar shows the application title";
    EXPECT_EQ(form.size(), QSize(TMainForm::ClientWidth, TMainForm::ClientHeight));
    EXPECT_EQ(form.Label1->text(), "Com:");
    EXPECT_EQ(form.Label2->text(), "Baud Rate:");
    EXPECT_EQ(form.PortEdit->text(), "5");
    EXPECT_EQ(form.LineEdit->text(), "");
    EXPECT_FALSE(form.BaudCombo->isEditable());
    QStringList rates;
    for (int i = 0; i < form.BaudCombo->count(); ++i) rates << form.BaudCombo->itemText(i);
    EXPECT_EQ(rates, QStringList({"9600", "14400", "19200", "28800", "38400", "57600", "115200", "128000", "256000"}));
    EXPECT_EQ(form.BaudCombo->currentText(), "9600");
    EXPECT_EQ(form.ConnectButton->text(), "Connect");
    EXPECT_EQ(form.FormatRadios->title(), "Format");
    QStringList formats;
    for (QAbstractButton* radio : form.FormatButtons->buttons()) formats << radio->text();
    EXPECT_EQ(formats, QStringList({"8-Bit ASCII", "8-Bit Hex", "7-Bit ASCII", "7-Bit Hex", "9-Bit ASCII", "9-bit Hex"}));
    EXPECT_EQ(form.FormatIndex(), 1);
    EXPECT_EQ(form.Button1->text(), "Clear History");
    EXPECT_EQ(form.TwoStopBits->text(), "Two Stop Bits");
    EXPECT_FALSE(form.TwoStopBitsChecked());
    EXPECT_EQ(ComPort->SplitAtCR, false);
    EXPECT_FALSE(ComPort->IsOpen());
}

TEST(MainForm, HistoryIsFixedPitchAt12PxAndControlsAt11Px) {
    TMainForm form;
    QFontInfo history(form.MainRich->font());
    EXPECT_EQ(history.family(), "DejaVu Sans Mono");
    EXPECT_EQ(history.pixelSize(), 12);
    EXPECT_TRUE(history.fixedPitch());
    EXPECT_EQ(QFontInfo(form.Button1->font()).pixelSize(), 11);
}

TEST(MainForm, AnchorsOnResize) {
    TMainForm form;
    form.show();
    form.resize(TMainForm::ClientWidth + 100, TMainForm::ClientHeight + 50);
    EXPECT_EQ(form.LineEdit->geometry(), QRect(8, 462, 1090, 21));
    EXPECT_EQ(form.MainRich->geometry(), QRect(8, 72, 1090, 383));
    EXPECT_EQ(form.FormatRadios->geometry(), QRect(476, 0, 505, 33));
    EXPECT_EQ(form.Button1->geometry(), QRect(992, 8, 105, 21));
    EXPECT_EQ(form.ConnectButton->geometry(), QRect(250, 8, 113, 21));
    EXPECT_EQ(form.TwoStopBits->geometry(), QRect(16, 40, 97, 17));
}

TEST(MainForm, FocusStartsInTheInputLineAndTabOrderFollowsTheTable) {
    TMainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(QApplication::focusWidget(), form.LineEdit);
    QWidget* expected[] = {form.MainRich, form.PortEdit, form.BaudCombo, form.ConnectButton};
    QWidget* at = form.LineEdit;
    for (QWidget* next : expected) {
        do at = at->nextInFocusChain();
        while (at->focusPolicy() == Qt::NoFocus || !at->isVisibleTo(&form) || at == form.MainRich->viewport());
        EXPECT_EQ(at, next);
    }
}

TEST(MainForm, SentAndReceivedLinesKeepTheirColoursAndStamps) {
    TMainForm form;
    form.AddHistoryLine("AB", SentColor);
    form.ComReceive("\x01");
    const std::string text = form.MainRich->Text();
    EXPECT_TRUE(std::regex_match(text, std::regex(Stamp + "41 42 \r\n" + Stamp + "01 \r\n"))) << text;
    auto colour = [&](int block) {
        return form.MainRich->document()->findBlockByNumber(block).begin().fragment().charFormat().foreground().color();
    };
    EXPECT_EQ(colour(0), QColor(Qt::blue));
    EXPECT_EQ(colour(1), QColor(Qt::black));
}

TEST(MainForm, FormatChangesApplyToTheNextLine) {
    TMainForm form;
    form.FormatButtons->button(3)->setChecked(true);  // 7-Bit Hex
    form.ComReceive("\x31\xB2");
    form.FormatButtons->button(0)->setChecked(true);  // 8-Bit ASCII
    form.ComReceive("a\nb\rc");
    const std::string text = form.MainRich->Text();
    EXPECT_TRUE(std::regex_match(text, std::regex(Stamp + "31 32 \r\n" + Stamp + "a\xBA" "b\rc\r\n"))) << text;
}

class MainFormOverPty : public PortFixture {};

TEST_F(MainFormOverPty, PortFieldTooltipListsThePortsPresentWhenShown) {
    TMainForm form;
    const std::string pts = device.SlavePath().substr(5);
    EXPECT_NE(form.PortEdit->toolTip().toStdString().find("5  linked by hand (" + pts + ")"), std::string::npos);
    VirtualDevice second;
    second.LinkAsPort(ports.Path(), 7);
    QHelpEvent shown(QEvent::ToolTip, QPoint(5, 5), form.PortEdit->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(form.PortEdit, &shown);
    EXPECT_NE(form.PortEdit->toolTip().toStdString().find("7  linked by hand (" + second.SlavePath().substr(5) + ")"),
              std::string::npos)
        << "refreshed each time it is shown: " << form.PortEdit->toolTip().toStdString();
}

TEST_F(MainFormOverPty, ReceivedBurstBecomesOneBlackLine) {
    TMainForm form;
    form.ConnectButton->click();
    ASSERT_TRUE(ComPort->IsOpen());
    device.Write("\x01hello\xFF");
    ASSERT_TRUE(ProcessEventsUntil([&] { return form.MainRich->TextLength() > 0; }));
    ProcessEventsFor(150);
    const std::string text = form.MainRich->Text();
    EXPECT_TRUE(std::regex_match(text, std::regex(Stamp + "01 68 65 6C 6C 6F FF \r\n"))) << text;
}

// The data of each history line in a whole text, without its stamp, joined.
ByteString DataOfLines(const ByteString& text) {
    static const std::regex stamped("^" + Stamp);
    ByteString data;
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != ByteString::npos; start = end + 2)
        data += std::regex_replace(text.substr(start, end - start), stamped, "", std::regex_constants::format_first_only);
    return data;
}

TEST_F(MainFormOverPty, LongStreamScrollsOnLosingNothingWithoutABox) {
    TMainForm form;
    BoxWatcher watcher;
    form.FormatButtons->button(0)->setChecked(true);  // 8-Bit ASCII: bytes shown as they are
    while (form.MainRich->TextLength() < platform::HistoryPane::Capacity - 1100)
        form.AddHistoryLine(ByteString(1000, '.'), SentColor);
    ByteString removed;
    form.MainRich->SetOnLinesRemoved([&](const ByteString& text) { removed += text; });
    int leastFree = platform::HistoryPane::Capacity;
    int received = 0;
    ComPort->OnReceive = [&](const ByteString& text) {
        form.ComReceive(text);
        leastFree = std::min(leastFree, platform::HistoryPane::Capacity - form.MainRich->TextLength());
        ++received;
    };
    form.ConnectButton->click();
    ASSERT_TRUE(ComPort->IsOpen());

    ByteString sent(300000, '\0');
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>('A' + (i * 7 + i / 4099) % 26);
    std::thread stream([&] {
        for (size_t at = 0; at < sent.size(); at += 3000) {
            device.Write(sent.substr(at, 3000));
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });
    const ByteString typed = DataOfLines(form.MainRich->Text());
    ASSERT_TRUE(ProcessEventsUntil([&] { return DataOfLines(removed + form.MainRich->Text()).size() >= typed.size() + sent.size(); }, 20000));
    stream.join();
    ProcessEventsFor(100);
    EXPECT_TRUE(watcher.boxes.empty());
    EXPECT_GT(received, 10);
    EXPECT_GE(leastFree, platform::HistoryPane::Capacity / 4) << "a quarter stays free after every received text";
    const ByteString shown = DataOfLines(removed + form.MainRich->Text());
    ASSERT_EQ(shown.size(), typed.size() + sent.size());
    EXPECT_TRUE(shown == typed + sent) << "every byte once, in order, after the typed lines";
    EXPECT_TRUE(removed.find(typed.substr(0, 1000)) != ByteString::npos) << "the oldest lines went first";
}

}  // namespace
