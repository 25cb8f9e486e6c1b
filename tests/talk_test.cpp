// Talking to the device its way: line ends, escapes and recall with the far end of the
// port as the device; the Port menu with a device that records what it was asked.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

#include "tests/click_connect.h"
#include "platform/window/driver.h"
#include "platform/window/periodic_timer.h"
#include "tests/box_watcher.h"
#include "tests/far_end.h"
#include "tests/scripted_port.h"
#include "ui/line_sender.h"
#include "ui/features.h"
#include "ui/main_form.h"
#include "ui/port_session.h"

namespace {

using namespace std::chrono_literals;

const std::string Stamp = R"([^ ]+( [^ ]+( [AaPp][Mm])?)? )";

class TalkTest : public FarEndFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::ShowAndActivate(form.Window()));
        form.FormatRadios->SetItemIndex(1);  // hexadecimal: every byte of the echo readable
        ClickConnect(form);
        ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
    }
    void TearDown() override {  // choices are kept: the next test starts from the defaults
        form.Features().Sender().SetLineEnd(LineSender::LineEnd::CR);
        if (form.Features().Sender().InterpretingEscapes()) form.Features().Sender().InterpretEscapesClick();
    }
    void Type(const ByteString& text) {
        form.LineEdit->SetFocus();
        form.LineEdit->SetText(text);
        platform::PressKey(*form.LineEdit, platform::Key::Enter);
    }
    ByteString LastLine() {
        ByteString text = form.MainRich->Text();
        if (text.size() >= 2) text.resize(text.size() - 2);  // the last line's own break
        const size_t start = text.rfind("\r\n");
        return start == ByteString::npos ? text : text.substr(start + 2);
    }
    TMainForm form;
    BoxWatcher watcher;
};

TEST_F(TalkTest, LineEndsAndEscapesDecideTheBytesSentAndTheEcho) {
    struct Case {
        const char* menuItem;  // of Line End
        bool escapes;
        ByteString typed, arrives, echo;
    } cases[] = {
        {"CR", false, "AT", "AT\r", "41 54 "},
        {"LF", false, "AT", "AT\n", "41 54 "},
        {"CR LF", false, "AT", "AT\r\n", "41 54 "},
        {"None", false, "AT", "AT", "41 54 "},
        {"None", false, "a\\x41", "a\\x41", "61 5C 78 34 31 "},
        {"None", true, "a\\x41\\r\\n\\t\\0\\\\\\xfF", ByteString("aA\r\n\t\0\\\xFF", 8), "61 41 0D 0A 09 00 5C FF "},
        {"CR", true, "\\x0d", "\r\r", "0D "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        platform::FindCommand(form.LineEdit->ContextCommands(), c.menuItem).Run();
        if (form.Features().Sender().InterpretingEscapes() != c.escapes)
            platform::FindCommand(form.LineEdit->ContextCommands(), "Interpret Escapes").Run();
        Type(c.typed);
        EXPECT_EQ(device.Read(c.arrives.size(), 2s), c.arrives);
        EXPECT_TRUE(std::regex_match(LastLine(), std::regex(Stamp + c.echo))) << LastLine();
        EXPECT_EQ(form.LineEdit->Text(), c.typed) << "the line keeps its text";
    }
    EXPECT_TRUE(watcher.boxes.empty());
    TMainForm next;
    EXPECT_EQ(next.Features().Sender().CurrentLineEnd(), LineSender::LineEnd::CR) << "kept";
    EXPECT_TRUE(next.Features().Sender().InterpretingEscapes()) << "kept";
}

TEST_F(TalkTest, AMalformedEscapeSendsNothingAndSaysWhereItIs) {
    platform::FindCommand(form.LineEdit->ContextCommands(), "Interpret Escapes").Run();
    const ByteString history = form.MainRich->Text();
    struct Case {
        ByteString typed, said;
    } cases[] = {
        {"ab\\q", "Malformed escape \"\\q\" at column 3"},
        {"\\x4", "Malformed escape \"\\x4\" at column 1"},
        {"\\x4g!", "Malformed escape \"\\x4g\" at column 1"},
        {"ok\\", "Malformed escape \"\\\" at column 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        watcher.boxes.clear();
        Type(c.typed);
        EXPECT_TRUE(ProcessEventsUntil([&] { return !watcher.boxes.empty(); }));
        ASSERT_EQ(watcher.boxes.size(), 1u);
        EXPECT_NE(watcher.boxes[0].text.find(c.said), std::string::npos) << watcher.boxes[0].text;
        EXPECT_TRUE(watcher.boxes[0].stopIcon);
        EXPECT_TRUE(watcher.boxes[0].windowBlocked) << "above the window, which waits for it";
        EXPECT_EQ(device.Read(1, 200ms), "") << "nothing sent";
        EXPECT_EQ(form.MainRich->Text(), history) << "nothing echoed";
    }
}

TEST_F(TalkTest, UpAndDownRecallTheLinesSentAndWhatWasBeingTyped) {
    for (const char* line : {"first", "second", "first"}) Type(line);
    ASSERT_EQ(device.Read(19, 2s), "first\rsecond\rfirst\r");
    const std::vector<ByteString> sent = form.Features().Sender().SentLines();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], "first") << "newest first";
    EXPECT_EQ(sent[1], "second");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "first"), 1) << "each line once";
    form.LineEdit->SetText("half typ");
    struct Step {
        platform::Key key;
        ByteString shows;
    } steps[] = {{platform::Key::Up, "first"}, {platform::Key::Up, "second"}, {platform::Key::Down, "first"},
                 {platform::Key::Down, "half typ"}, {platform::Key::Down, "half typ"}};
    for (const Step& step : steps) {
        platform::PressKey(*form.LineEdit, step.key);
        EXPECT_EQ(form.LineEdit->Text(), step.shows);
    }
    for (size_t i = 0; i <= sent.size(); ++i) platform::PressKey(*form.LineEdit, platform::Key::Up);
    EXPECT_EQ(form.LineEdit->Text(), sent.back()) << "Up stops at the oldest";
    EXPECT_EQ(form.MainRich->Text().find("half"), ByteString::npos) << "recalling sends nothing";
    TMainForm next;
    EXPECT_EQ(next.Features().Sender().SentLines(), form.Features().Sender().SentLines()) << "kept for the next start";
}

// The Port menu through a device that records what it is asked, as a real adapter's
// lines cannot be watched here.
class PortMenuTest : public ::testing::Test {
protected:
    void Connect() {
        ClickConnect(form);
        ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
    }
    void Choose(const ByteString& item) { platform::FindCommand(form.MainRich->ContextCommands(), item).Run(); }
    ByteString Reading() {
        const auto& port = platform::FindCommand(form.MainRich->ContextCommands(), "Port");
        for (const platform::MenuCommand& item : port.Items)
            if (item.Reading) return item.Reading();
        return "";
    }
    ScriptedLine line;
    TMainForm form{ScriptedOpener(line)};
    BoxWatcher watcher;
};

TEST_F(PortMenuTest, DtrRtsBreakAndModemLinesDoWhatTheyShow) {
    EXPECT_TRUE(form.Features().Session().DtrOn());
    EXPECT_TRUE(form.Features().Session().RtsOn());
    EXPECT_EQ(Reading(), "Modem lines: not connected");
    Connect();
    EXPECT_FALSE(line.lowAtOpen);
    EXPECT_TRUE(line.dtr && line.rts) << "as a port opens";
    Choose("DTR");
    EXPECT_FALSE(line.dtr);
    EXPECT_TRUE(line.rts);
    EXPECT_FALSE(form.Features().Session().DtrOn());
    Choose("RTS");
    EXPECT_FALSE(line.rts);
    // The break is timed by the loop, which goes on meanwhile: the window answers.
    int ticks = 0;
    platform::PeriodicTimer meanwhile;
    meanwhile.SetInterval(10);
    meanwhile.SetOnTimer([&] { ++ticks; });
    meanwhile.SetEnabled(true);
    const auto pressed = std::chrono::steady_clock::now();
    Choose("Send Break");
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, 50ms) << "the click returns at once";
    ASSERT_TRUE(ProcessEventsUntil([&] { return !line.breaks.empty(); }, 2000));
    meanwhile.SetEnabled(false);
    EXPECT_GE(line.breaks[0], 245);
    EXPECT_LT(line.breaks[0], 450);
    EXPECT_GT(ticks, 10) << "the loop ran during the break";
    EXPECT_NE(form.MainRich->Text().find(" break sent (250 ms)\r\n"), std::string::npos) << "said once it is over";
    line.refuseBreak = true;
    Choose("Send Break");
    EXPECT_NE(form.MainRich->Text().find(" port 5: this device cannot send a break\r\n"), std::string::npos);
    EXPECT_TRUE(watcher.boxes.empty()) << "notes, no box";
    line.status = {true, false, true, false};
    EXPECT_EQ(Reading(), "CTS on  DSR off  CD on  RI off");
    line.hasModemStatus = false;
    EXPECT_EQ(Reading(), "Modem lines: not available on this device");

    ClickConnect(form);  // Disconnect: the choices hold at the next Connect
    line.dtr = line.rts = true;
    Connect();
    EXPECT_FALSE(line.dtr);
    EXPECT_FALSE(line.rts);
    Choose("DTR");
    Choose("RTS");
    EXPECT_TRUE(line.dtr && line.rts);

    Choose("DTR and RTS Low at Connect");
    ClickConnect(form);
    Connect();
    EXPECT_TRUE(line.lowAtOpen) << "the open itself keeps them low";
    EXPECT_FALSE(line.dtr || line.rts);
    EXPECT_FALSE(form.Features().Session().DtrOn());
    Choose("DTR and RTS Low at Connect");
    EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(PortMenuTest, APortThatGoesAwaySaysSoOnceAndStaysOpenUntilDisconnected) {
    Connect();
    line.input = "last words";
    ProcessEventsFor(100);
    line.failCheck = true;  // and the device wakes whoever waits on it, as a hang-up does
    if (line.arrival) line.arrival();
    ASSERT_TRUE(ProcessEventsUntil([&] { return form.MainRich->Text().find(" lost: ") != ByteString::npos; }));
    ProcessEventsFor(200);
    const ByteString text = form.MainRich->Text();
    EXPECT_TRUE(std::regex_search(text, std::regex("6C 61 73 74 20 77 6F 72 64 73 \r\n" + Stamp +
                                                   "port 5 lost: the device went away\r\n$")))
        << "after what it sent, once: " << text;
    EXPECT_EQ(form.MainRich->ColorAt(static_cast<int>(text.rfind("port 5 lost"))), NoteColor);
    EXPECT_TRUE(watcher.boxes.empty()) << "a note, no box";
    EXPECT_EQ(form.ConnectButton->Caption(), "Disconnect");
    EXPECT_TRUE(line.deviceOpen) << "without reconnecting the port stays as it was";
    line.failCheck = false;
    ClickConnect(form);
    Connect();
    EXPECT_EQ(line.opens, 2);
}

}  // namespace

namespace {

std::string TempFile(const std::string& name, const ByteString& content) {
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

TEST_F(TalkTest, SendFileSendsItsBytesUnchangedAndSaysSoOnce) {
    ByteString content;
    for (int i = 0; i < 20000; ++i) content += static_cast<char>((i * 7) & 0xFF);
    const std::string path = TempFile("comterm-send-test.bin", content);
    // On the input line's menu; with no port connected it asks for no file but says why.
    const platform::MenuCommand& item = platform::FindCommand(form.LineEdit->ContextCommands(), "Send File...");
    ClickConnect(form);
    try {
        item.Run();
        ADD_FAILURE() << "Send File ran with no port connected";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "Connect first: a file goes to the connected device");
    }
    ClickConnect(form);
    ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
    form.Features().Sender().SendFile(path);
    EXPECT_TRUE(form.Features().Sender().SendingFile());
    ASSERT_NE(form.Features().Sender().SendProgress(), nullptr);
    const ByteString arrived = device.Read(content.size(), 30s);
    EXPECT_EQ(arrived.size(), content.size());
    EXPECT_TRUE(arrived == content) << "whole and in order";
    ASSERT_TRUE(ProcessEventsUntil([&] { return !form.Features().Sender().SendingFile(); }, 5000));
    EXPECT_EQ(form.Features().Sender().SendProgress(), nullptr);
    EXPECT_TRUE(std::regex_match(LastLine(), std::regex(Stamp + "Sent file comterm-send-test.bin: 20000 bytes")))
        << LastLine();
    EXPECT_EQ(form.MainRich->ColorAt(static_cast<int>(form.MainRich->Text().rfind("Sent file"))), SentColor);
    std::filesystem::remove(path);

    const std::string folder = std::filesystem::temp_directory_path().string();
    const std::string cases[] = {folder, folder + "/comterm-no-such-file.bin"};
    for (const std::string& unreadable : cases) {
        SCOPED_TRACE(unreadable);
        try {
            form.Features().Sender().SendFile(unreadable);
            ADD_FAILURE() << "a send started";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find("Could not read " + unreadable), std::string::npos) << error.what();
        }
        EXPECT_FALSE(form.Features().Sender().SendingFile());
    }
    EXPECT_EQ(device.Read(1, 200ms), "") << "nothing sent";
}

}  // namespace
