// The serial device of every backend against the device at the far end of port 5:
// reads end when full or when the line falls quiet, line settings, a device that takes
// nothing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/device/serial_device.h"
#include "tests/far_end.h"
#include "tests/line_of.h"

namespace {

using namespace std::chrono_literals;
using platform::IoStatus;

class PortTest : public FarEndFixture {
protected:
    void SetUp() override {
        port = platform::OpenSerialPort(FarEnd::Port);
        ASSERT_TRUE(port) << platform::LastOpenFailure();
        port->SetReadIntervalTimeout(5);
    }

    // The reads that complete until `total` bytes came or the limit passed, by size.
    std::vector<uint32_t> Reads(size_t total, std::chrono::milliseconds limit = 3s) {
        std::vector<uint32_t> sizes;
        size_t got = 0;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        IoStatus status = port->StartRead(buffer, sizeof buffer, count);
        while (got < total && status != IoStatus::Failed && std::chrono::steady_clock::now() < deadline) {
            if (status == IoStatus::Pending) {
                std::this_thread::sleep_for(1ms);
                status = port->CheckRead(count);
                continue;
            }
            sizes.push_back(count);
            got += count;
            if (got < total) status = port->StartRead(buffer, sizeof buffer, count);
        }
        return sizes;
    }

    std::unique_ptr<platform::SerialDevice> port;
    uint8_t buffer[255];
    uint32_t count = 0;
};

TEST_F(PortTest, AFullBufferEndsAReadAndTheRestFollows) {
    device.Write(ByteString(600, 'x'));
    EXPECT_EQ(Reads(600), (std::vector<uint32_t>{255, 255, 90}));
}

TEST_F(PortTest, AQuietSpellLongerThanTheIntervalEndsARead) {
    std::thread bursts([&] {
        for (const char* burst : {"first", "second", "third"}) {
            std::this_thread::sleep_for(100ms);
            device.Write(burst);
        }
    });
    const std::vector<uint32_t> sizes = Reads(16);
    bursts.join();
    EXPECT_EQ(sizes, (std::vector<uint32_t>{5, 6, 5}));
}

TEST_F(PortTest, LineSettingsAreReadBackAndNineDataBitsRefused) {
    platform::LineSettings settings;
    ASSERT_TRUE(port->GetLineSettings(settings));
    settings.BaudRate = 115200;
    settings.ByteSize = 8;
    settings.Parity = platform::LineSettings::NoParity;
    settings.StopBits = platform::LineSettings::OneStopBit;
    ASSERT_TRUE(port->SetLineSettings(settings));
    platform::LineSettings back;
    ASSERT_TRUE(port->GetLineSettings(back));
    EXPECT_EQ(back.BaudRate, 115200u);
    EXPECT_EQ(back.ByteSize, 8);
    settings.ByteSize = 9;
    EXPECT_FALSE(port->SetLineSettings(settings));
}

// Port 5 is a pseudo-terminal (under Wine, one behind a COM port): it keeps the rate, the
// stop bits and the flow control asked of it, and always runs 8 data bits without
// parity, which is what the port must then say it runs at.
TEST_F(PortTest, EachLineSettingIsKeptAsThePseudoTerminalKeepsIt) {
    using L = platform::LineSettings;
    struct Case {
        uint32_t rate;
        uint8_t size, parity, stop, flow;
        uint8_t stopKept;
    };
    const Case cases[] = {
        {115200, 8, L::NoParity, L::OneStopBit, L::NoFlow, L::OneStopBit},
        {19200, 8, L::EvenParity, L::OneStopBit, L::XonXoffFlow, L::OneStopBit},
        {921600, 7, L::OddParity, L::TwoStopBits, L::NoFlow, L::TwoStopBits},
        {230400, 8, L::NoParity, L::OneStopBit, L::RtsCtsFlow, L::OneStopBit},
        {2400, 8, L::EvenParity, L::OneStopBit, L::XonXoffFlow, L::OneStopBit},
        {19200, 8, L::MarkParity, L::OneStopBit, L::NoFlow, L::OneStopBit},
        {9600, 8, L::NoParity, L::TwoStopBits, L::NoFlow, L::TwoStopBits},
    };
    for (const Case& c : cases) {
        const L asked = LineOf(c.rate, c.size, c.parity, c.stop, c.flow);
        ASSERT_TRUE(port->SetLineSettings(asked)) << c.rate;
        L back;
        ASSERT_TRUE(port->GetLineSettings(back));
        EXPECT_EQ(back.BaudRate, c.rate);
        EXPECT_EQ(back.ByteSize, 8) << c.rate;
        EXPECT_EQ(back.Parity, L::NoParity) << c.rate;
        EXPECT_EQ(back.StopBits, c.stopKept) << c.rate;
        if (!(FarEnd::ThroughWine() && c.flow == L::RtsCtsFlow)) {
            EXPECT_EQ(back.Flow, c.flow) << c.rate;
        }
    }
}

// Reconnect Automatically looks for the port before it opens it: one that is there, even
// held (here by the test itself), is found, one that leads nowhere is not.
TEST_F(PortTest, APortThatIsThereIsFoundAndOneThatIsNotIsNot) {
    EXPECT_TRUE(platform::PortPresent(FarEnd::Port));
    EXPECT_FALSE(platform::PortPresent(static_cast<uint8_t>(FarEnd::UnusedPort())));
}

TEST_F(PortTest, WhatIsWrittenArrivesWhole) {
    ByteString sent;
    for (int i = 0; i < 3000; ++i) sent += static_cast<char>(i % 251);
    EXPECT_EQ(port->Write(reinterpret_cast<const uint8_t*>(sent.data()), static_cast<uint32_t>(sent.size())),
              static_cast<int32_t>(sent.size()));
    EXPECT_TRUE(device.Read(sent.size(), 3s) == sent);
}

// A device that takes nothing more: the send that finds every buffer full waits for its
// bound, gives up, and reports what was taken; nothing freezes for longer.
TEST_F(PortTest, ASendTheDeviceDoesNotTakeGivesUpAtItsBound) {
    platform::LineSettings fast{115200, 8, platform::LineSettings::NoParity, platform::LineSettings::OneStopBit};
    ASSERT_TRUE(port->SetLineSettings(fast));
    ASSERT_TRUE(port->GetLineSettings(fast));  // the rate the port took, which the bound follows
    const ByteString chunk(16000, 'b');        // bound at 115200: 2 x 1.4 s + 1 s
    const auto bound = platform::WriteBound(fast, static_cast<uint32_t>(chunk.size()));
    size_t taken = 0;
    int32_t last = 0;
    std::chrono::steady_clock::duration waited{};
    for (int i = 0; i < 100; ++i) {  // until the buffers on the way are full
        const auto start = std::chrono::steady_clock::now();
        last = port->Write(reinterpret_cast<const uint8_t*>(chunk.data()), static_cast<uint32_t>(chunk.size()));
        waited = std::chrono::steady_clock::now() - start;
        taken += static_cast<size_t>(std::max(last, 0));
        if (last < static_cast<int32_t>(chunk.size())) break;
    }
    EXPECT_LT(last, static_cast<int32_t>(chunk.size())) << "the device stopped taking";
    EXPECT_GE(waited, bound - 300ms) << "it waited for the device as long as the bound";
    EXPECT_LT(waited, bound + 5s) << "but not for ever";
    // The far end takes what reached it, for the tests after: what was taken less what
    // the give-up discarded.
    while (!device.Read(taken, 1s).empty()) {
    }
}

// The device contract's discard: a write the device holds (its XOFF) ends within a
// moment of a discard from another thread, whatever its bound; and what the port reports
// after SetLineSettings is what it runs at. WaitUntilSent returns where nothing holds
// the bytes.
TEST_F(PortTest, ADiscardEndsAHeldWriteAndTheSettingsReportedAreThoseInForce) {
    platform::LineSettings held{9600, 8, platform::LineSettings::NoParity, platform::LineSettings::OneStopBit,
                                platform::LineSettings::XonXoffFlow};
    ASSERT_TRUE(port->SetLineSettings(held));
    platform::LineSettings now;
    ASSERT_TRUE(port->GetLineSettings(now));
    EXPECT_EQ(now.BaudRate, 9600u);
    EXPECT_EQ(now.Flow, platform::LineSettings::XonXoffFlow);
    ASSERT_TRUE(device.Write("\x13"));
    std::this_thread::sleep_for(300ms);  // the port has taken the XOFF in
    const ByteString line(64 << 10, 'h');  // over two minutes of bound at 9600
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        port->Write(reinterpret_cast<const uint8_t*>(line.data()), static_cast<uint32_t>(line.size()));
        writing = false;
    });
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(writing) << "the device holds the write";
    const auto discarded = std::chrono::steady_clock::now();
    port->DiscardPendingOutput();
    while (writing && std::chrono::steady_clock::now() - discarded < 10s) std::this_thread::sleep_for(1ms);
    EXPECT_LT(std::chrono::steady_clock::now() - discarded, 500ms);
    writer.join();
    device.Write("\x11");
    while (!device.Read(1 << 20, 300ms).empty()) {
    }
    platform::LineSettings plain{115200, 8, platform::LineSettings::NoParity, platform::LineSettings::OneStopBit};
    ASSERT_TRUE(port->SetLineSettings(plain));
    ASSERT_TRUE(port->GetLineSettings(now));
    EXPECT_EQ(now, plain);
    port->Write(reinterpret_cast<const uint8_t*>("x"), 1);
    const auto asked = std::chrono::steady_clock::now();
    port->WaitUntilSent();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
    EXPECT_EQ(device.Read(1, 1s), "x");
}

}  // namespace
