// Ports on other machines from comterm.exe: numbers in the settings file's [Ports] lead
// to the Linux ser2net the harness started on 127.0.0.1, whose serial side is joined to
// COM12 here by a null-modem pair.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/window/driver.h"
#include "platform/device/port_scan.h"
#include "platform/device/serial_device.h"
#include "tests/loop_probe.h"
#include "platform/files/settings.h"
#include "tests/box_watcher.h"
#include "ui/line_sender.h"
#include "ui/features.h"
#include "ui/main_form.h"

namespace {

class NetworkPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* served = std::getenv("COMTERM_TEST_SER2NET");
        if (!served) GTEST_SKIP() << "no ser2net to reach: run through tools/wine-test.sh";
        const std::string path = platform::Settings::DefaultPath();
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path) << "[comterm]\n\n[Ports]\n9=rfc2217://127.0.0.1:" << served << "\n13=rfc2217://127.0.0.1:1\n";
        device = platform::OpenSerialPort(12);
        ASSERT_TRUE(device) << platform::LastOpenFailure();
        device->SetReadIntervalTimeout(5);
        form = std::make_unique<TMainForm>();
        form->FormatRadios->SetItemIndex(1);  // 8-Bit Hex
    }
    void TearDown() override {
        form.reset();
        std::filesystem::remove(platform::Settings::DefaultPath());
    }
    bool Shows(const std::string& text) { return form->MainRich->Text().find(text) != std::string::npos; }
    ByteString Heard(size_t want) {
        ByteString heard;
        uint8_t buffer[255];
        uint32_t count = 0;
        bool reading = false;
        const DWORD start = GetTickCount();
        while (heard.size() < want && GetTickCount() - start < 3000) {
            const platform::IoStatus status = reading ? device->CheckRead(count) : device->StartRead(buffer, sizeof buffer, count);
            reading = status == platform::IoStatus::Pending;
            if (status == platform::IoStatus::Completed) heard.append(reinterpret_cast<char*>(buffer), count);
            if (status == platform::IoStatus::Failed) break;
            if (reading) platform::ProcessEventsFor(2);
        }
        return heard;
    }

    std::unique_ptr<platform::SerialDevice> device;
    std::unique_ptr<TMainForm> form;
    BoxWatcher watcher;
};

TEST_F(NetworkPortTest, BytesGoBothWaysWithEvery0xFFIntact) {
    form->PortEdit->SetText("9");
    form->ConnectButton->Click();  // opens off the GUI thread: the button changes later
    ASSERT_TRUE(platform::ProcessEventsUntil([&] { return form->ConnectButton->Caption() == "Disconnect"; }, 5000))
        << form->PortEdit->Hint();
    const ByteString sent("\x01\xFF\xFF\xFF" "A\xFF", 6);
    ASSERT_EQ(device->Write(reinterpret_cast<const uint8_t*>(sent.data()), 6), 6);
    EXPECT_TRUE(platform::ProcessEventsUntil([&] { return Shows("01 FF FF FF 41 FF \r\n"); }, 5000)) << form->MainRich->Text();
    form->Features().Sender().InterpretEscapesClick();
    form->LineEdit->SetText("AT\\xFF\\xFF");
    platform::PressKey(*form->LineEdit, platform::Key::Enter);
    EXPECT_EQ(Heard(5), ByteString("AT\xFF\xFF\r"));
    form->Features().Sender().InterpretEscapesClick();
    EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(NetworkPortTest, TheNumbersAreListedAndARefusedOneSaysSo) {
    EXPECT_NE(form->PortEdit->Hint().find("9  rfc2217://127.0.0.1:"), std::string::npos) << form->PortEdit->Hint();
    form->PortEdit->SetText("13");
    form->ConnectButton->Click();
    ASSERT_TRUE(platform::ProcessEventsUntil([&] { return !watcher.boxes.empty(); }, 5000));
    EXPECT_EQ(form->ConnectButton->Caption(), "Connect");
    EXPECT_NE(form->PortEdit->Hint().find("connection refused"), std::string::npos) << form->PortEdit->Hint();
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].caption, "Com Error");
}

// A listener that takes the connection and never says a word, as port 14: the window's
// timers go on at the top of its loop while Connect waits, and a second click starts
// nothing.
TEST(SilentServer, TimersTickAtTheTopLevelWhileAConnectWaits) {
    WSADATA started;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &started), 0);
    const SOCKET silent = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(silent, 8);
    getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string path = platform::Settings::DefaultPath();
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "[comterm]\n\n[Ports]\n14=rfc2217://127.0.0.1:" << ntohs(address.sin_port) << "\n";
    {
        TMainForm form;
        BoxWatcher watcher;
        form.PortEdit->SetText("14");
        LoopProbe probe;
        const DWORD clicked = GetTickCount();
        probe.Inside([&] { form.ConnectButton->Click(); });
        EXPECT_LT(GetTickCount() - clicked, 100u) << "the click returns at once";
        form.ConnectButton->Click();
        ASSERT_TRUE(platform::ProcessEventsUntil([&] { return !watcher.boxes.empty(); }, 6000));
        probe.Stop();
        EXPECT_FALSE(probe.tickedInside);
        EXPECT_EQ(probe.deepest, 1);
        EXPECT_GT(probe.ticks, 50) << "the loop ran freely for the seconds the server took";
        EXPECT_EQ(watcher.boxes.size(), 1u);
        EXPECT_EQ(form.ConnectButton->Caption(), "Connect");
        EXPECT_NE(form.PortEdit->Hint().find("never answered"), std::string::npos) << form.PortEdit->Hint();
    }
    closesocket(silent);
    std::filesystem::remove(path);
}

}  // namespace
