// Line Settings from the Port menu end to end: the box, the settings kept for each port
// number, Connect using them and saying what the port runs at, and flow control holding
// a file while the device says so. The far end of port 5 is a pseudo-terminal, which
// keeps rate, stop bits and flow control and always runs 8 data bits without parity.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "tests/click_connect.h"
#include "platform/window/driver.h"
#include "platform/window/history_pane.h"
#include "tests/box_watcher.h"
#include "tests/far_end.h"
#include "tests/scripted_port.h"
#include "ui/choices.h"
#include "ui/line_sender.h"
#include "ui/line_setup.h"
#include "ui/paced_sends.h"
#include "ui/port_session.h"
#include "platform/window/form_box.h"
#include "ui/features.h"
#include "ui/main_form.h"

namespace {

using namespace std::chrono_literals;
using platform::LineSettings;

class LineSettingsTest : public FarEndFixture {
protected:
    void SetUp() override { Start(); }
    // A new start of the terminal, which reads the settings file as it finds it.
    void Start() {
        form.reset();
        form = std::make_unique<TMainForm>();
        ASSERT_TRUE(platform::ShowAndActivate(form->Window()));
        form->PortEdit->SetText(std::to_string(FarEnd::Port));
    }
    void TearDown() override {
        if (ComPort->IsOpen()) ClickConnect(*form);
        form.reset();
        for (unsigned port : {5u, 6u}) Choices().SetNumberedText(Choice::LineSettings, port, "");
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
    }
    // Through the box, as a user fills it in: use, rate, data bits, parity, stop bits, flow.
    ByteString Choose(const std::vector<ByteString>& values) {
        platform::FindCommand(form->MainRich->ContextCommands(), "Line Settings...").Run();
        platform::FormBox* box = form->Features().Line().Box();
        if (!box || !box->Visible()) return "no box";
        box->SetValues(values);
        box->Accept();
        return box->Status();
    }
    bool Connect() {
        ClickConnect(*form);
        return ProcessEventsUntil([&] { return form->ConnectButton->Caption() == "Disconnect"; }, 3000);
    }
    bool Shows(const ByteString& text) const { return form->MainRich->Text().find(text) != ByteString::npos; }

    std::unique_ptr<TMainForm> form;
    BoxWatcher watcher;
    // Its own name: the tests run side by side.
    const std::string fileName = "comterm-flow-" + std::to_string(std::random_device{}()) + ".bin";
    const std::string file = (std::filesystem::temp_directory_path() / fileName).string();
};

TEST_F(LineSettingsTest, ChosenSettingsAreUsedAtConnectSaidInANoteAndKeptForThatPortOnly) {
    EXPECT_EQ(Choose({"1", "19200", "8", "None", "2", "XON/XOFF"}), "");
    EXPECT_EQ(Choices().NumberedText(Choice::LineSettings, 5), "use 19200 8N2 xonxoff");
    EXPECT_EQ(form->BaudCombo->Hint(), "Connect uses 19200 8N2 from Line Settings (Port menu)");
    ASSERT_TRUE(Connect());
    EXPECT_TRUE(Shows("port 5: 19200 8N2, XON/XOFF flow control\r\n")) << form->MainRich->Text();
    EXPECT_FALSE(Shows("asked for")) << "the port runs as asked: " << form->MainRich->Text();
    LineSettings now;
    ASSERT_TRUE(ComPort->ReadBackLineSettings(now));
    EXPECT_EQ(now.BaudRate, 19200u);
    EXPECT_EQ(now.StopBits, LineSettings::TwoStopBits);
    EXPECT_EQ(now.Flow, LineSettings::XonXoffFlow);
    EXPECT_TRUE(watcher.boxes.empty());

    // Kept for the next start, for port 5 and no other number.
    ClickConnect(*form);
    Start();
    EXPECT_EQ(form->BaudCombo->Hint(), "Connect uses 19200 8N2 from Line Settings (Port menu)");
    form->PortEdit->SetText("6");
    EXPECT_EQ(form->BaudCombo->Hint(), "");
    EXPECT_FALSE(form->Features().Line().ChoiceFor(6).Use);
}

// A pseudo-terminal always runs without parity: the port must not be said to run at 8E1.
TEST_F(LineSettingsTest, AParityThePortDropsIsSaid) {
    if (FarEnd::ThroughWine()) GTEST_SKIP() << "Wine refuses even parity on a pseudo-terminal, which drops it";
    EXPECT_EQ(Choose({"1", "19200", "8", "Even", "1", "None"}), "");
    ASSERT_TRUE(Connect());
    EXPECT_TRUE(Shows("port 5: 19200 8E1, no flow control\r\n")) << form->MainRich->Text();
    EXPECT_TRUE(Shows("port 5: asked for 19200 8E1, no flow control; the port runs at 19200 8N1, no flow control"))
        << form->MainRich->Text();
}

TEST_F(LineSettingsTest, SettingsNotInUseLeaveConnectToTheWindow) {
    EXPECT_EQ(Choose({"0", "921600", "7", "Odd", "2", "None"}), "");
    EXPECT_EQ(form->BaudCombo->Hint(), "");
    ASSERT_TRUE(Connect());
    EXPECT_FALSE(Shows("port 5:")) << form->MainRich->Text();
    EXPECT_EQ(ComPort->LineState().BaudRate, static_cast<uint32_t>(std::stoi(form->BaudCombo->Text())));
    EXPECT_EQ(ComPort->LineState().Flow, LineSettings::NoFlow);
}

TEST_F(LineSettingsTest, TheBoxRefusesABadRateWithTheReasonAndKeepsWhatWasThere) {
    EXPECT_EQ(Choose({"1", "74880", "8", "None", "1", "None"}), "");
    for (const char* rate : {"fast", "0", "-9600", "4000001", "9600.5", ""}) {
        EXPECT_EQ(Choose({"1", rate, "8", "None", "1", "None"}).rfind("the baud rate must be a whole number from 50 to 4000000", 0), 0u)
            << rate;
        EXPECT_TRUE(form->Features().Line().Box()->Visible()) << "the box stays open for a correction";
        EXPECT_EQ(Choices().NumberedText(Choice::LineSettings, 5), "use 74880 8N1 none") << rate;
    }
    EXPECT_EQ(Choose({"1", "9600", "8", "None", "1.5", "None"}), "1.5 stop bits go with 5 data bits only");
    EXPECT_EQ(Choices().NumberedText(Choice::LineSettings, 5), "use 74880 8N1 none");
}

TEST_F(LineSettingsTest, ADamagedEntryGivesTheWindowsRulesForThatPortAndTheOthersKeepTheirs) {
    Choices().SetNumberedText(Choice::LineSettings, 5, "use 19200 8Q1 none");
    Choices().SetNumberedText(Choice::LineSettings, 6, "use 2400 8E1 none");
    Start();
    ASSERT_TRUE(Connect());
    EXPECT_FALSE(ComPort->FixedLine.has_value());
    EXPECT_FALSE(Shows("port 5:")) << form->MainRich->Text();
    EXPECT_TRUE(form->Features().Line().ChoiceFor(6).Use);
    EXPECT_EQ(form->Features().Line().ChoiceFor(6).Line.BaudRate, 2400u);
    EXPECT_EQ(Choices().NumberedText(Choice::LineSettings, 5), "use 19200 8Q1 none") << "the user's text is left as it was";
}

// The device's XOFF holds a file mid-way; its XON lets the rest go, whole and in order.
TEST_F(LineSettingsTest, XoffHoldsASendFileAndXonResumesItWhole) {
    EXPECT_EQ(Choose({"1", "115200", "8", "None", "1", "XON/XOFF"}), "");
    ASSERT_TRUE(Connect());
    ByteString content(256 << 10, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('A' + i % 26);  // no XON or XOFF in it
    std::ofstream(file, std::ios::binary) << content;
    ASSERT_TRUE(device.Write("\x13"));
    ProcessEventsFor(500);  // the port has taken the XOFF in, even on a loaded machine
    form->Features().Sender().SendFile(file);
    ByteString arrived;
    std::thread early([&] { arrived = device.Read(content.size(), 1500ms); });
    ProcessEventsFor(1600);  // past the bound of a piece: held, not failed
    early.join();
    EXPECT_LT(arrived.size(), content.size() / 2) << "XOFF holds the file";
    EXPECT_TRUE(form->Features().Sender().SendingFile()) << "a held file waits rather than fails";
    ASSERT_TRUE(device.Write("\x11"));
    ByteString rest;
    std::thread reader([&] { rest = device.Read(content.size() - arrived.size(), 20s); });
    EXPECT_TRUE(ProcessEventsUntil([&] { return !form->Features().Sender().SendingFile(); }, 20000));
    reader.join();
    const ByteString whole = arrived + rest;
    const size_t differs = std::mismatch(whole.begin(), whole.end(), content.begin(), content.end()).first - whole.begin();
    EXPECT_TRUE(whole == content) << arrived.size() << " + " << rest.size() << ", first difference at " << differs << ": "
                                  << (differs < whole.size() ? static_cast<int>(static_cast<uint8_t>(whole[differs])) : -1);
    EXPECT_TRUE(Shows("Sent file " + fileName + ": 262144 bytes")) << form->MainRich->Text();
    EXPECT_FALSE(Shows("13 \r\n")) << "XON and XOFF are the driver's, not shown";
}

TEST_F(LineSettingsTest, CancelWhileTheDeviceHoldsEndsAtOnce) {
    EXPECT_EQ(Choose({"1", "115200", "8", "None", "1", "XON/XOFF"}), "");
    ASSERT_TRUE(Connect());
    std::ofstream(file, std::ios::binary) << ByteString(1 << 20, 'x');
    ASSERT_TRUE(device.Write("\x13"));
    ProcessEventsFor(200);
    form->Features().Sender().SetDigitGroupSeparator(",");
    form->Features().Sender().SendFile(file);
    ProcessEventsFor(1500);  // past the bound of a piece: held, not failed
    ASSERT_TRUE(form->Features().Sender().SendingFile());
    EXPECT_NE(form->Features().Sender().SendProgress()->Text().find(" of 1,048,576 bytes sent"), ByteString::npos)
        << "counts as the locale groups them: " << form->Features().Sender().SendProgress()->Text();
    const auto cancelled = std::chrono::steady_clock::now();
    form->Features().Sender().SendProgress()->Cancel();
    EXPECT_TRUE(ProcessEventsUntil([&] { return !form->Features().Sender().SendingFile(); }, 3000));
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, 1s);
    EXPECT_TRUE(Shows("Sending file " + fileName + " cancelled after")) << form->MainRich->Text();
    device.Write("\x11");
    device.Read(1 << 20, 300ms);
}

// A paced file's 64 kB line held by the device's XOFF at 9600 would take over a minute to
// go: closing the window ends the send, frees the port and goes within a second.
TEST_F(LineSettingsTest, ClosingTheWindowDuringAHeldPacedSendFreesThePortAtOnce) {
    EXPECT_EQ(Choose({"1", "9600", "8", "None", "1", "XON/XOFF"}), "");
    ASSERT_TRUE(Connect());
    auto pace = [&](const std::vector<ByteString>& values) {
        platform::FindCommand(form->LineEdit->ContextCommands(), "Send Pacing...").Run();
        form->Features().Paced().Box()->SetValues(values);
        ASSERT_TRUE(form->Features().Paced().Box()->Accept());
    };
    pace({"0", "5", "", "2000"});
    std::ofstream(file, std::ios::binary) << ByteString(64 << 10, 'x') + "\n";
    ASSERT_TRUE(device.Write("\x13"));
    ProcessEventsFor(200);
    form->Features().Sender().SendFile(file);
    ProcessEventsFor(500);
    ASSERT_TRUE(form->Features().Paced().Busy());
    const auto closing = std::chrono::steady_clock::now();
    form.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 1s);
    device.Write("\x11");
    device.Read(1 << 20, 300ms);
    Start();
    EXPECT_TRUE(Connect()) << "the port is free again";
    pace({"0", "0", "", "2000"});
}

}  // namespace

namespace {

// What a real adapter's driver may do, which a pseudo-terminal never does: round a rate,
// refuse settings outright, drive RTS itself.
class RecordingDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::ShowAndActivate(form.Window()));
        form.PortEdit->SetText("5");
    }
    void TearDown() override { Choices().SetNumberedText(Choice::LineSettings, 5, ""); }
    void Choose(const std::vector<ByteString>& values) {
        platform::FindCommand(form.MainRich->ContextCommands(), "Line Settings...").Run();
        form.Features().Line().Box()->SetValues(values);
        ASSERT_TRUE(form.Features().Line().Box()->Accept()) << form.Features().Line().Box()->Status();
    }
    bool Shows(const ByteString& text) const { return form.MainRich->Text().find(text) != ByteString::npos; }
    // Bytes at the port, which wakes a pump that waits for them.
    void Arrive(const ByteString& bytes) {
        line.input += bytes;
        if (auto wake = std::exchange(line.arrival, nullptr)) wake();
    }
    const platform::MenuCommand& RtsItem() {
        return platform::FindCommand(platform::FindCommand(form.MainRich->ContextCommands(), "Port").Items, "RTS");
    }

    ScriptedLine line;
    TMainForm form{ScriptedOpener(line)};
    BoxWatcher watcher;
};

TEST_F(RecordingDeviceTest, ARateTheDriverRoundsIsSaid) {
    line.roundedRate = 249600;
    Choose({"1", "250000", "8", "Even", "1", "None"});
    ClickConnect(form);
    ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
    EXPECT_EQ(line.settings.ByteSize, 8);
    EXPECT_EQ(line.settings.Parity, LineSettings::EvenParity) << "what was asked of the driver";
    EXPECT_TRUE(Shows("port 5: 250000 8E1, no flow control\r\n")) << form.MainRich->Text();
    EXPECT_TRUE(Shows("port 5: asked for 250000, the port runs at 249600\r\n")) << form.MainRich->Text();
}

TEST_F(RecordingDeviceTest, SettingsTheDriverRefusesFailTheConnectWithTheBoxAndANote) {
    line.refuseSettings = true;
    Choose({"1", "4000000", "7", "Mark", "2", "None"});
    ClickConnect(form);
    EXPECT_EQ(form.ConnectButton->Caption(), "Connect");
    EXPECT_FALSE(ComPort->IsOpen());
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "Could not connect. Please check your Com port settings.");
    EXPECT_TRUE(Shows("port 5: the port refused 4000000 7M2, no flow control (Line Settings in the Port menu)"))
        << form.MainRich->Text();
}

// The wrong parity or rate shows in the first entry, not as garbage to guess from.
TEST_F(RecordingDeviceTest, LineErrorsAreSaidAfterTheEntryTheyCameIn) {
    Choose({"1", "19200", "8", "Even", "1", "None"});
    ClickConnect(form);
    ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
    const struct {
        platform::LineErrors errors;
        const char* note;  // "" for none
    } cases[] = {
        {{3, 0, 0, 1}, "port 5: 3 parity errors, 1 break in the entry above"},
        {{0, 1, 2, 0}, "port 5: 1 framing error, 2 overruns in the entry above"},
        {{0, 0, 0, 0}, ""},
    };
    for (const auto& c : cases) {
        form.MainRich->Clear();
        line.errors = c.errors;
        Arrive("\xE5\x17X");
        ASSERT_TRUE(ProcessEventsUntil([&] { return Shows("58 \r\n") || Shows("X\r\n"); })) << form.MainRich->Text();
        ProcessEventsFor(60);
        const ByteString text = form.MainRich->Text();
        const size_t entry = text.find("\r\n"), note = text.find(" port 5: ");
        if (*c.note) {
            EXPECT_NE(text.find(std::string(c.note) + "\r\n"), ByteString::npos) << text;
            EXPECT_GT(note, entry) << "the note follows the entry";
        } else {
            EXPECT_EQ(note, ByteString::npos) << text;
        }
    }
    // Without the settings in use, the window's rules hold: no notes.
    ClickConnect(form);
    Choose({"0", "19200", "8", "Even", "1", "None"});
    ClickConnect(form);
    form.MainRich->Clear();
    line.errors = {1, 1, 1, 1};
    Arrive("X");
    ASSERT_TRUE(ProcessEventsUntil([&] { return Shows("58 \r\n") || Shows("X\r\n"); }));
    ProcessEventsFor(60);
    EXPECT_FALSE(Shows("port 5:")) << form.MainRich->Text();
}

TEST_F(RecordingDeviceTest, UnderRtsCtsTheDriverHasRtsAndTheItemSaysSo) {
    EXPECT_TRUE(RtsItem().Enabled());
    Choose({"1", "115200", "8", "None", "1", "RTS/CTS"});
    EXPECT_FALSE(RtsItem().Enabled()) << "greyed as soon as the settings are in use";
    ClickConnect(form);
    ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
    EXPECT_EQ(line.settings.Flow, LineSettings::RtsCtsFlow);
    EXPECT_FALSE(RtsItem().Enabled());
    EXPECT_EQ(RtsItem().Label(), "&RTS (RTS/CTS flow control drives it)");
    RtsItem().Run();
    EXPECT_TRUE(line.rts) << "a click does not take RTS from the driver";
    ClickConnect(form);
    Choose({"1", "115200", "8", "None", "1", "None"});
    EXPECT_TRUE(RtsItem().Enabled());
    EXPECT_EQ(RtsItem().Label(), "&RTS");
}

}  // namespace

namespace {

// Connect and a port that comes back go through one sequence: the same settings asked,
// the same read-back said, and a refusal said the same way, the port closed again (on
// the way back in a note, reconnecting going on).
TEST_F(RecordingDeviceTest, ConnectAndAPortComingBackShareOneSequence) {
    struct Case {
        uint32_t rounded;
        bool refuse;
        const char* said;
    };
    const Case cases[] = {
        {0, false, "port 5: 250000 8E1, no flow control\r\n"},
        {249600, false, "port 5: asked for 250000, the port runs at 249600\r\n"},
        {0, true, "port 5: the port refused 250000 8E1"},
    };
    Choose({"1", "250000", "8", "Even", "1", "None"});
    PortSession& session = form.Features().Session();
    session.IsPresent = [](uint8_t) { return true; };
    session.ReconnectClick();
    for (const Case& c : cases)
        for (const bool comingBack : {false, true}) {
            SCOPED_TRACE(std::string(c.said) + (comingBack ? " coming back" : " at Connect"));
            watcher.boxes.clear();
            line.roundedRate = comingBack ? 0 : c.rounded;
            line.refuseSettings = !comingBack && c.refuse;
            line.settings = {};
            ClickConnect(form);
            if (comingBack) {
                ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
                line.roundedRate = c.rounded;
                line.refuseSettings = c.refuse;
                line.settings = {};
                form.MainRich->Clear();
                session.PortLost();
                EXPECT_TRUE(ProcessEventsUntil([&] { return Shows(c.said); }, 3000)) << form.MainRich->Text();
                EXPECT_EQ(Shows("port 5 back\r\n"), !c.refuse) << form.MainRich->Text();
                EXPECT_EQ(Shows("port 5 is back but cannot be opened: port 5: the port refused"), c.refuse);
                EXPECT_EQ(session.Reconnecting(), c.refuse) << "a refusal leaves reconnecting going on";
            } else {
                EXPECT_TRUE(Shows(c.said)) << form.MainRich->Text();
                EXPECT_EQ(form.ConnectButton->Caption(), c.refuse ? "Connect" : "Disconnect");
            }
            EXPECT_EQ(watcher.boxes.size(), !comingBack && c.refuse ? 1u : 0u) << "a box at Connect only";
            EXPECT_EQ(line.deviceOpen, !c.refuse) << "a port that refused is closed again";
            if (!c.refuse) {
                EXPECT_EQ(line.settings.Parity, LineSettings::EvenParity);
            }
            if (form.ConnectButton->Caption() == "Disconnect") ClickConnect(form);
        }
    session.ReconnectClick();
}

}  // namespace
