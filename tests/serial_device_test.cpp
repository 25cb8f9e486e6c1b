// The Linux serial device and the port object over a real pseudo-terminal.
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "platform/device/posix/port_map.h"
#include "platform/device/serial_device.h"
#include "platform/device/posix/uucp_lock.h"
#include "serial/com.h"
#include "tests/box_watcher.h"
#include "tests/port_fixture.h"

namespace {

using namespace std::chrono_literals;
using platform::IoStatus;

// Polls the outstanding read as the pump would, up to a generous limit.
IoStatus WaitForRead(platform::SerialDevice& port, uint32_t& count, std::chrono::milliseconds limit = 3s) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    IoStatus status;
    while ((status = port.CheckRead(count)) == IoStatus::Pending && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    return status;
}

class SerialDeviceTest : public PortFixture {
protected:
    std::unique_ptr<platform::SerialDevice> OpenPort5() {
        auto port = platform::OpenSerialPort(5);
        if (port) port->SetReadIntervalTimeout(5);
        return port;
    }
    // Starts the next read and waits for it, as the pump does.
    IoStatus ReadNext(platform::SerialDevice& port) {
        IoStatus status = port.StartRead(buffer, 255, count);
        return status == IoStatus::Pending ? WaitForRead(port, count) : status;
    }
    uint8_t buffer[255];
    uint32_t count = 0;
};

TEST(PortMap, LinkInPortsDirectoryElseTtyS) {
    TempPortsDirectory ports;
    EXPECT_EQ(platform::PortDevicePath(1).path, "/dev/ttyS0");
    EXPECT_EQ(platform::PortDevicePath(5).path, "/dev/ttyS4");
    EXPECT_EQ(platform::PortDevicePath(0).path, "");
    ASSERT_EQ(symlink("/dev/null", (ports.Path() + "/COM0").c_str()), 0);
    EXPECT_EQ(platform::PortDevicePath(0).path, ports.Path() + "/COM0");
}

TEST(VirtualDeviceLink, MakesAMissingPortsDirectoryWithItsParents) {
    TempPortsDirectory home;
    const std::string ports = home.Path() + "/.config/comterm/ports";
    VirtualDevice device;
    device.LinkAsPort(ports, 7);
    char target[256] = {};
    ASSERT_GT(readlink((ports + "/COM7").c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(target, device.SlavePath());
}

TEST_F(SerialDeviceTest, SecondOpenFailsWhileTheFirstHoldsThePort) {
    auto first = OpenPort5();
    ASSERT_TRUE(first);
    EXPECT_FALSE(platform::OpenSerialPort(5));
    // Another holder's flock keeps us out too.
    first.reset();
    int other = open(device.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(OpenPort5());
    close(other);
    EXPECT_TRUE(OpenPort5());
}

// A lock directory of the test's own, and the lock file of one made-up device in it.
class UucpLockFile : public ::testing::Test {
protected:
    UucpLockFile() {
        char pattern[] = "/tmp/comterm-lock-XXXXXX";
        directory = mkdtemp(pattern);
        lockFile = directory + "/LCK..ttyX9";
    }
    ~UucpLockFile() override {
        unlink(lockFile.c_str());
        rmdir(directory.c_str());
    }
    // A lock left by a process that no longer runs.
    void WriteStaleLock() const {
        FILE* stale = fopen(lockFile.c_str(), "w");
        fprintf(stale, "%10d\n", 0x3FFFFFF0);  // no such process
        fclose(stale);
    }

    std::string directory;
    std::string lockFile;
};

TEST_F(UucpLockFile, StaleIsTakenOverALiveOneRefuses) {
    WriteStaleLock();
    {
        platform::UucpLock lock("/dev/ttyX9", directory);
        EXPECT_TRUE(lock.Acquired());
        platform::UucpLock second("/dev/ttyX9", directory);
        EXPECT_FALSE(second.Acquired());
    }
    EXPECT_NE(access(lockFile.c_str(), F_OK), 0) << "released on close";
    platform::UucpLock unwritable("/dev/ttyX9", "/nonexistent");
    EXPECT_TRUE(unwritable.Acquired());
}

// Some programs write the PID as 4 binary bytes: such a lock names its holder too.
TEST_F(UucpLockFile, BinaryPidsNameTheirHolder) {
    for (int32_t pid : {static_cast<int32_t>(getpid()), int32_t{0x3FFFFFF0}}) {
        FILE* file = fopen(lockFile.c_str(), "w");
        fwrite(&pid, sizeof pid, 1, file);
        fclose(file);
        platform::UucpLock lock("/dev/ttyX9", directory);
        const bool live = pid == getpid();
        EXPECT_EQ(lock.Acquired(), !live) << pid;
        EXPECT_EQ(lock.Holder(), live ? pid : 0) << pid;
        unlink(lockFile.c_str());
    }
}

// Programs that find the same stale lock at the same moment: one takes it over, and no
// one removes the fresh lock of another.
TEST_F(UucpLockFile, OneOfManyTakesOverAStaleLock) {
    for (int round = 0; round < 10; ++round) {
        WriteStaleLock();
        int results[2];
        ASSERT_EQ(pipe(results), 0);
        std::vector<pid_t> children;
        for (int i = 0; i < 4; ++i) {
            const pid_t child = fork();
            if (child == 0) {
                platform::UucpLock lock("/dev/ttyX9", directory);
                const char said = lock.Acquired() ? '1' : '0';
                (void)!write(results[1], &said, 1);
                usleep(300000);  // held while the others try
                _exit(0);
            }
            children.push_back(child);
        }
        close(results[1]);
        std::string said;
        char one;
        while (read(results[0], &one, 1) == 1) said += one;
        close(results[0]);
        for (pid_t child : children) waitpid(child, nullptr, 0);
        EXPECT_EQ(std::count(said.begin(), said.end(), '1'), 1) << "round " << round << ": " << said;
        unlink(lockFile.c_str());
    }
}

TEST_F(SerialDeviceTest, FullReadQueuedCompletesAtOnce) {
    auto port = OpenPort5();
    ASSERT_TRUE(port);
    ASSERT_TRUE(device.Write(ByteString(300, 'q')));
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(port->StartRead(buffer, 255, count), IoStatus::Completed);
    EXPECT_EQ(count, 255u);
    ASSERT_EQ(ReadNext(*port), IoStatus::Completed);  // the rest, ended by the quiet line
    EXPECT_EQ(count, 45u);
}

TEST_F(SerialDeviceTest, GapLongerThanTheIntervalEndsARead) {
    auto port = OpenPort5();
    ASSERT_TRUE(port);
    ASSERT_EQ(port->StartRead(buffer, 255, count), IoStatus::Pending);
    // Gaps well past 5 ms even on a loaded machine; the read is checked only after all
    // three bursts are in, as by a window busy elsewhere, and still ends at each gap.
    for (const char* burst : {"first", "second", "third"}) {
        device.Write(burst);
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_EQ(WaitForRead(*port, count), IoStatus::Completed);
    EXPECT_EQ(ByteString(reinterpret_cast<char*>(buffer), count), "first");
    for (const char* burst : {"second", "third"}) {
        ASSERT_EQ(ReadNext(*port), IoStatus::Completed);
        EXPECT_EQ(ByteString(reinterpret_cast<char*>(buffer), count), burst);
    }
}

TEST_F(SerialDeviceTest, ContinuousWriteIsNotSplitBeforeTheBufferIsFull) {
    auto port = OpenPort5();
    ASSERT_TRUE(port);
    ASSERT_EQ(port->StartRead(buffer, 255, count), IoStatus::Pending);
    device.Write(ByteString(200, 'c'));
    ASSERT_EQ(WaitForRead(*port, count), IoStatus::Completed);
    EXPECT_EQ(count, 200u);
}

TEST_F(SerialDeviceTest, RawModePassesEveryByteBothWays) {
    auto port = OpenPort5();
    ASSERT_TRUE(port);
    const ByteString special("\x00\x0D\x0A\x11\x13\x03\x04\x7F\xFF", 9);
    ASSERT_EQ(port->Write(reinterpret_cast<const uint8_t*>(special.data()), 9), 9);
    EXPECT_EQ(device.Read(9, 2s), special);
    ASSERT_EQ(port->StartRead(buffer, 255, count), IoStatus::Pending);
    device.Write(special);
    ASSERT_EQ(WaitForRead(*port, count), IoStatus::Completed);
    EXPECT_EQ(ByteString(reinterpret_cast<char*>(buffer), count), special);
}

TEST_F(SerialDeviceTest, DeviceGoneFailsTheCheck) {
    auto port = OpenPort5();
    ASSERT_TRUE(port);
    ASSERT_EQ(port->StartRead(buffer, 255, count), IoStatus::Pending);
    device.Write("last words");
    std::this_thread::sleep_for(50ms);
    device.CloseMaster();
    ASSERT_EQ(WaitForRead(*port, count), IoStatus::Completed) << "what came before is still read";
    EXPECT_EQ(ByteString(reinterpret_cast<char*>(buffer), count), "last words");
    ASSERT_EQ(port->StartRead(buffer, 255, count), IoStatus::Pending);
    EXPECT_EQ(WaitForRead(*port, count), IoStatus::Failed);
    EXPECT_EQ(port->CheckRead(count), IoStatus::Failed) << "and stays failed";
}

TEST_F(SerialDeviceTest, CloseWithAReadPendingEndsPromptly) {
    auto port = OpenPort5();
    ASSERT_TRUE(port);
    ASSERT_EQ(port->StartRead(buffer, 255, count), IoStatus::Pending);
    auto start = std::chrono::steady_clock::now();
    port.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_TRUE(OpenPort5()) << "the port is free again";
}

TEST_F(SerialDeviceTest, PortOpensWithAnEmptyInputQueue) {
    device.Write("said while nobody listened");
    std::this_thread::sleep_for(50ms);
    auto port = OpenPort5();
    ASSERT_TRUE(port);
    ASSERT_EQ(port->StartRead(buffer, 255, count), IoStatus::Pending);
    device.Write("fresh");
    ASSERT_EQ(WaitForRead(*port, count), IoStatus::Completed);
    EXPECT_EQ(ByteString(reinterpret_cast<char*>(buffer), count), "fresh");
}

TEST_F(SerialDeviceTest, ExclusiveFlagLeftByADeadHolderIsTakenOver) {
    if (geteuid() != 0) GTEST_SKIP() << "only root opens a terminal past its exclusive flag";
    // A holder that died without closing: its flag stays while the device keeps the line.
    int dead = open(device.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(dead, 0);
    ASSERT_EQ(ioctl(dead, TIOCEXCL), 0);
    close(dead);
    auto port = OpenPort5();
    ASSERT_TRUE(port) << "a stale flag is taken over";
    port.reset();
    int probe = open(device.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    int exclusive = -1;
    ASSERT_EQ(ioctl(probe, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "and released on close";
    close(probe);
}

TEST_F(SerialDeviceTest, WriteToADeviceThatNeverReadsGivesUpAfterItsBound) {
    auto port = OpenPort5();
    ASSERT_TRUE(port);
    platform::LineSettings fast{256000, 8, platform::LineSettings::NoParity, platform::LineSettings::OneStopBit};
    ASSERT_TRUE(port->SetLineSettings(fast));
    // 40,000 bytes need 1.56 s at 256000 baud: the bound is 2 x 1.56 + 1 = 4.1 s.
    const ByteString line(40000, 'w');
    const auto start = std::chrono::steady_clock::now();
    const int32_t taken = port->Write(reinterpret_cast<const uint8_t*>(line.data()), 40000);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 3900ms) << "it waits for the device as long as the bound";
    EXPECT_LT(waited, 12s) << "but not for ever";
    EXPECT_GT(taken, 0);
    EXPECT_LT(taken, 40000) << "the count taken, not the count asked";
    // What could not be sent is discarded: the port writes afresh.
    ASSERT_EQ(port->Write(reinterpret_cast<const uint8_t*>("ok"), 2), 2);
}

// Threads that keep every core busy while they live.
class LoadedCores {
public:
    LoadedCores() {
        for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
            spinners.emplace_back([this] {
                while (!stop) spins.fetch_add(1, std::memory_order_relaxed);
            });
    }
    ~LoadedCores() {
        stop = true;
        for (std::thread& spinner : spinners) spinner.join();
    }

private:
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> spins{0};
    std::vector<std::thread> spinners;
};

// Writes `bytes` single bytes `gap` apart; the largest gap the writer may really have
// left on the line: from the start of one write to the end of the next.
std::chrono::microseconds WriteSpaced(VirtualDevice& device, int bytes, std::chrono::microseconds gap) {
    using Clock = std::chrono::steady_clock;
    std::chrono::microseconds largest{0};
    Clock::time_point lastStart, lastEnd;
    for (int i = 0; i < bytes; ++i) {
        if (i > 0) std::this_thread::sleep_until(lastEnd + gap);
        const Clock::time_point start = Clock::now();
        device.Write(ByteString(1, static_cast<char>('a' + i % 26)));
        const Clock::time_point end = Clock::now();
        if (i > 0) largest = std::max(largest, std::chrono::duration_cast<std::chrono::microseconds>(end - lastStart));
        lastStart = start;
        lastEnd = end;
    }
    return largest;
}

// Lifts the writing thread above the load where the system lets it, so that the gaps
// the writer means are the gaps on the line; the reader thread stays among the load.
class WriterAboveTheLoad {
public:
    WriterAboveTheLoad() {
        pthread_getschedparam(pthread_self(), &oldPolicy, &oldParam);
        sched_param fifo{};
        fifo.sched_priority = sched_get_priority_min(SCHED_FIFO);
        lifted = pthread_setschedparam(pthread_self(), SCHED_FIFO, &fifo) == 0;
    }
    ~WriterAboveTheLoad() {
        if (lifted) pthread_setschedparam(pthread_self(), oldPolicy, &oldParam);
    }

private:
    int oldPolicy = SCHED_OTHER;
    sched_param oldParam{};
    bool lifted = false;
};

TEST_F(SerialDeviceTest, QuietSpellsAreJudgedOnTheLineEvenUnderLoad) {
    auto port = OpenPort5();
    ASSERT_TRUE(port);
    LoadedCores load;
    WriterAboveTheLoad writer;
    // Bursts the writer itself broke up are not judged; run until enough were whole.
    int judged = 0;
    for (int run = 0; run < 250 && judged < 25; ++run) {
        ASSERT_EQ(port->StartRead(buffer, 255, count), IoStatus::Pending);
        const auto largest = WriteSpaced(device, 40, 2000us);
        ASSERT_EQ(WaitForRead(*port, count), IoStatus::Completed);
        uint32_t all = count;
        while (all < 40 && ReadNext(*port) == IoStatus::Completed) all += count;
        ASSERT_EQ(all, 40u);
        if (largest >= 4500us) continue;  // the writer itself left a gap on the line
        ++judged;
        EXPECT_EQ(count, 40u) << "run " << run << ": a 2 ms burst was split (writer's largest gap "
                              << largest.count() << " us)";
    }
    EXPECT_GE(judged, 10);
    // 10 ms gaps end every read. A reader the loaded machine wakes more than a gap late
    // finds two bytes queued and may take them together, so runs go on until enough
    // split whole; a reader that ignores the gaps never does.
    int splitRuns = 0;
    for (int run = 0; run < 30 && splitRuns < 8; ++run) {
        ASSERT_EQ(port->StartRead(buffer, 255, count), IoStatus::Pending);
        WriteSpaced(device, 3, 10000us);
        ASSERT_EQ(WaitForRead(*port, count), IoStatus::Completed);
        uint32_t all = count;
        bool split = count == 1;
        while (all < 3 && ReadNext(*port) == IoStatus::Completed) {
            all += count;
            split = split && count == 1;
        }
        ASSERT_EQ(all, 3u);
        splitRuns += split;
    }
    EXPECT_GE(splitRuns, 8) << "10 ms gaps end every read";
}

// The reader rests after a small read; a spell only a little longer than the interval
// must still end the read. A busy machine (other tests load every core) may now and
// then wake the reader too late and merge one, so runs go on until enough split; a
// reader that rests past the interval never splits one.
TEST_F(SerialDeviceTest, SpellsJustOverTheIntervalEndReadsAfterTrickledBytes) {
    auto port = OpenPort5();
    ASSERT_TRUE(port);
    WriterAboveTheLoad writer;
    int splitRuns = 0;
    for (int run = 0; run < 40 && splitRuns < 7; ++run) {
        ASSERT_EQ(port->StartRead(buffer, 255, count), IoStatus::Pending);
        WriteSpaced(device, 3, 9000us);
        ASSERT_EQ(WaitForRead(*port, count), IoStatus::Completed);
        uint32_t all = count;
        int reads = 1;
        while (all < 3 && ReadNext(*port) == IoStatus::Completed) all += count, ++reads;
        ASSERT_EQ(all, 3u);
        splitRuns += reads == 3;
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_GE(splitRuns, 7) << "9 ms spells after single bytes should end the reads";
}

TEST_F(SerialDeviceTest, LineSettingsRefuseNineBitsAndTakeOddRates) {
    auto port = OpenPort5();
    ASSERT_TRUE(port);
    platform::LineSettings settings;
    ASSERT_TRUE(port->GetLineSettings(settings));
    settings.BaudRate = 256000;
    EXPECT_TRUE(port->SetLineSettings(settings));
    platform::LineSettings back;
    ASSERT_TRUE(port->GetLineSettings(back));
    EXPECT_EQ(back.BaudRate, 256000u);
    settings.ByteSize = 9;
    settings.BaudRate = 9600;
    EXPECT_FALSE(port->SetLineSettings(settings));
    ASSERT_TRUE(port->GetLineSettings(back));
    EXPECT_EQ(back.BaudRate, 256000u);
}

TEST_F(SerialDeviceTest, PathsThatAreNotTerminalsFailToOpen) {
    char file[] = "/tmp/comterm-notatty-XXXXXX";
    close(mkstemp(file));
    ASSERT_EQ(symlink(file, (ports.Path() + "/COM7").c_str()), 0);
    ASSERT_EQ(symlink("/tmp", (ports.Path() + "/COM8").c_str()), 0);
    EXPECT_FALSE(platform::OpenSerialPort(7));
    EXPECT_FALSE(platform::OpenSerialPort(8));
    EXPECT_FALSE(platform::OpenSerialPort(9)) << "no link and no /dev/ttyS8";
    unlink(file);
}

struct FixedSettings : TComSettings {
    bool TwoStopBitsChecked() const override { return false; }
    int FormatIndex() const override { return 1; }
};

class ComOverPtyTest : public PortFixture {
protected:
    void SetUp() override {
        PortFixture::SetUp();
        com.SplitAtCR = false;
        com.OnReceive = [this](const ByteString& text) { deliveries.push_back(text); };
    }
    FixedSettings settings;
    TCom com{settings};
    std::vector<ByteString> deliveries;
};

TEST_F(ComOverPtyTest, BurstsBecomeDeliveriesAndSendWritesTheLine) {
    ASSERT_TRUE(com.Open(5));
    com.SetBaud(115200);
    device.Write("burst one");
    ASSERT_TRUE(ProcessEventsUntil([&] { return deliveries.size() == 1; }));
    device.Write(ByteString("two\0\r\n", 6));
    ASSERT_TRUE(ProcessEventsUntil([&] { return deliveries.size() == 2; }));
    ProcessEventsFor(100);
    EXPECT_EQ(deliveries, (std::vector<ByteString>{"burst one", ByteString("two\0\r\n", 6)}));
    EXPECT_EQ(com.Send(""), 1);
    EXPECT_EQ(com.Send("AT"), 3);
    EXPECT_EQ(device.Read(4, 2s), "\rAT\r");
}

TEST_F(ComOverPtyTest, BurstsAtRandomGapsAllArriveAcrossQuietSpells) {
    ASSERT_TRUE(com.Open(5));
    ByteString sent;
    std::thread writer([&] {
        std::mt19937 random(5);
        for (int burst = 0; burst < 60; ++burst) {
            ByteString bytes = "<" + std::to_string(burst) + ">";
            device.Write(bytes);
            sent += bytes;
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 40));
        }
    });
    ProcessEventsFor(3000);
    writer.join();
    ProcessEventsFor(200);
    ByteString joined;
    for (const auto& text : deliveries) joined += text;
    EXPECT_EQ(joined, sent);
}

TEST_F(ComOverPtyTest, ConnectDisconnectConnectAndExclusiveAgainstASecondObject) {
    TCom other{settings};
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(com.Open(5)) << round;
        EXPECT_FALSE(other.Open(5));
        com.Close();
    }
    EXPECT_TRUE(other.Open(5));
}

TEST_F(ComOverPtyTest, DeviceGoneMidStreamStallsQuietlyAndReopensWhenBack) {
    ASSERT_TRUE(com.Open(5));
    device.Write("before");
    ASSERT_TRUE(ProcessEventsUntil([&] { return deliveries.size() == 1; }));
    device.Write("just before");
    std::this_thread::sleep_for(20ms);  // read, but not yet collected by a tick
    device.CloseMaster();
    ASSERT_TRUE(ProcessEventsUntil([&] { return deliveries.size() == 2; }));
    ProcessEventsFor(100);
    EXPECT_EQ(deliveries, (std::vector<ByteString>{"before", "just before"}));
    EXPECT_TRUE(com.IsOpen()) << "stalled, until the user disconnects";
    com.Close();
    VirtualDevice back;
    back.LinkAsPort(ports.Path(), 5);
    ASSERT_TRUE(com.Open(5));
    back.Write("after");
    ASSERT_TRUE(ProcessEventsUntil([&] { return deliveries.size() == 3; }));
    ProcessEventsFor(100);
    EXPECT_EQ(deliveries, (std::vector<ByteString>{"before", "just before", "after"}));
}

TEST_F(ComOverPtyTest, RefusedTimerClosesThePortAgain) {
    std::string error;
    std::thread([&] {
        FixedSettings threadSettings;
        TCom noTimers{threadSettings};
        try {
            noTimers.Open(5);
        } catch (const std::exception& e) {
            error = e.what();
        }
        EXPECT_FALSE(noTimers.IsOpen());
    }).join();
    EXPECT_EQ(error, "Not enough timers available");
    EXPECT_TRUE(com.Open(5)) << "the port was released";
}

}  // namespace
