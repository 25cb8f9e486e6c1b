// Faults over pseudo-terminals: a device that goes away, many connects, a flood while a
// box is open, a device that does not read, a port that is not a terminal.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "tests/click_connect.h"
#include "bench/bench_support.h"
#include "platform/window/driver.h"
#include "platform/window/history_pane.h"
#include "platform/device/serial_device.h"
#include "platform/device/posix/uucp_lock.h"
#include "tests/box_watcher.h"
#include "tests/port_fixture.h"
#include "ui/main_form.h"

namespace {

using namespace std::chrono_literals;

class FaultTest : public PortFixture {};

TEST_F(FaultTest, DeviceThatGoesAwayMidStreamNeitherCrashesNorComplains) {
    BoxWatcher watcher;
    TMainForm form;
    ClickConnect(form);
    ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect");
    std::thread stream([&] {
        for (int i = 0; i < 50; ++i) {
            device.Write(ByteString(100, 's'));
            std::this_thread::sleep_for(2ms);
        }
        device.CloseMaster();
    });
    ProcessEventsFor(400);
    stream.join();
    ProcessEventsFor(200);
    EXPECT_TRUE(watcher.boxes.empty());
    EXPECT_EQ(form.ConnectButton->Caption(), "Disconnect");
    ClickConnect(form);
    EXPECT_EQ(form.ConnectButton->Caption(), "Connect");

    VirtualDevice back;
    back.LinkAsPort(ports.Path(), 5);
    ClickConnect(form);
    EXPECT_EQ(form.ConnectButton->Caption(), "Disconnect");
    EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(FaultTest, ThousandConnectCyclesLeaveNoDescriptorOrThreadBehind) {
    TMainForm form;
    ClickConnect(form);
    ClickConnect(form);
    const int descriptors = CountEntries("/proc/self/fd");
    const int threads = CountEntries("/proc/self/task");
    for (int cycle = 0; cycle < 1000; ++cycle) {
        ClickConnect(form);
        ASSERT_EQ(form.ConnectButton->Caption(), "Disconnect") << cycle;
        ClickConnect(form);
    }
    EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors);
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
}

TEST_F(FaultTest, FloodWhileABoxIsOpenLosesNothing) {
    BoxWatcher watcher(1000);  // the box stays open a second
    TMainForm form;
    ByteString shown;
    ComPort->OnReceive = [&](const ByteString& text) {
        form.ComReceive(text);
        shown += text;
    };
    ClickConnect(form);

    ByteString sent(1 << 20, '\0');
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>('A' + (i * 7 + i / 4099) % 26);
    std::thread flood([&] { device.Write(sent); });
    // A typed line longer than the whole history in hex: its box opens while the flood goes on.
    form.LineEdit->SetText(ByteString(30000, 'x'));
    platform::PressKey(*form.LineEdit, platform::Key::Enter);
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "RichEdit line insertion error.");
    ASSERT_TRUE(ProcessEventsUntil([&] { return shown.size() >= sent.size(); }, 30000)) << shown.size();
    flood.join();
    ProcessEventsFor(200);
    EXPECT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(shown.size(), sent.size());
    EXPECT_TRUE(shown == sent) << "every byte once, in order";
    EXPECT_EQ(device.Read(1, 50ms), "") << "the refused line is not sent";
}

TEST_F(FaultTest, WriteToADeviceThatDoesNotReadArrivesWholeWhenItDrains) {
    TMainForm form;
    ClickConnect(form);
    ByteString line;
    for (int i = 0; i < 100000; ++i) line += static_cast<char>('a' + i % 26);
    ByteString heard;
    std::thread lateReader([&] {
        std::this_thread::sleep_for(500ms);  // the device reads nothing for a while
        heard = device.Read(line.size() + 1, 10s);
    });
    EXPECT_EQ(ComPort->Send(line), static_cast<int32_t>(line.size() + 1));  // blocks until taken
    lateReader.join();
    EXPECT_EQ(heard.size(), line.size() + 1);
    EXPECT_TRUE(heard == line + "\r");
}

// Starts the terminal connected to port 5 in a process of its own; its pid, once the
// port is open.
pid_t StartConnectedTerminal(const char* mode = nullptr) {
    int out[2];
    if (pipe(out) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        execl(CONNECTED_WINDOW, CONNECTED_WINDOW, mode, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    char said[32] = {};
    pollfd ready{out[0], POLLIN, 0};
    const bool answered = poll(&ready, 1, 10000) == 1 && read(out[0], said, sizeof said - 1) > 0;
    close(out[0]);
    if (!answered || std::string(said) != "connected\n") {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return -1;
    }
    return child;
}

bool ExitsWithin(pid_t child, std::chrono::milliseconds limit, int& status) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(child, &status, WNOHANG) == child) return true;
        std::this_thread::sleep_for(10ms);
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return false;
}

void ExpectPortReleased(const std::string& slave, int signal) {
    int probe = open(slave.c_str(), O_RDWR | O_NOCTTY);
    int exclusive = -1;
    EXPECT_EQ(ioctl(probe, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "signal " << signal << ": the exclusive flag is released";
    close(probe);
    EXPECT_NE(access(platform::UucpLockPath(slave).c_str(), F_OK), 0) << "signal " << signal << ": the lock file is gone";
    EXPECT_TRUE(platform::OpenSerialPort(5)) << "signal " << signal;
}

TEST_F(FaultTest, EndedBySignalTheTerminalReleasesThePort) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        const pid_t terminal = StartConnectedTerminal();
        ASSERT_GT(terminal, 0) << "signal " << signal;
        EXPECT_FALSE(platform::OpenSerialPort(5)) << "held while the terminal runs";
        kill(terminal, signal);
        int status = 0;
        ASSERT_TRUE(ExitsWithin(terminal, 5s, status)) << "signal " << signal;
        EXPECT_TRUE(WIFEXITED(status)) << "signal " << signal << ": ended by the signal itself";
        ExpectPortReleased(device.SlavePath(), signal);
    }
}

// A send to a device that reads nothing would wait minutes at 9600 baud; a signal ends
// it at once, and the port is released all the same. A broken pipe ends nothing.
TEST_F(FaultTest, SignalDuringAStuckSendEndsTheTerminalAtOnce) {
    for (int signal : {SIGTERM, SIGINT}) {
        const pid_t terminal = StartConnectedTerminal("send-stuck");
        ASSERT_GT(terminal, 0) << "signal " << signal;
        std::this_thread::sleep_for(300ms);  // into the send's wait
        kill(terminal, SIGPIPE);
        kill(terminal, signal);
        int status = 0;
        ASSERT_TRUE(ExitsWithin(terminal, 1500ms, status)) << "signal " << signal;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "signal " << signal;
        ExpectPortReleased(device.SlavePath(), signal);
    }
}

TEST_F(FaultTest, PortThatIsNotATerminalFailsAsComError) {
    BoxWatcher watcher;
    TMainForm form;
    char file[] = "/tmp/comterm-notatty-XXXXXX";
    close(mkstemp(file));
    ASSERT_EQ(symlink(file, (ports.Path() + "/COM7").c_str()), 0);
    ASSERT_EQ(symlink(ports.Path().c_str(), (ports.Path() + "/COM8").c_str()), 0);
    for (const char* port : {"7", "8"}) {
        form.PortEdit->SetText(port);
        ClickConnect(form);
        EXPECT_EQ(form.ConnectButton->Caption(), "Connect");
    }
    ASSERT_EQ(watcher.boxes.size(), 2u);
    for (const ShownBox& box : watcher.boxes) EXPECT_EQ(box.caption, "Com Error");
    unlink(file);
}

}  // namespace
