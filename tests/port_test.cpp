// The serial device of every backend against the device at the far end of port 5:
// reads end when full or when the line falls quiet, line settings, a device that takes
// nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/serial_device.h"
#include "tests/far_end.h"

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

TEST_F(PortTest, WhatIsWrittenArrivesWhole) {
    ByteString sent;
    for (int i = 0; i < 3000; ++i) sent += static_cast<char>(i % 251);
    EXPECT_EQ(port->Write(reinterpret_cast<const uint8_t*>(sent.data()), static_cast<uint32_t>(sent.size())),
              static_cast<int32_t>(sent.size()));
    EXPECT_TRUE(device.Read(sent.size(), 3s) == sent);
}

}  // namespace
