// Port numbers for adapters, on a made-up device and sysfs tree.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <set>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/device/posix/port_map.h"
#include "platform/window/driver.h"
#include "platform/device/port_scan.h"
#include "platform/device/serial_device.h"
#include "platform/device/posix/uucp_lock.h"
#include "serial/com.h"
#include "tests/port_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A root standing in for /dev and /sys, and a ports directory beside them.
class PortTree : public ::testing::Test {
protected:
    PortTree() {
        roots.dev = ports.Path() + "/root/dev";
        roots.sys = ports.Path() + "/root/sys";
        roots.ports = ports.Path() + "/ports";
        fs::create_directories(roots.dev + "/serial/by-id");
        fs::create_directories(roots.dev + "/serial/by-path");
        fs::create_directories(roots.sys + "/class/tty");
    }

    static void Write(const std::string& path, const std::string& text) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path) << text << "\n";
    }

    // A USB adapter plugged in as dev/<node>, found under by-id (or only by-path when
    // it has no serial number). `node` may lead to a real terminal.
    void PlugIn(const std::string& node, const std::string& name, const std::string& maker,
                const std::string& product, const std::string& leadsTo = "", bool byPathOnly = false) {
        const std::string usb = roots.sys + "/devices/usb1/1-" + std::to_string(++sockets);
        Write(usb + "/manufacturer", maker);
        Write(usb + "/product", product);
        fs::create_directories(usb + "/1-1:1.0/" + node);
        fs::remove(roots.sys + "/class/tty/" + node + "/device");
        fs::create_directories(roots.sys + "/class/tty/" + node);
        fs::create_directory_symlink(usb + "/1-1:1.0/" + node, roots.sys + "/class/tty/" + node + "/device");
        if (leadsTo.empty())
            Write(roots.dev + "/" + node, "");
        else
            fs::create_symlink(leadsTo, roots.dev + "/" + node);
        fs::create_symlink("../../" + node, StableName(name, byPathOnly));
    }
    void Unplug(const std::string& node, const std::string& name, bool byPathOnly = false) {
        fs::remove(StableName(name, byPathOnly));
        fs::remove(roots.dev + "/" + node);
    }
    std::string StableName(const std::string& name, bool byPathOnly = false) const {
        return roots.dev + (byPathOnly ? "/serial/by-path/" : "/serial/by-id/") + name;
    }
    void BuiltIn(int index, int type) {
        Write(roots.sys + "/class/tty/ttyS" + std::to_string(index) + "/type", std::to_string(type));
        Write(roots.dev + "/ttyS" + std::to_string(index), "");
    }
    std::string Link(int number) const {
        std::error_code error;
        fs::path target = fs::read_symlink(roots.ports + "/COM" + std::to_string(number), error);
        return error ? "" : target.string();
    }
    std::string Listed() const { return platform::ListPorts(roots); }

    TempPortsDirectory ports;
    platform::PortRoots roots;
    int sockets = 0;
};

const char FtdiName[] = "usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0";
const char ArduinoName[] = "usb-Arduino__www.arduino.cc__0043_7563331-if00";

TEST_F(PortTree, AdaptersGetThreeThenFourAndKeepThemWhenPluggedInAgain) {
    PlugIn("ttyUSB0", FtdiName, "FTDI", "FT232R USB UART");
    EXPECT_EQ(Listed(), "3  FTDI FT232R USB UART (ttyUSB0)");
    EXPECT_EQ(Link(3), StableName(FtdiName)) << "linked to the stable name, not to ttyUSB0";
    PlugIn("ttyACM0", ArduinoName, "Arduino (www.arduino.cc)", "Arduino Uno");
    EXPECT_EQ(Listed(), "3  FTDI FT232R USB UART (ttyUSB0)\n4  Arduino (www.arduino.cc) Arduino Uno (ttyACM0)");

    Unplug("ttyUSB0", FtdiName);
    EXPECT_EQ(Listed(), "4  Arduino (www.arduino.cc) Arduino Uno (ttyACM0)");
    EXPECT_EQ(Link(3), StableName(FtdiName)) << "an unplugged adapter keeps its number";
    PlugIn("ttyUSB1", "usb-Prolific_PL2303-if00-port0", "Prolific", "PL2303");
    platform::ScanPorts(roots);
    EXPECT_EQ(Link(5), StableName("usb-Prolific_PL2303-if00-port0")) << "3 stays reserved";

    PlugIn("ttyUSB2", FtdiName, "FTDI", "FT232R USB UART");  // another socket, another node
    EXPECT_EQ(Listed(),
              "3  FTDI FT232R USB UART (ttyUSB2)\n4  Arduino (www.arduino.cc) Arduino Uno (ttyACM0)\n"
              "5  Prolific PL2303 (ttyUSB1)");
    EXPECT_EQ(Link(6), "") << "no second number for the same adapter";

    // A new serial number is a new adapter.
    Unplug("ttyUSB2", FtdiName);
    PlugIn("ttyUSB2", "usb-FTDI_FT232R_USB_UART_B20K9999-if00-port0", "FTDI", "FT232R USB UART");
    platform::ScanPorts(roots);
    EXPECT_EQ(Link(6), StableName("usb-FTDI_FT232R_USB_UART_B20K9999-if00-port0"));
}

TEST_F(PortTree, LinksThatAreThereWinAndBuiltInPortsWithHardwareKeepTheirNumbers) {
    BuiltIn(0, 4);  // a 16550A: port 1
    BuiltIn(2, 4);  // port 3
    BuiltIn(3, 0);  // an empty node: blocks nothing, not listed
    fs::create_directories(roots.ports);
    fs::create_symlink("/dev/user-chose-this", roots.ports + "/COM4");
    PlugIn("ttyUSB0", FtdiName, "FTDI", "FT232R USB UART");
    platform::ScanPorts(roots);
    EXPECT_EQ(Link(5), StableName(FtdiName));
    EXPECT_EQ(Link(4), "/dev/user-chose-this") << "the user's link stays as it is";
    EXPECT_EQ(Listed(), "1  built-in (ttyS0)\n3  built-in (ttyS2)\n5  FTDI FT232R USB UART (ttyUSB0)");

    // An adapter the user linked by hand, by its node, gets no number of its own.
    fs::create_symlink(roots.dev + "/ttyACM0", roots.ports + "/COM9");
    PlugIn("ttyACM0", ArduinoName, "Arduino", "Uno");
    platform::ScanPorts(roots);
    for (int number : {6, 7, 8}) EXPECT_EQ(Link(number), "") << number;
}

TEST_F(PortTree, AnAdapterWithoutASerialNumberIsFoundByItsSocket) {
    PlugIn("ttyUSB0", "pci-0000:00:14.0-usb-0:2:1.0-port0", "QinHeng", "CH340", "", true);
    EXPECT_EQ(Listed(), "3  QinHeng CH340 (ttyUSB0)");
    EXPECT_EQ(Link(3), StableName("pci-0000:00:14.0-usb-0:2:1.0-port0", true));
}

TEST_F(PortTree, NothingPresentSaysWhereLinksGo) {
    EXPECT_EQ(Listed(), "No serial port found. Plug in a USB serial adapter, or link a device as COM<N> in " +
                            roots.ports + ".");
}

TEST_F(PortTree, APortsDirectoryThatCannotBeWrittenNumbersForThisRun) {
    Write(ports.Path() + "/not-a-folder", "");
    roots.ports = ports.Path() + "/not-a-folder/ports";
    PlugIn("ttyUSB0", FtdiName, "FTDI", "FT232R USB UART");
    EXPECT_EQ(Listed(), "3  FTDI FT232R USB UART (ttyUSB0)");
    EXPECT_EQ(platform::RunOnlyPort(3), StableName(FtdiName));
    EXPECT_EQ(Listed(), "3  FTDI FT232R USB UART (ttyUSB0)") << "the same number on the next scan";
    EXPECT_EQ(platform::RunOnlyPort(4), "");
    platform::AssignPortForThisRun(3, "");
}

TEST_F(PortTree, ScannersRacingNeverShareOrDoubleANumber) {
    PlugIn("ttyUSB0", FtdiName, "FTDI", "FT232R USB UART");
    PlugIn("ttyACM0", ArduinoName, "Arduino", "Uno");
    PlugIn("ttyUSB1", "usb-Prolific_PL2303-if00-port0", "Prolific", "PL2303");
    for (int round = 0; round < 100; ++round) {
        fs::remove_all(roots.ports);
        std::atomic<bool> go{false};
        std::vector<std::thread> scanners;
        for (int scanner = 0; scanner < 4; ++scanner)
            scanners.emplace_back([&] {
                while (!go) std::this_thread::yield();
                platform::ScanPorts(roots);
            });
        go = true;
        for (std::thread& scanner : scanners) scanner.join();
        std::set<std::string> linked;
        int links = 0;
        for (const auto& entry : fs::directory_iterator(roots.ports)) {
            ++links;
            linked.insert(fs::read_symlink(entry.path()).string());
        }
        ASSERT_EQ(links, 3) << "round " << round;
        ASSERT_EQ(linked.size(), 3u) << "round " << round;
        ASSERT_EQ(Link(3).empty() || Link(4).empty() || Link(5).empty(), false) << "round " << round;
    }
}

TEST_F(PortTree, PinningByHandReplacesTheLink) {
    std::string error;
    EXPECT_FALSE(platform::PinPort(256, "/dev/null", roots, error));
    EXPECT_EQ(error, "port numbers run from 0 to 255");
    EXPECT_FALSE(platform::PinPort(7, roots.dev + "/nothing", roots, error));
    EXPECT_EQ(error, roots.dev + "/nothing: no such device");
    ASSERT_TRUE(platform::PinPort(7, "/dev/null", roots, error)) << error;
    ASSERT_TRUE(platform::PinPort(7, "/dev/zero", roots, error)) << error;
    EXPECT_EQ(Link(7), "/dev/zero");
}

// Connect to the number an adapter was given, and bytes flow: the adapter is a pty.
TEST_F(PortTree, ConnectToTheNumberAnAdapterWasGiven) {
    roots.ports = ports.Path();  // the ports directory the terminal uses
    VirtualDevice device;
    PlugIn("ttyUSB0", FtdiName, "FTDI", "FT232R USB UART", device.SlavePath());
    platform::ScanPorts(roots);
    ASSERT_EQ(Link(3), StableName(FtdiName));

    struct Settings : TComSettings {
        bool TwoStopBitsChecked() const override { return false; }
        int FormatIndex() const override { return 1; }
    } settings;
    TCom com(settings);
    com.SplitAtCR = false;
    ByteString received;
    com.OnReceive = [&](const ByteString& text) { received += text; };
    ASSERT_TRUE(com.Open(3)) << platform::LastOpenFailure();
    EXPECT_EQ(com.Send("hello"), 6);
    EXPECT_EQ(device.Read(6, 3s), "hello\r");
    device.Write("reply");
    platform::ProcessEventsUntil([&] { return received.size() >= 5; });
    EXPECT_EQ(received, "reply");
}

TEST_F(PortTree, AFailedOpenSaysWhy) {
    PlugIn("ttyUSB0", FtdiName, "FTDI", "FT232R USB UART");
    roots.ports = ports.Path();
    platform::ScanPorts(roots);
    Unplug("ttyUSB0", FtdiName);
    EXPECT_FALSE(platform::OpenSerialPort(3));
    EXPECT_EQ(platform::LastOpenFailure(), "port 3 (" + ports.Path() + "/COM3): no device");
    EXPECT_FALSE(platform::OpenSerialPort(0));
    EXPECT_EQ(platform::LastOpenFailure(), "port 0: no device");

    VirtualDevice device;
    device.LinkAsPort(ports.Path(), 5);
    const std::string lockFile = platform::UucpLockPath(device.SlavePath());
    FILE* lock = std::fopen(lockFile.c_str(), "w");
    if (!lock) GTEST_SKIP() << "no writable /run/lock";
    std::fprintf(lock, "%10d\n", static_cast<int>(getpid()));
    std::fclose(lock);
    EXPECT_FALSE(platform::OpenSerialPort(5));
    std::ifstream comm("/proc/self/comm");
    std::string self;
    std::getline(comm, self);
    EXPECT_EQ(platform::LastOpenFailure(), "port 5 (" + device.SlavePath() + "): busy: held by process " +
                                               std::to_string(getpid()) + " (" + self + ")");
    std::remove(lockFile.c_str());
}

// A number has one name, COM<N> without leading zeros, in the list and at Connect
// alike; names that are no small number are no port of ours, and no reason to stop.
TEST_F(PortTree, OnlyExactNamesAreNumbersInTheListAndAtConnect) {
    roots.ports = ports.Path();
    VirtualDevice device;
    fs::create_symlink(device.SlavePath(), ports.Path() + "/COM005");
    fs::create_symlink(device.SlavePath(), ports.Path() + "/COM99999999999");
    BuiltIn(0, 4);
    Write(roots.sys + "/class/tty/ttyS99999999999/type", "4");
    EXPECT_EQ(Listed(), "1  built-in (ttyS0)");
    EXPECT_EQ(platform::PortDevicePath(5).path, "/dev/ttyS4") << "COM005 is not port 5";
    EXPECT_EQ(platform::PortNumberOfLink("COM5"), 5);
    EXPECT_EQ(platform::PortNumberOfLink("COM0"), 0);
    EXPECT_EQ(platform::PortNumberOfLink("COM255"), 255);
    for (const char* name : {"COM05", "COM256", "COM", "COM-1", "COM+5", "com5", "COM5 "})
        EXPECT_EQ(platform::PortNumberOfLink(name), -1) << name;
}

// Whoever can write the ports directory could link a number to a terminal of their own
// and read every line typed: such links are not followed, and Connect says why.
TEST_F(PortTree, LinksOthersCouldHaveMadeAreNotFollowed) {
    VirtualDevice device;
    device.LinkAsPort(ports.Path(), 5);
    for (mode_t loose : {0777, 0770, 0702}) {
        chmod(ports.Path().c_str(), loose);
        EXPECT_FALSE(platform::OpenSerialPort(5)) << std::oct << loose;
        EXPECT_EQ(platform::LastOpenFailure(),
                  "port 5: " + ports.Path() + " can be written by others; not following its links (chmod go-w it)");
    }
    chmod(ports.Path().c_str(), 0755);
    EXPECT_TRUE(platform::OpenSerialPort(5)) << platform::LastOpenFailure();

    if (geteuid() != 0) GTEST_SKIP() << "giving the link to another user needs root";
    ASSERT_EQ(lchown((ports.Path() + "/COM5").c_str(), 65534, 65534), 0);
    EXPECT_FALSE(platform::OpenSerialPort(5));
    EXPECT_EQ(platform::LastOpenFailure(), "port 5: the link belongs to another user; not following it");
    ASSERT_EQ(lchown(ports.Path().c_str(), 65534, 65534), 0);
    EXPECT_FALSE(platform::OpenSerialPort(5));
    EXPECT_EQ(platform::LastOpenFailure(), "port 5: " + ports.Path() + " belongs to another user; not following its links");
}

TEST(PortsDirectory, MadeForItsOwnerAloneWhereTheUserKeepsSettings) {
    TempPortsDirectory home;
    unsetenv("COMTERM_PORTS");
    const char* previousConfig = getenv("XDG_CONFIG_HOME");
    const std::string keptConfig = previousConfig ? previousConfig : "";
    setenv("XDG_CONFIG_HOME", (home.Path() + "/config").c_str(), 1);
    EXPECT_EQ(platform::PortsDirectory(), home.Path() + "/config/comterm/ports");
    VirtualDevice device;
    device.LinkAsPort(platform::PortsDirectory(), 5);
    struct stat made;
    ASSERT_EQ(stat(platform::PortsDirectory().c_str(), &made), 0);
    EXPECT_EQ(made.st_mode & 0777, 0700u);
    EXPECT_TRUE(platform::OpenSerialPort(5)) << platform::LastOpenFailure();
    if (previousConfig)
        setenv("XDG_CONFIG_HOME", keptConfig.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

// comterm-ports itself: trying the numbering on a made-up tree keeps the numbers in that
// tree, never in the user's own ports directory.
TEST_F(PortTree, PortsCommandWithARootKeepsItsNumbersThere) {
    const std::string root = ports.Path() + "/root";
    PlugIn("ttyUSB0", FtdiName, "FTDI", "FT232R USB UART");
    const std::string home = ports.Path() + "/home";
    auto run = [&](const std::string& arguments) {
        const std::string command = "env -u COMTERM_PORTS -u XDG_CONFIG_HOME HOME='" + home + "' " COMTERM_PORTS_TOOL " " +
                                    arguments + " 2>&1";
        std::string said;
        FILE* out = popen(command.c_str(), "r");
        char chunk[256];
        while (out && fgets(chunk, sizeof chunk, out)) said += chunk;
        const int status = out ? pclose(out) : -1;
        return std::make_pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1, said);
    };
    EXPECT_EQ(run("--root '" + root + "'"), std::make_pair(0, std::string("3  FTDI FT232R USB UART (ttyUSB0)\n")));
    EXPECT_TRUE(fs::is_symlink(root + "/ports/COM3"));
    EXPECT_FALSE(fs::exists(home + "/.config/comterm/ports")) << "the user's own numbers untouched";

    EXPECT_EQ(run("--root '" + root + "' pin 7 /dev/null").first, 0);
    EXPECT_EQ(fs::read_symlink(root + "/ports/COM7"), "/dev/null");
    EXPECT_EQ(run("--root '" + root + "' pin 256 /dev/null"),
              std::make_pair(1, std::string("comterm-ports: port numbers run from 0 to 255\n")));
    EXPECT_EQ(run("pin 7").first, 2) << "a usage error";
    EXPECT_FALSE(fs::exists(home + "/.config/comterm/ports"));

    // A port on another machine: pinned by its address, listed with it.
    EXPECT_EQ(run("--root '" + root + "' pin 9 rfc2217://lab-pi:2001").first, 0);
    EXPECT_EQ(fs::read_symlink(root + "/ports/COM9"), "rfc2217://lab-pi:2001");
    EXPECT_NE(run("--root '" + root + "'").second.find("\n9  rfc2217://lab-pi:2001\n"), std::string::npos);
    EXPECT_EQ(run("--root '" + root + "' pin 9 rfc2217://lab-pi"),
              std::make_pair(1, std::string("comterm-ports: rfc2217://lab-pi: expected rfc2217://HOST:PORT, PORT from 1 to 65535\n")));
    EXPECT_EQ(fs::read_symlink(root + "/ports/COM9"), "rfc2217://lab-pi:2001") << "a bad address changes nothing";
}

}  // namespace
