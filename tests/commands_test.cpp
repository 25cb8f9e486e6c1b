// The terminal commands end to end: the window, a pseudo-terminal as the device.
#include <gtest/gtest.h>

#include <regex>

#include "tests/click_connect.h"
#include "platform/window/application.h"
#include "platform/window/driver.h"
#include "platform/window/history_pane.h"
#include "platform/window/menu.h"
#include "platform/device/serial_device.h"
#include "tests/box_watcher.h"
#include "tests/far_end.h"
#include "ui/features.h"
#include "ui/main_form.h"
#include "platform/window/form_box.h"
#include "ui/line_sender.h"
#include "ui/quick_sends.h"

namespace {

using namespace std::chrono_literals;

const std::string Stamp = R"([^ ]+( [^ ]+( [AaPp][Mm])?)? )";

std::string AppTitle() { return platform::Application::Instance()->Title(); }

class CommandsTest : public FarEndFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::ShowAndActivate(form.Window()));
    }
    void Type(const ByteString& text) {
        form.LineEdit->SetFocus();
        form.LineEdit->SetText(text);
        platform::PressKey(*form.LineEdit, platform::Key::Enter);
    }
    // The colour of a history line, by its number.
    TColor LineColour(int line) {
        const ByteString text = form.MainRich->Text();
        size_t start = 0;
        for (int i = 0; i < line; ++i) start = text.find("\r\n", start) + 2;
        return form.MainRich->ColorAt(static_cast<int>(start));
    }
    TMainForm form;
    BoxWatcher watcher;
};

TEST_F(CommandsTest, SentLineReachesTheDeviceAndTheReplyComesBackBlack) {
    ClickConnect(form);
    ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
    Type("AT+\xE9?");
    EXPECT_EQ(device.Read(6, 2s), "AT+\xE9?\r");
    EXPECT_EQ(form.LineEdit->Text(), "AT+\xE9?") << "the input line keeps its text";
    platform::PressKey(*form.LineEdit, platform::Key::KeypadEnter);  // sends it again
    EXPECT_EQ(device.Read(6, 2s), "AT+\xE9?\r");
    EXPECT_EQ(LineColour(0), SentColor);

    device.Write("OK\r\n");
    ASSERT_TRUE(ProcessEventsUntil([&] { return form.MainRich->Text().find("4F 4B") != std::string::npos; }));
    ProcessEventsFor(100);
    const std::string text = form.MainRich->Text();
    EXPECT_TRUE(std::regex_match(text, std::regex(Stamp + "41 54 2B E9 3F \r\n" + Stamp + "41 54 2B E9 3F \r\n" +
                                                  Stamp + "4F 4B 0D 0A \r\n"))) << text;
    EXPECT_EQ(LineColour(2), ReceivedColor);
    EXPECT_TRUE(watcher.boxes.empty());
}

// For a device that echoes what it receives: the history is left to it.
TEST_F(CommandsTest, WithEchoOffALineGoesButIsNotEchoed) {
    platform::FindCommand(form.LineEdit->ContextCommands(), "Echo Sent Lines").Run();
    ClickConnect(form);
    ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
    Type("AT");
    EXPECT_EQ(device.Read(3, 2s), "AT\r");
    ProcessEventsFor(50);
    EXPECT_EQ(form.MainRich->Text(), "");
    platform::FindCommand(form.LineEdit->ContextCommands(), "Echo Sent Lines").Run();
    Type("AT");
    EXPECT_EQ(device.Read(3, 2s), "AT\r");
    EXPECT_NE(form.MainRich->Text().find("41 54 \r\n"), std::string::npos) << "on again, kept on for the next start";
}

// F5 to F12 send their lines from anywhere in the window; the input line keeps its text.
TEST_F(CommandsTest, QuickSendsGoFromTheirKeysAndAnEmptyKeyDoesNothing) {
    ClickConnect(form);
    ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
    platform::FindCommand(form.LineEdit->ContextCommands(), "Quick Sends Setup...").Run();
    platform::FormBox* box = form.Features().Quick().Box();
    ASSERT_TRUE(box && box->Visible());
    std::vector<ByteString> values(16);
    values[0] = "reset";
    values[1] = "ATZ";
    values[5] = "AT+GMR";  // F7, without a name
    box->SetValues(values);
    ASSERT_TRUE(box->Accept()) << box->Status();
    const std::vector<platform::MenuCommand>& keys = platform::FindCommand(form.LineEdit->ContextCommands(), "Quick Sends").Items;
    EXPECT_EQ(platform::FindCommand(keys, "F5").Label(), "reset");
    EXPECT_EQ(platform::FindCommand(keys, "F7").Label(), "AT+GMR");
    EXPECT_FALSE(platform::FindCommand(keys, "F6").Enabled());

    form.LineEdit->SetText("half typed");
    platform::PressShortcut(*form.MainRich, "F5");
    EXPECT_EQ(device.Read(4, 2s), "ATZ\r");
    platform::PressShortcut(*form.LineEdit, "F7");
    EXPECT_EQ(device.Read(7, 2s), "AT+GMR\r");
    platform::PressShortcut(*form.LineEdit, "F6");
    EXPECT_EQ(device.Read(1, 300ms), "") << "an empty key sends nothing";
    EXPECT_EQ(form.LineEdit->Text(), "half typed");
    EXPECT_NE(form.MainRich->Text().find("41 54 5A \r\n"), std::string::npos) << "echoed as Enter would";
    EXPECT_TRUE(watcher.boxes.empty());

    // With escapes read, a malformed one is refused in the box and nothing changes.
    form.Features().Sender().InterpretEscapesClick();
    platform::FindCommand(form.LineEdit->ContextCommands(), "Quick Sends Setup...").Run();
    values[1] = "AT\\x4";
    form.Features().Quick().Box()->SetValues(values);
    EXPECT_FALSE(form.Features().Quick().Box()->Accept());
    EXPECT_EQ(form.Features().Quick().Box()->Status().rfind("F5: ", 0), 0u) << form.Features().Quick().Box()->Status();
    platform::PressShortcut(*form.LineEdit, "F5");
    EXPECT_EQ(device.Read(4, 2s), "ATZ\r");
    values.assign(16, "");
    form.Features().Quick().Box()->SetValues(values);
    EXPECT_TRUE(form.Features().Quick().Box()->Accept());
    form.Features().Sender().InterpretEscapesClick();
}

TEST_F(CommandsTest, PortTextsThatOpenPortFive) {
    for (const char* text : {"261", "-251", "$105", "0x105", "X5", "  5", "+5"}) {
        form.PortEdit->SetText(text);
        ClickConnect(form);
        EXPECT_EQ(form.ConnectButton->Caption(), "Disconnect") << text;
        EXPECT_TRUE(ComPort->IsOpen()) << text;
        ClickConnect(form);
        EXPECT_EQ(form.ConnectButton->Caption(), "Connect") << text;
    }
    EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(CommandsTest, PortTextsThatAreNotNumbersShowTheStandardBox) {
    for (const char* text : {"5 ", "", "COM5", "- 5", "-$5", "0x", "4294967296", "$100000000", "2147483648"}) {
        watcher.boxes.clear();
        form.PortEdit->SetText(text);
        ClickConnect(form);
        ASSERT_EQ(watcher.boxes.size(), 1u) << text;
        EXPECT_EQ(watcher.boxes[0].text, "'" + std::string(text) + "' is not a valid integer value.");
        EXPECT_EQ(watcher.boxes[0].caption, AppTitle());
        EXPECT_TRUE(watcher.boxes[0].stopIcon);
        EXPECT_EQ(form.ConnectButton->Caption(), "Connect");
        EXPECT_FALSE(ComPort->IsOpen());
    }
}

TEST_F(CommandsTest, EnterInAnEmptyLineSendsOnlyTheCarriageReturn) {
    Type("");
    EXPECT_EQ(device.Read(1, 200ms), "") << "nothing is sent while disconnected";
    ClickConnect(form);
    Type("");
    EXPECT_EQ(device.Read(2, 300ms), "\r");
    const std::string text = form.MainRich->Text();
    EXPECT_TRUE(std::regex_match(text, std::regex(Stamp + "\r\n" + Stamp + "\r\n"))) << text;
}

TEST_F(CommandsTest, ConnectDisconnectConnectAndAPortThatLeadsNowhere) {
    for (int round = 0; round < 3; ++round) {
        ClickConnect(form);
        ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
        ClickConnect(form);
        ASSERT_EQ(form.ConnectButton->Caption(), "Connect");
    }
    form.PortEdit->SetText(std::to_string(FarEnd::UnusedPort()));
    ClickConnect(form);
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "Could not connect. Please check your Com port settings.");
    EXPECT_EQ(watcher.boxes[0].caption, "Com Error");
    EXPECT_FALSE(watcher.boxes[0].stopIcon);
    EXPECT_EQ(watcher.boxes[0].buttons, 1);
    EXPECT_EQ(form.ConnectButton->Caption(), "Connect");
    EXPECT_FALSE(ComPort->IsOpen());
    // Why, in a grey note once the box is closed: the last entry names the port.
    const ByteString text = form.MainRich->Text();
    const ByteString port = "port " + std::to_string(FarEnd::UnusedPort());
    const size_t note = text.rfind(port);
    ASSERT_NE(note, ByteString::npos) << text;
    EXPECT_EQ(form.MainRich->ColorAt(static_cast<int>(note)), NoteColor);
    EXPECT_EQ(text.find("\r\n", note), text.size() - 2) << "the newest entry";
}

TEST_F(CommandsTest, APortHeldElsewhereCannotBeConnectedUntilFreed) {
    if (!FarEnd::ExclusiveOpenEnforced()) GTEST_SKIP() << "this platform lets a second open of a port succeed (Wine)";
    auto holder = platform::OpenSerialPort(FarEnd::Port);
    ASSERT_TRUE(holder);
    ClickConnect(form);
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].caption, "Com Error");
    EXPECT_EQ(form.ConnectButton->Caption(), "Connect");
    EXPECT_NE(form.MainRich->Text().find("busy"), ByteString::npos) << "the note says the port is held";
    holder.reset();
    ClickConnect(form);
    EXPECT_EQ(form.ConnectButton->Caption(), "Disconnect") << "free again";
}

TEST_F(CommandsTest, EscapeClearsTheHistoryExceptInTheDropDownAndThePane) {
    form.ComReceive("kept");
    form.BaudCombo->SetFocus();
    form.BaudCombo->SetDroppedDown(true);
    ASSERT_TRUE(ProcessEventsUntil([&] { return form.BaudCombo->DroppedDown(); }));
    platform::PressKey(*form.BaudCombo, platform::Key::Escape);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !form.BaudCombo->DroppedDown(); }));
    EXPECT_GT(form.MainRich->TextLength(), 0) << "Esc closed the list only";

    form.MainRich->SetFocus();
    platform::PressKey(*form.MainRich, platform::Key::Escape);
    EXPECT_GT(form.MainRich->TextLength(), 0) << "the pane asks for all keys";

    form.LineEdit->SetFocus();
    platform::PressKey(*form.LineEdit, platform::Key::Escape, platform::ShiftModifier);
    EXPECT_GT(form.MainRich->TextLength(), 0) << "not with Shift held";
    platform::PressKey(*form.LineEdit, platform::Key::Escape);
    EXPECT_EQ(form.MainRich->TextLength(), 0);

    form.ComReceive("again");
    form.Button1->Click();
    EXPECT_EQ(form.MainRich->TextLength(), 0);
}

TEST_F(CommandsTest, FullHistoryRefusesASentLineAndSendsNothing) {
    ClickConnect(form);
    form.FormatRadios->SetItemIndex(0);  // 8-Bit ASCII: one character a byte
    // Filled until less room is left than the typed line needs, however long the stamps.
    while (form.MainRich->TextLength() < platform::HistoryPane::Capacity - 1100)
        form.AddHistoryLine(ByteString(1000, '.'), SentColor);
    while (form.MainRich->TextLength() < platform::HistoryPane::Capacity - 300)
        form.AddHistoryLine(ByteString(100, '.'), SentColor);
    const std::string before = form.MainRich->Text();
    Type(ByteString(400, 'x'));
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "RichEdit line insertion error.");
    EXPECT_EQ(watcher.boxes[0].caption, AppTitle());
    EXPECT_EQ(device.Read(1, 200ms), "");
    EXPECT_EQ(form.MainRich->Text(), before);
    EXPECT_EQ(form.LineEdit->Text(), ByteString(400, 'x')) << "Enter was still swallowed";
}

TEST_F(CommandsTest, NineBitFormatsAreRefusedQuietly) {
    form.FormatRadios->SetItemIndex(4);
    form.BaudCombo->SetItemIndex(6);  // 115200
    ClickConnect(form);
    EXPECT_TRUE(watcher.boxes.empty());
    EXPECT_EQ(form.ConnectButton->Caption(), "Disconnect");
    EXPECT_NE(ComPort->LineState().ByteSize, 9) << "what the port keeps in force is what it reports";
    ClickConnect(form);
    form.FormatRadios->SetItemIndex(1);
    ClickConnect(form);
    EXPECT_EQ(ComPort->LineState().BaudRate, 115200u);
    EXPECT_EQ(ComPort->LineState().ByteSize, 8);
}

}  // namespace
