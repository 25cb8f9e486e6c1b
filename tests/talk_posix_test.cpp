// On Linux: the port's device going away and coming back under its number, and the
// modem-line ioctls as they are asked of the driver.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <regex>
#include <thread>

#include "tests/click_connect.h"
#include "platform/device/posix/modem_lines.h"
#include "tests/box_watcher.h"
#include "tests/port_fixture.h"
#include "ui/line_sender.h"
#include "ui/features.h"
#include "ui/main_form.h"
#include "ui/port_session.h"

namespace {

using namespace std::chrono_literals;

class LostAndBackTest : public PortFixture {
protected:
    void SetUp() override {
        PortFixture::SetUp();
        form.FormatRadios->SetItemIndex(0);
        ClickConnect(form);
        ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
    }
    void TearDown() override {
        if (reconnect) form.Features().Session().ReconnectClick();  // kept: the next test starts without it
    }
    bool Shows(const std::string& text) { return form.MainRich->Text().find(text) != std::string::npos; }
    void TurnOnReconnect() {
        platform::FindCommand(form.MainRich->ContextCommands(), "Reconnect Automatically").Run();
        reconnect = true;
    }
    TMainForm form;
    BoxWatcher watcher;
    bool reconnect = false;
};

TEST_F(LostAndBackTest, ADeviceThatComesBackUnderItsNumberIsOpenedAgain) {
    TurnOnReconnect();
    device.CloseMaster();
    ASSERT_TRUE(ProcessEventsUntil([&] { return Shows("port 5 lost: the device went away"); }));
    EXPECT_TRUE(form.Features().Session().Reconnecting());
    ProcessEventsFor(700);
    EXPECT_FALSE(Shows("back")) << "nothing there yet";

    VirtualDevice again;
    again.LinkAsPort(ports.Path(), 5);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Shows("port 5 back"); }));
    EXPECT_FALSE(form.Features().Session().Reconnecting());
    ASSERT_TRUE(again.Write("hello"));
    EXPECT_TRUE(ProcessEventsUntil([&] { return Shows(" hello\r\n"); }));
    form.LineEdit->SetText("still talking");
    platform::PressKey(*form.LineEdit, platform::Key::Enter);
    EXPECT_EQ(again.Read(14, 2s), "still talking\r");
    EXPECT_TRUE(std::regex_search(form.MainRich->Text(), std::regex("lost: the device went away\r\n[^\r]* port 5 back\r\n")));
    EXPECT_TRUE(watcher.boxes.empty());
}

// A device that is back but held elsewhere is tried again as often as it is looked for,
// not less and less often as a server is: it is opened soon after it is let go.
TEST_F(LostAndBackTest, ADeviceBackButHeldIsOpenedSoonAfterItIsLetGo) {
    TurnOnReconnect();
    device.CloseMaster();
    ASSERT_TRUE(ProcessEventsUntil([&] { return Shows("port 5 lost: the device went away"); }));
    VirtualDevice again;
    again.LinkAsPort(ports.Path(), 5);
    auto holder = platform::OpenSerialPort(5);
    ASSERT_TRUE(holder) << platform::LastOpenFailure();
    ASSERT_TRUE(ProcessEventsUntil([&] { return Shows("port 5 is back but cannot be opened: port 5 ("); })) << form.MainRich->Text();
    ProcessEventsFor(5000);  // a server would next be asked 9.3 s after the first try
    EXPECT_FALSE(Shows("port 5 back"));
    holder.reset();
    const auto letGo = std::chrono::steady_clock::now();
    ASSERT_TRUE(ProcessEventsUntil([&] { return Shows("port 5 back"); }, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - letGo, 1500ms);
    EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(LostAndBackTest, WithoutReconnectingTheLostPortStaysAsItWas) {
    device.CloseMaster();
    ASSERT_TRUE(ProcessEventsUntil([&] { return Shows("port 5 lost"); }));
    VirtualDevice again;
    again.LinkAsPort(ports.Path(), 5);
    ProcessEventsFor(1000);
    EXPECT_FALSE(Shows("back"));
    EXPECT_EQ(form.ConnectButton->Caption(), "Disconnect");
    ClickConnect(form);
    ClickConnect(form);  // Disconnect then Connect, as ever
    ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
    ASSERT_TRUE(again.Write("new"));
    EXPECT_TRUE(ProcessEventsUntil([&] { return Shows(" new\r\n"); }));
}

TEST_F(LostAndBackTest, DisconnectWhileWaitingStopsWaiting) {
    TurnOnReconnect();
    device.CloseMaster();
    ASSERT_TRUE(ProcessEventsUntil([&] { return form.Features().Session().Reconnecting(); }));
    ClickConnect(form);
    EXPECT_EQ(form.ConnectButton->Caption(), "Connect");
    EXPECT_FALSE(form.Features().Session().Reconnecting());
    VirtualDevice again;
    again.LinkAsPort(ports.Path(), 5);
    ProcessEventsFor(800);
    EXPECT_FALSE(Shows("back"));
    EXPECT_FALSE(ComPort->IsOpen());
}

// What the modem-line calls ask of the driver, recorded by a stand-in for ioctl.
struct AskedIoctl {
    unsigned long request;
    int bits;
};

TEST(ModemLines, TheIoctlsAskedForEachChoice) {
    std::vector<AskedIoctl> asked;
    int answer = 0, linesIn = 0;
    const platform::ModemIoctl record = [&](int, unsigned long request, int* bits) {
        if (request == TIOCMGET && bits) *bits = linesIn;
        asked.push_back({request, bits ? *bits : -1});
        return answer;
    };
    struct Case {
        bool dtr, rts;
        std::vector<std::pair<unsigned long, int>> calls;
    } cases[] = {
        {true, true, {{TIOCMBIS, TIOCM_DTR | TIOCM_RTS}}},
        {false, false, {{TIOCMBIC, TIOCM_DTR | TIOCM_RTS}}},
        {true, false, {{TIOCMBIS, TIOCM_DTR}, {TIOCMBIC, TIOCM_RTS}}},
        {false, true, {{TIOCMBIS, TIOCM_RTS}, {TIOCMBIC, TIOCM_DTR}}},
    };
    for (const Case& c : cases) {
        asked.clear();
        EXPECT_TRUE(platform::SetModemControlLines(3, c.dtr, c.rts, record));
        ASSERT_EQ(asked.size(), c.calls.size());
        for (size_t i = 0; i < asked.size(); ++i) {
            EXPECT_EQ(asked[i].request, c.calls[i].first);
            EXPECT_EQ(asked[i].bits, c.calls[i].second);
        }
    }
    linesIn = TIOCM_CTS | TIOCM_CD;
    platform::SerialDevice::ModemStatus status;
    ASSERT_TRUE(platform::ReadModemStatusLines(3, status, record));
    EXPECT_TRUE(status.cts && status.cd);
    EXPECT_FALSE(status.dsr || status.ri);

    answer = -1;  // a device without the lines, as a pseudo-terminal
    EXPECT_FALSE(platform::SetModemControlLines(3, false, true, record));
    EXPECT_FALSE(platform::ReadModemStatusLines(3, status, record));
    EXPECT_FALSE(platform::SetBreakCondition(3, true, record));
}

}  // namespace

namespace {

// A big file at the pace of a fast line, and a cancel part-way through a slow one.
class SendFileTest : public PortFixture {
protected:
    void SetUp() override {
        PortFixture::SetUp();
        ClickConnect(form);
        ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
    }
    std::string Write(const ByteString& content) {
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    ~SendFileTest() override { std::remove(path.c_str()); }
    const std::string path = "/tmp/comterm-send-" + std::to_string(getpid()) + ".bin";
    TMainForm form;
    BoxWatcher watcher;
};

TEST_F(SendFileTest, TwentyMegabytesArriveWholeAndInOrder) {
    ComPort->SetBaud(921600);
    ByteString content(20 << 20, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>((i * 31 + i / 256) & 0xFF);
    form.Features().Sender().SendFile(Write(content));
    ByteString arrived;
    std::thread reader([&] { arrived = device.Read(content.size(), 120s); });
    EXPECT_TRUE(ProcessEventsUntil([&] { return !form.Features().Sender().SendingFile(); }, 120000));
    reader.join();
    ASSERT_EQ(arrived.size(), content.size());
    EXPECT_TRUE(arrived == content);
    EXPECT_NE(form.MainRich->Text().find("Sent file comterm-send-"), std::string::npos);
}

// The box's own Cancel, and its title bar's close button, each through the toolkit.
TEST_F(SendFileTest, CancelStopsWithinHalfASecondAndSaysHowFarItGot) {
    ComPort->SetBaud(9600);
    const std::string title = "Sending comterm-send-" + std::to_string(getpid()) + ".bin";
    const std::function<bool()> ways[] = {[&] { return platform::ClickBoxButton(title, "Cancel"); },
                                          [&] { return platform::CloseBox(title); }};
    for (const auto& cancel : ways) {
        form.Features().Sender().SendFile(Write(ByteString(1 << 20, 'x')));
        std::atomic<bool> reading{true};
        std::thread reader([&] {  // a far end that reads at about 9600 baud
            while (reading) {
                device.Read(96, std::chrono::milliseconds(100));
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
        ProcessEventsFor(500);
        ASSERT_TRUE(form.Features().Sender().SendingFile());
        const auto cancelled = std::chrono::steady_clock::now();
        EXPECT_TRUE(cancel());
        EXPECT_TRUE(ProcessEventsUntil([&] { return !form.Features().Sender().SendingFile(); }, 3000));
        EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::milliseconds(500));
        ProcessEventsFor(50);  // the box's own end, after its handling
        reading = false;
        reader.join();
        device.Read(1 << 20, std::chrono::milliseconds(100));
        EXPECT_TRUE(std::regex_search(form.MainRich->Text(),
                                      std::regex("Sending file comterm-send-[0-9]+\\.bin cancelled after [0-9]+ of 1048576 bytes")))
            << form.MainRich->Text();
        form.MainRich->Clear();
    }
    EXPECT_TRUE(watcher.boxes.empty());
}

// A FIFO with no writer would hold the open for ever, a device never ends.
TEST_F(SendFileTest, OnlyAFileIsSentAndAnythingElseIsRefusedWithWhatItIs) {
    const std::string fifo = path + ".fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {{fifo, "a FIFO"}, {"/dev/zero", "a device"}, {"/tmp", "a folder"}};
    for (const auto& [refused, kind] : cases) {
        const auto start = std::chrono::steady_clock::now();
        try {
            form.Features().Sender().SendFile(refused);
            ADD_FAILURE() << refused << ": a send started";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), "Could not read " + refused + ": " + kind + "; Send File sends a file's bytes");
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms) << refused;
        EXPECT_FALSE(form.Features().Sender().SendingFile());
    }
    std::remove(fifo.c_str());
    EXPECT_EQ(device.Read(1, 200ms), "") << "nothing sent";
}

// A line typed while a file goes out arrives whole between two of the file's pieces.
TEST_F(SendFileTest, ALineTypedMeanwhileArrivesWholeBetweenPieces) {
    ComPort->SetBaud(115200);
    const ByteString content(64 << 10, '.');
    form.Features().Sender().SendFile(Write(content));
    ByteString arrived;
    std::atomic<bool> sent{false};
    std::thread reader([&] {  // slow enough that the pieces wait on the line, written in parts
        for (;;) {
            const ByteString got = device.Read(64, sent ? 300ms : 2s);
            if (got.empty() && sent) break;
            arrived += got;
            std::this_thread::sleep_for(2ms);
        }
    });
    ProcessEventsFor(100);
    for (int i = 0; i < 20 && form.Features().Sender().SendingFile(); ++i) {
        form.LineEdit->SetText("TYPED" + std::to_string(i % 10));
        platform::PressKey(*form.LineEdit, platform::Key::Enter);
        ProcessEventsFor(5);
    }
    EXPECT_TRUE(ProcessEventsUntil([&] { return !form.Features().Sender().SendingFile(); }, 60000));
    sent = true;
    reader.join();
    size_t lines = 0;
    for (size_t at = 0; (at = arrived.find('T', at)) != ByteString::npos; ++at, ++lines)
        EXPECT_EQ(arrived.substr(at, 5), "TYPED") << "at " << at;
    EXPECT_GT(lines, 0u);
    EXPECT_EQ(arrived.size(), content.size() + lines * 7) << "every typed line whole";
}

}  // namespace
