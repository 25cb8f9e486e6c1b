// Ports on other machines, against the real server: ser2net on 127.0.0.1 serving a
// pseudo-terminal, reached through a port number linked to rfc2217:// or tcp://.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <random>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/window/driver.h"
#include "platform/window/menu.h"
#include "platform/device/port_scan.h"
#include "tests/box_watcher.h"
#include "tests/loop_probe.h"
#include "tests/port_fixture.h"
#include "tools/loopback_listener.h"
#include "tools/ser2net_server.h"
#include "ui/line_sender.h"
#include "ui/line_setup.h"
#include "ui/features.h"
#include "ui/main_form.h"
#include "ui/port_session.h"

namespace {

using namespace std::chrono_literals;
using platform::ProcessEventsFor;
using platform::ProcessEventsUntil;

// The line speed the serial side has been set to.
speed_t LineSpeed(const std::string& device) {
    const int fd = open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    tcgetattr(fd, &settings);
    close(fd);
    return cfgetospeed(&settings);
}

void LinkPort(const std::string& directory, int number, const std::string& target) {
    ASSERT_TRUE(LinkPortNumber(directory, number, target));
}

class NetworkPortTest : public PortFixture {
protected:
    void SetUp() override {
        PortFixture::SetUp();
        LinkPort(ports.Path(), 9, "rfc2217://127.0.0.1:" + std::to_string(server.telnetPort));
        LinkPort(ports.Path(), 10, "tcp://127.0.0.1:" + std::to_string(server.tcpPort));
        form.FormatRadios->SetItemIndex(1);  // 8-Bit Hex
    }
    // A network port opens off the GUI thread: the button changes at a later turn.
    void Connect(int port) {
        form.PortEdit->SetText(std::to_string(port));
        form.ConnectButton->Click();
        ASSERT_TRUE(ProcessEventsUntil([&] { return form.ConnectButton->Caption() == "Disconnect"; }, 5000))
            << form.PortEdit->Hint();
    }
    bool Shows(const std::string& text) { return form.MainRich->Text().find(text) != std::string::npos; }
    int Entries() {
        const std::string text = form.MainRich->Text();
        int count = 0;
        for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++count;
        return count;
    }

    Ser2netServer server{device.SlavePath()};
    TMainForm form;
    BoxWatcher watcher;
};

TEST_F(NetworkPortTest, BytesGoBothWaysWithEvery0xFFIntact) {
    Connect(9);
    const ByteString from(ByteString("\x01\xFF\xFF\xFF" "A\xFF", 6));
    ASSERT_TRUE(device.Write(from));
    EXPECT_TRUE(ProcessEventsUntil([&] { return Shows("01 FF FF FF 41 FF \r\n"); }));
    form.LineEdit->SetText("AT");
    platform::PressKey(*form.LineEdit, platform::Key::Enter);
    EXPECT_EQ(device.Read(3, 2s), "AT\r");
    form.Features().Sender().InterpretEscapesClick();
    form.LineEdit->SetText("\\xFF\\xFF\\xFF\\x00");
    platform::PressKey(*form.LineEdit, platform::Key::Enter);
    EXPECT_EQ(device.Read(5, 2s), ByteString("\xFF\xFF\xFF\x00\r", 5)) << "0xFF reaches the line once each";
    form.Features().Sender().InterpretEscapesClick();
    EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(NetworkPortTest, EachBaudRateChosenIsTheOneTheLineGets) {
    Connect(9);
    const std::pair<int, speed_t> rates[] = {{19200, B19200}, {115200, B115200}, {9600, B9600}};
    for (const auto& [rate, speed] : rates) {
        ComPort->SetBaud(rate);
        EXPECT_TRUE(ProcessEventsUntil([&] { return LineSpeed(device.SlavePath()) == speed; })) << rate;
    }
}

termios LineFlags(const std::string& device) {
    const int fd = open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    tcgetattr(fd, &settings);
    close(fd);
    return settings;
}

// Each setting of the Line Settings box goes through the server to the far port: the
// pseudo-terminal behind it keeps rate, stop bits and flow control; data bits and parity
// the server answers for (a pseudo-terminal keeps neither), and as it answers what was
// asked, no note says otherwise.
TEST_F(NetworkPortTest, LineSettingsReachTheFarPortThroughTheServer) {
    struct Case {
        std::vector<ByteString> box;  // rate, data bits, parity, stop bits, flow
        speed_t speed;
        bool twoStopBits, rtsCts, xonXoff;
        const char* note;
    };
    const Case cases[] = {
        {{"115200", "8", "None", "2", "RTS/CTS"}, B115200, true, true, false, "port 9: 115200 8N2, RTS/CTS flow control"},
        {{"38400", "8", "None", "1", "XON/XOFF"}, B38400, false, false, true, "port 9: 38400 8N1, XON/XOFF flow control"},
        {{"19200", "7", "Even", "1", "None"}, B19200, false, false, false, "port 9: 19200 7E1, no flow control"},
    };
    form.PortEdit->SetText("9");
    for (const Case& c : cases) {
        platform::FindCommand(form.MainRich->ContextCommands(), "Line Settings...").Run();
        std::vector<ByteString> values = c.box;
        values.insert(values.begin(), "1");
        form.Features().Line().Box()->SetValues(values);
        ASSERT_TRUE(form.Features().Line().Box()->Accept()) << form.Features().Line().Box()->Status();
        Connect(9);
        EXPECT_TRUE(ProcessEventsUntil([&] { return LineSpeed(device.SlavePath()) == c.speed; })) << c.note;
        const termios far = LineFlags(device.SlavePath());
        EXPECT_EQ((far.c_cflag & CSTOPB) != 0, c.twoStopBits) << c.note;
        EXPECT_EQ((far.c_cflag & CRTSCTS) != 0, c.rtsCts) << c.note;
        EXPECT_EQ((far.c_iflag & IXON) != 0, c.xonXoff) << c.note;
        EXPECT_TRUE(Shows(std::string(c.note) + "\r\n")) << form.MainRich->Text();
        ProcessEventsFor(800);  // the server's answers are in
        EXPECT_FALSE(Shows("far port")) << form.MainRich->Text();
        form.ConnectButton->Click();
        form.MainRich->Clear();
    }
    platform::FindCommand(form.MainRich->ContextCommands(), "Line Settings...").Run();
    form.Features().Line().Box()->SetValues({"0"});
    form.Features().Line().Box()->Accept();
    EXPECT_TRUE(watcher.boxes.empty());
}

// ser2net with its defaults holds what it reads for up to 20 ms: a burst is one entry
// all the same, every time.
TEST_F(NetworkPortTest, BurstsAreFramedByTheirGapsOnTheWire) {
    Connect(9);
    ASSERT_TRUE(device.Write("!"));  // the line's settings have reached the far port once this is back
    ASSERT_TRUE(ProcessEventsUntil([&] { return Shows("21 \r\n"); }));
    ProcessEventsFor(200);
    const ByteString burst = "0123456789012345678901234567890123456789";
    int runs = 0;
    for (int tries = 0; runs < 20 && tries < 60; ++tries) {
        form.MainRich->Clear();
        auto last = std::chrono::steady_clock::now();
        std::chrono::steady_clock::duration widest{};
        for (char byte : burst) {
            device.Write(ByteString(1, byte));
            std::this_thread::sleep_for(2ms);
            widest = std::max(widest, std::chrono::steady_clock::now() - last);
            last = std::chrono::steady_clock::now();
        }
        ASSERT_TRUE(ProcessEventsUntil([&] { return Entries() > 0 && Shows("38 39 \r\n"); }));
        ProcessEventsFor(100);
        if (widest > 8ms) continue;  // a loaded machine paused the writer: not a 2 ms burst
        ++runs;
        ASSERT_EQ(Entries(), 1) << "run " << runs << ", 2 ms gaps: one burst\n" << form.MainRich->Text();
    }
    EXPECT_EQ(runs, 20) << "bursts with 2 ms gaps could be written";
    form.MainRich->Clear();
    device.Write("ab");
    ProcessEventsFor(100);
    device.Write("cd");
    ASSERT_TRUE(ProcessEventsUntil([&] { return Shows("63 64 \r\n"); }));
    ProcessEventsFor(150);
    EXPECT_EQ(Entries(), 2) << "100 ms apart: two entries\n" << form.MainRich->Text();
}

// The network and the server hold megabytes ahead of a far end that reads slowly: a
// file sent through them goes on while it moves, and arrives whole.
TEST_F(NetworkPortTest, AFileToASlowFarEndGoesOnWhileItMoves) {
    Connect(9);
    const std::string path = "/tmp/comterm-network-send-" + std::to_string(getpid()) + ".bin";
    ByteString content(2 << 20, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 26);
    std::ofstream(path, std::ios::binary) << content;
    ByteString arrived;
    std::atomic<bool> reading{true};
    std::thread farEnd([&] {  // a few hundred kB/s, well behind what the network takes at once
        while (reading || arrived.size() < content.size()) {
            const ByteString got = device.Read(2048, 10ms);
            if (got.empty() && !reading) break;
            arrived += got;
            std::this_thread::sleep_for(5ms);
        }
    });
    form.Features().Sender().SendFile(path);
    const bool ended = ProcessEventsUntil([&] { return !form.Features().Sender().SendingFile(); }, 60000);
    reading = false;
    farEnd.join();
    std::remove(path.c_str());
    EXPECT_TRUE(ended);
    EXPECT_TRUE(Shows("Sent file comterm-network-send-" + std::to_string(getpid()) + ".bin: 2097152 bytes"))
        << form.MainRich->Text().substr(form.MainRich->Text().size() > 300 ? form.MainRich->Text().size() - 300 : 0);
    EXPECT_EQ(arrived.size(), content.size());
    EXPECT_TRUE(arrived == content) << "whole and in order";
}

// While the network's buffers are full of a file, Enter and DTR still answer at once: the
// line goes between two pieces, whole, and DTR's command between two parts of a piece.
TEST_F(NetworkPortTest, EnterAndDtrDoNotWaitBehindAFileOnItsWay) {
    Connect(9);
    const std::string path = "/tmp/comterm-network-enter-" + std::to_string(getpid()) + ".bin";
    ByteString content(12 << 20, '\0');  // more than the network and the server hold
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 26);
    std::ofstream(path, std::ios::binary) << content;
    ByteString arrived;
    std::atomic<bool> reading{true};
    std::thread farEnd([&] {
        while (reading || arrived.size() < content.size() + 7) {
            const ByteString got = device.Read(4096, 10ms);
            if (got.empty() && !reading) break;
            arrived += got;
            std::this_thread::sleep_for(2ms);
        }
    });
    form.Features().Sender().SendFile(path);
    ProcessEventsFor(1500);  // the buffers on the way are full by now
    EXPECT_TRUE(form.Features().Sender().SendingFile()) << form.MainRich->Text();
    auto took = [](const std::function<void()>& act) {
        const auto start = std::chrono::steady_clock::now();
        act();
        return std::chrono::steady_clock::now() - start;
    };
    form.LineEdit->SetText("TYPED!");
    const auto enter = took([&] { platform::PressKey(*form.LineEdit, platform::Key::Enter); });
    const auto dtr = took([&] { form.Features().Session().DtrClick(); });
    EXPECT_LT(enter, 50ms);
    EXPECT_LT(dtr, 50ms);
    const bool ended = ProcessEventsUntil([&] { return !form.Features().Sender().SendingFile(); }, 60000);
    reading = false;
    farEnd.join();
    std::remove(path.c_str());
    form.Features().Session().DtrClick();
    EXPECT_TRUE(ended);
    const size_t typed = arrived.find("TYPED!\r");
    ASSERT_NE(typed, ByteString::npos) << "the line arrived";
    EXPECT_TRUE(arrived.substr(0, typed) + arrived.substr(typed + 7) == content) << "whole, between two pieces";
}

TEST_F(NetworkPortTest, PlainTcpCarriesTheBytesAsTheyAre) {
    Connect(10);
    ASSERT_TRUE(device.Write(ByteString("\xFF\xFB\x01z", 4)));
    EXPECT_TRUE(ProcessEventsUntil([&] { return Shows("FF FB 01 7A \r\n"); }));
    form.LineEdit->SetText("hi");
    platform::PressKey(*form.LineEdit, platform::Key::Enter);
    EXPECT_EQ(device.Read(3, 2s), "hi\r");
}

TEST_F(NetworkPortTest, AServerThatStopsIsALostDeviceAndOneThatComesBackIsReconnected) {
    platform::FindCommand(form.MainRich->ContextCommands(), "Reconnect Automatically").Run();
    Connect(9);
    server.Stop();
    ASSERT_TRUE(ProcessEventsUntil([&] { return Shows("port 9 lost"); }, 5000));
    EXPECT_TRUE(form.Features().Session().Reconnecting());
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(ProcessEventsUntil([&] { return Shows("port 9 back"); }, 10000));
    ASSERT_TRUE(device.Write("again"));
    EXPECT_TRUE(ProcessEventsUntil([&] { return Shows("61 67 61 69 6E \r\n"); }));
    platform::FindCommand(form.MainRich->ContextCommands(), "Reconnect Automatically").Run();
    EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(NetworkPortTest, TheNumbersAreListedWithTheirAddresses) {
    const std::string listed = platform::ListPorts(platform::PortRoots::System());
    EXPECT_NE(listed.find("9  rfc2217://127.0.0.1:" + std::to_string(server.telnetPort) + "\n"), std::string::npos) << listed;
    EXPECT_NE(listed.find("10  tcp://127.0.0.1:" + std::to_string(server.tcpPort)), std::string::npos) << listed;
    EXPECT_NE(form.PortEdit->Hint().find("rfc2217://127.0.0.1"), std::string::npos);
}

// A server that cannot be had gives the Com Error box, with why on standard error, in
// at most the connect limit, and the click itself returns at once.
TEST(NetworkPortFailure, EachUnreachableServerIsRefusedWithWhy) {
    TempPortsDirectory ports;
    LoopbackListener silent;  // takes connections, never says a word
    struct Case {
        std::string target, why;
    } cases[] = {
        {"rfc2217://127.0.0.1:" + std::to_string(Ser2netServer::FreePort()), "connection refused"},
        {"rfc2217://no-such-host.invalid:2001", "no such host"},
        {silent.Rfc2217Address(), "never answered"},
        {"rfc2217://lab-pi", "HOST:PORT"},
    };
    TMainForm form;
    BoxWatcher watcher;
    form.PortEdit->SetText("9");
    for (const Case& c : cases) {
        LinkPort(ports.Path(), 9, c.target);
        const auto start = std::chrono::steady_clock::now();
        form.ConnectButton->Click();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms) << c.target << ": the click returns at once";
        ASSERT_TRUE(ProcessEventsUntil([&] { return !watcher.boxes.empty(); }, 5000)) << c.target;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 4s) << c.target;
        EXPECT_EQ(form.ConnectButton->Caption(), "Connect") << c.target;
        EXPECT_NE(form.PortEdit->Hint().find(c.why), std::string::npos) << c.target << ": " << form.PortEdit->Hint();
        ASSERT_EQ(watcher.boxes.size(), 1u) << c.target;
        EXPECT_EQ(watcher.boxes[0].caption, "Com Error");
        watcher.boxes.clear();
    }
}

// A listener that takes the connection and never says a word: Connect holds nothing.
class SilentServerTest : public ::testing::Test {
protected:
    SilentServerTest() {
        LinkPort(ports.Path(), 9, silent.Rfc2217Address());
        form.PortEdit->SetText("9");
    }
    TempPortsDirectory ports;
    LoopbackListener silent;
    TMainForm form;
    BoxWatcher watcher;
};

// Timers go on at the top of the loop while a Connect waits: never inside the click.
TEST_F(SilentServerTest, TimersTickAtTheTopLevelWhileAConnectWaits) {
    LoopProbe probe;
    probe.Inside([&] { form.ConnectButton->Click(); });
    form.ConnectButton->Click();  // a second click starts no second attempt
    ASSERT_TRUE(ProcessEventsUntil([&] { return !watcher.boxes.empty(); }, 6000));
    probe.Stop();
    EXPECT_FALSE(probe.tickedInside);
    EXPECT_EQ(probe.deepest, 1);
    EXPECT_GT(probe.ticks, 50) << "the loop ran freely for the seconds the server took";
    EXPECT_EQ(watcher.boxes.size(), 1u);
    EXPECT_NE(form.PortEdit->Hint().find("never answered"), std::string::npos) << form.PortEdit->Hint();
}

// Keys typed while reconnecting to a server that never answers are all taken at once.
TEST_F(SilentServerTest, KeysTypedWhileReconnectingAreNeitherLostNorHeld) {
    platform::FindCommand(form.MainRich->ContextCommands(), "Reconnect Automatically").Run();
    form.Features().Session().Connected(9, 9600);  // as if connected, then the server went away
    form.Features().Session().PortLost();
    ASSERT_TRUE(form.Features().Session().Reconnecting());
    form.LineEdit->SetText("");
    std::chrono::steady_clock::duration slowest{};
    const std::string typed = "quickbrownfoxjumpsoverthelazydog";  // longer than an attempt takes
    for (char letter : typed) {
        const auto start = std::chrono::steady_clock::now();
        platform::PressShortcut(*form.LineEdit, std::string(1, static_cast<char>(letter - 'a' + 'A')));
        slowest = std::max(slowest, std::chrono::steady_clock::now() - start);
        ProcessEventsFor(150);
    }
    EXPECT_EQ(form.LineEdit->Text(), typed);
    EXPECT_LT(slowest, 50ms);
    EXPECT_TRUE(form.Features().Session().Reconnecting());
    EXPECT_NE(form.MainRich->Text().find("port 9 is back but cannot be opened: "), std::string::npos) << "tried meanwhile";
    platform::FindCommand(form.MainRich->ContextCommands(), "Reconnect Automatically").Run();
}

}  // namespace

namespace {

// A server on loopback that takes one connection, offers the COM-PORT-OPTION and hands
// the connection to `serve` on a thread of its own; ended and joined as it goes, so an
// owner declares it last.
class OptionServer {
public:
    using Serve = std::function<void(int connection)>;
    explicit OptionServer(Serve serve, int receiveBuffer = 0) {
        if (receiveBuffer) setsockopt(listener.fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        serving = std::thread([this, serve = std::move(serve)] {
            connection = accept(listener.fd, nullptr, nullptr);
            if (connection < 0) return;
            ::send(connection, "\xFF\xFD\x2C", 3, MSG_NOSIGNAL);  // DO COM-PORT-OPTION
            serve(connection);
        });
    }
    ~OptionServer() {
        stop = true;
        if (connection >= 0) shutdown(connection, SHUT_RDWR);
        listener.Close();
        serving.join();
        if (connection >= 0) close(connection);
    }
    std::string Address() const { return listener.Rfc2217Address(); }
    bool Stopping() const { return stop; }
    // Sends all of the bytes once connected; less when the connection ends.
    void Send(const ByteString& bytes) {
        while (connection < 0 && !stop) std::this_thread::sleep_for(1ms);
        for (size_t at = 0; at < bytes.size();) {
            const ssize_t sent = ::send(connection, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (sent <= 0) return;
            at += static_cast<size_t>(sent);
        }
    }

private:
    LoopbackListener listener;
    std::atomic<int> connection{-1};
    std::atomic<bool> stop{false};
    std::thread serving;
};

// A server of our own that speaks just enough RFC 2217 to misbehave as told: it answers
// every SET-BAUDRATE with `answeredRate`, tells the modem lines only when asked to, and
// sends what the test gives it.
class HandMadeServer {
public:
    explicit HandMadeServer(uint32_t answeredRate) : answeredRate(answeredRate) {}
    std::string Address() const { return server.Address(); }
    void Send(const ByteString& bytes) { server.Send(bytes); }
    std::atomic<bool> askedForModemLines{false};

private:
    void Serve(int connection) {
        ByteString heard;
        char buffer[4096];
        while (!server.Stopping()) {
            const ssize_t got = recv(connection, buffer, sizeof buffer, 0);
            if (got <= 0) return;
            heard.append(buffer, static_cast<size_t>(got));
            for (size_t at; (at = heard.find(ByteString("\xFF\xFA\x2C\x01", 4))) != ByteString::npos && heard.size() >= at + 10;) {
                heard.erase(0, at + 10);  // SET-BAUDRATE, four bytes, IAC SE: answered with our rate
                const uint32_t r = answeredRate;
                Send(ByteString("\xFF\xFA\x2C\x65", 4) + static_cast<char>(r >> 24) + static_cast<char>(r >> 16 & 0xFF) +
                     static_cast<char>(r >> 8 & 0xFF) + static_cast<char>(r & 0xFF) + "\xFF\xF0");
            }
            if (heard.find(ByteString("\xFF\xFA\x2C\x0B", 4)) != ByteString::npos) askedForModemLines = true;
        }
    }
    uint32_t answeredRate;
    OptionServer server{[this](int connection) { Serve(connection); }};
};

class HandMadeServerTest : public ::testing::Test {
protected:
    void ConnectTo(HandMadeServer& server) {
        LinkPort(ports.Path(), 11, server.Address());
        form.PortEdit->SetText("11");
        form.FormatRadios->SetItemIndex(1);
        form.ConnectButton->Click();
        ASSERT_TRUE(ProcessEventsUntil([&] { return form.ConnectButton->Caption() == "Disconnect"; }, 5000))
            << form.PortEdit->Hint();
    }
    bool Shows(const std::string& text) { return form.MainRich->Text().find(text) != std::string::npos; }
    ByteString Reading() {
        for (const platform::MenuCommand& item : platform::FindCommand(form.MainRich->ContextCommands(), "Port").Items)
            if (item.Reading) return item.Reading();
        return "";
    }
    TempPortsDirectory ports;
    TMainForm form;
    BoxWatcher watcher;
};

// A far port that takes another rate than asked is said once, a moment after Connect.
TEST_F(HandMadeServerTest, AFarPortThatRunsAtAnotherRateIsSaid) {
    HandMadeServer server(57600);
    ConnectTo(server);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Shows("port 11: the far port runs at 57600, not 9600"); }, 3000))
        << form.MainRich->Text();
    EXPECT_TRUE(server.askedForModemLines) << "asked to tell of the modem lines";
    EXPECT_EQ(Reading(), "Modem lines: not known yet");
    server.Send(ByteString("\xFF\xFA\x2C\x6B\x30\xFF\xF0", 7));  // NOTIFY-MODEMSTATE: CTS and DSR
    EXPECT_TRUE(ProcessEventsUntil([&] { return Reading() == "CTS on  DSR on  CD off  RI off"; })) << Reading();
    platform::LineSettings now;
    ASSERT_TRUE(ComPort->ReadBackLineSettings(now));
    EXPECT_EQ(now.BaudRate, 57600u) << "the send bound follows the far port";
}

TEST_F(HandMadeServerTest, AFarPortThatRunsAsAskedIsNotSaid) {
    HandMadeServer server(9600);
    ConnectTo(server);
    ProcessEventsFor(1000);
    EXPECT_FALSE(Shows("far port")) << form.MainRich->Text();
}

// A subnegotiation that goes on and on: dropped, and the data after its end is shown.
TEST_F(HandMadeServerTest, AnEndlessSubnegotiationCostsOnlyItself) {
    HandMadeServer server(9600);
    ConnectTo(server);
    server.Send(ByteString("\xFF\xFA\x2C\x6B", 4) + ByteString(1 << 20, 'x') + ByteString("\xFF\xF0" "after", 7));
    EXPECT_TRUE(ProcessEventsUntil([&] { return Shows("61 66 74 65 72 \r\n"); }, 10000)) << "the data after it";
    EXPECT_FALSE(Shows("78 78")) << "nothing of it shown";
    EXPECT_TRUE(watcher.boxes.empty());
}

}  // namespace

namespace {

// A server that takes the COM-PORT-OPTION and records the wire as it reads it, slowly
// (a far end that lags), or not at all while `stalled`.
class RecordingServer {
public:
    std::string Address() const { return server.Address(); }
    ByteString Heard() {
        std::lock_guard<std::mutex> guard(lock);
        return heard;
    }
    std::atomic<bool> stalled{false};

private:
    void Serve(int connection) {
        char buffer[8192];
        while (!server.Stopping()) {
            if (stalled) {
                std::this_thread::sleep_for(5ms);
                continue;
            }
            const ssize_t got = recv(connection, buffer, sizeof buffer, 0);
            if (got <= 0) return;
            {
                std::lock_guard<std::mutex> guard(lock);
                heard.append(buffer, static_cast<size_t>(got));
            }
            std::this_thread::sleep_for(1ms);
        }
    }
    std::mutex lock;
    ByteString heard;
    OptionServer server{[this](int connection) { Serve(connection); }, 16 << 10};  // a far end that lags holds little
};

// The wire read as a server reads it: the data, and each command (IAC SB ... IAC SE)
// whole. A lone IAC before anything but a doubling, a negotiation or a subnegotiation is
// a fault, and so is data inside a command.
struct TelnetStream {
    ByteString data;
    std::vector<ByteString> commands;
    int faults = 0;
    explicit TelnetStream(const ByteString& wire) {
        for (size_t at = 0; at < wire.size(); ++at) {
            const auto byte = static_cast<uint8_t>(wire[at]);
            if (byte != 0xFF) {
                data += wire[at];
                continue;
            }
            const auto next = at + 1 < wire.size() ? static_cast<uint8_t>(wire[at + 1]) : 0;
            if (next == 0xFF) {
                data += '\xFF';
                ++at;
            } else if (next >= 0xFB && next <= 0xFE) {
                at += 2;
            } else if (next == 0xFA) {
                const size_t end = wire.find("\xFF\xF0", at + 2);
                if (end == ByteString::npos) return;
                commands.push_back(wire.substr(at + 2, end - at - 2));
                at = end + 1;
            } else {
                ++faults;
            }
        }
    }
};

// Commands queued while a 0xFF-heavy file goes, and a purge asked meanwhile, reach the
// server whole between whole units of data: never inside a doubled 0xFF or another
// command, and every data byte arrives as written.
TEST(NetworkPortContract, CommandsGoWholeBetweenWholeTelnetUnits) {
    TempPortsDirectory ports;
    RecordingServer server;
    ASSERT_TRUE(LinkPortNumber(ports.Path(), 12, server.Address()));
    std::unique_ptr<platform::SerialDevice> device = platform::OpenSerialPort(12);
    ASSERT_TRUE(device) << platform::LastOpenFailure();
    platform::LineSettings line;
    line.BaudRate = 4000000;
    ASSERT_TRUE(device->SetLineSettings(line));
    ByteString file(4 << 20, '\0');
    std::mt19937 random(7);
    for (char& byte : file) byte = random() % 2 ? '\xFF' : static_cast<char>(random() % 255);
    std::atomic<bool> writing{true};
    int32_t written = 0;
    std::thread writer([&] {
        for (size_t at = 0; at < file.size(); at += 64 << 10)
            written += device->Write(reinterpret_cast<const uint8_t*>(file.data() + at), 64 << 10);
        writing = false;
    });
    int lines = 0;
    while (writing) {
        ASSERT_TRUE(device->SetModemControl(lines % 2 == 0, true));
        ++lines;
        std::this_thread::sleep_for(2ms);
    }
    writer.join();
    EXPECT_EQ(written, static_cast<int32_t>(file.size()));
    ASSERT_GT(lines, 20) << "commands were queued while the file went";
    ASSERT_TRUE(platform::ProcessEventsUntil([&] { return TelnetStream(server.Heard()).data.size() >= file.size(); }, 10000));
    platform::ProcessEventsFor(200);
    const TelnetStream stream(server.Heard());
    EXPECT_EQ(stream.faults, 0);
    EXPECT_TRUE(stream.data == file) << "the data as written, nothing of a command in it";
    int controls = 0;
    for (const ByteString& command : stream.commands) controls += command.size() == 3 && command[1] == '\x05';
    EXPECT_GE(controls, 2 * lines) << "every DTR and RTS command whole";
}

// A server that stops reading holds a write until a discard, which ends it at once; the
// modem lines meanwhile never wait on the wire.
TEST(NetworkPortContract, ADiscardEndsAWriteAServerHolds) {
    TempPortsDirectory ports;
    RecordingServer server;
    ASSERT_TRUE(LinkPortNumber(ports.Path(), 12, server.Address()));
    std::unique_ptr<platform::SerialDevice> device = platform::OpenSerialPort(12);
    ASSERT_TRUE(device) << platform::LastOpenFailure();
    platform::ProcessEventsFor(100);
    server.stalled = true;
    const ByteString file(64 << 20, 'x');
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        device->Write(reinterpret_cast<const uint8_t*>(file.data()), static_cast<uint32_t>(file.size()));
        writing = false;
    });
    std::this_thread::sleep_for(1s);
    ASSERT_TRUE(writing) << "the server holds the write";
    auto start = std::chrono::steady_clock::now();
    device->SetModemControl(false, true);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 50ms) << "DTR never waits on the wire";
    start = std::chrono::steady_clock::now();
    device->DiscardPendingOutput();
    while (writing && std::chrono::steady_clock::now() - start < 5s) std::this_thread::sleep_for(1ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms) << "the write ended at the discard";
    writer.join();
    server.stalled = false;
}

}  // namespace
