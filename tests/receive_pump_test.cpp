// The receive pump and the port object's calls, over a scripted line with ticks by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <vector>

#include "serial/com.h"
#include "tests/scripted_port.h"

namespace {

struct FixedSettings : TComSettings {
    bool twoStopBits = false;
    int format = 1;
    bool TwoStopBitsChecked() const override { return twoStopBits; }
    int FormatIndex() const override { return format; }
};

ByteString Joined(const std::vector<ByteString>& texts) {
    ByteString joined;
    for (const auto& text : texts) joined += text;
    return joined;
}

std::vector<size_t> Sizes(const std::vector<ByteString>& texts) {
    std::vector<size_t> sizes;
    for (const auto& text : texts) sizes.push_back(text.size());
    return sizes;
}

class PumpTest : public ::testing::Test {
protected:
    void SetUp() override {
        com.OnReceive = [this](const ByteString& text) { deliveries.push_back(text); };
        com.SplitAtCR = false;
        ASSERT_TRUE(com.Open(5));
    }

    FixedSettings settings;
    ScriptedLine line;
    TCom com{settings, ScriptedOpener(line)};
    std::vector<ByteString> deliveries;
};

TEST_F(PumpTest, BurstIsDeliveredWholeAtTheTickAfterTheOneThatCollectedIt) {
    line.input = "hello";
    com.PollTick();  // collects
    EXPECT_TRUE(deliveries.empty());
    com.PollTick();  // next read waiting: delivers
    EXPECT_EQ(deliveries, std::vector<ByteString>{"hello"});
    com.PollTick();
    EXPECT_EQ(deliveries.size(), 1u);
}

TEST_F(PumpTest, QuietLineParksUntilTheNextByte) {
    line.input = "burst";
    com.PollTick();
    EXPECT_FALSE(line.arrival) << "something was collected";
    com.PollTick();  // delivers, and then nothing is left
    ASSERT_TRUE(line.arrival);
    EXPECT_TRUE(com.IsOpen());
    line.input = "x";
    std::function<void()> arrived = std::move(line.arrival);
    arrived();  // the port's wake-up, as its reader thread gives it
    EXPECT_TRUE(com.IsOpen()) << "woken, still polling";
    com.PollTick();  // collects
    com.PollTick();
    EXPECT_EQ(deliveries, (std::vector<ByteString>{"burst", "x"}));
}

TEST_F(PumpTest, TickNeverCollectsAndDeliversAtOnce) {
    line.input = "first";
    com.PollTick();
    line.input = "second";  // the new read completes before the next tick
    com.PollTick();
    EXPECT_TRUE(deliveries.empty());
    com.PollTick();
    EXPECT_EQ(deliveries, std::vector<ByteString>{"firstsecond"});
}

// A stream that never falls quiet must not hold deliveries back for long, nor lose or
// reorder a byte.
TEST_F(PumpTest, ContinuousFastStreamIsStillDeliveredEveryFewTicks) {
    ByteString sent;
    int longestWait = 0, waited = 0;
    for (int tick = 0; tick < 50; ++tick) {
        ByteString chunk(600, static_cast<char>('a' + tick % 26));
        line.input += chunk;  // every read completes before every tick
        sent += chunk;
        const size_t before = deliveries.size();
        com.PollTick();
        waited = deliveries.size() > before ? 0 : waited + 1;
        longestWait = std::max(longestWait, waited);
    }
    EXPECT_LE(longestWait, 6) << "ticks in a row without a delivery";
    for (int tick = 0; tick < 20 && Joined(deliveries).size() < sent.size(); ++tick) com.PollTick();
    EXPECT_TRUE(Joined(deliveries) == sent) << "bytes lost or reordered";
}

TEST_F(PumpTest, SlowStreamArrivesAsWholeReads) {
    ByteString sent;
    for (int i = 0; i < 1000; ++i) sent += static_cast<char>(i % 251);
    for (size_t offset = 0; offset < sent.size(); offset += 255) {
        line.input = sent.substr(offset, 255);  // one read's worth trickles in
        com.PollTick();                          // collects it
        com.PollTick();                          // the next read is still filling: delivers
    }
    EXPECT_EQ(Sizes(deliveries), (std::vector<size_t>{255, 255, 255, 235}));
    EXPECT_EQ(Joined(deliveries), sent);
}

TEST_F(PumpTest, QueuedReadsAreAllCollectedInOneTick) {
    line.input = ByteString(600, 'x');
    com.PollTick();  // 255 on the check, 255 at once in the restart, 90 left pending
    EXPECT_EQ(line.input.size(), 90u);
    com.PollTick();
    com.PollTick();
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].size(), 600u);
}

TEST_F(PumpTest, ChunkModeKeepsEveryByteValue) {
    ByteString all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    for (size_t offset = 0; offset < all.size(); offset += 200) {
        line.input = all.substr(offset, 200);
        com.PollTick();
        com.PollTick();
    }
    EXPECT_EQ(Joined(deliveries), all);
}

TEST_F(PumpTest, LineModeSplitsAtCarriageReturns) {
    com.SplitAtCR = true;
    line.input = ByteString("AB\rCD", 5);
    com.PollTick();
    com.PollTick();
    EXPECT_EQ(deliveries, std::vector<ByteString>{"AB"});
    line.input = ByteString("E\r\r\nF\0\r", 7);
    com.PollTick();
    com.PollTick();
    EXPECT_EQ(deliveries, (std::vector<ByteString>{"AB", "CDE", "", ByteString("\nF\0", 3)}));
}

TEST_F(PumpTest, WithoutReceiverDeliveryStillConsumes) {
    com.OnReceive = nullptr;
    line.input = "lost";
    com.PollTick();
    com.PollTick();
    com.OnReceive = [this](const ByteString& text) { deliveries.push_back(text); };
    line.input = "kept";
    com.PollTick();
    com.PollTick();
    EXPECT_EQ(deliveries, std::vector<ByteString>{"kept"});

    com.SplitAtCR = true;
    com.OnReceive = nullptr;
    line.input = "a\rtail";
    com.PollTick();
    com.PollTick();
    com.OnReceive = [this](const ByteString& text) { deliveries.push_back(text); };
    line.input = "\r";
    com.PollTick();
    com.PollTick();
    EXPECT_EQ(deliveries, (std::vector<ByteString>{"kept", "tail"}));
}

TEST_F(PumpTest, TickInsideADeliveryCollectsButDoesNotDeliver) {
    bool nested = false;
    com.OnReceive = [&](const ByteString& text) {
        deliveries.push_back(text);
        if (nested) return;
        nested = true;
        line.input = "during";
        com.PollTick();  // a tick from a message loop the receiver runs: collects
        com.PollTick();  // finds the next read waiting, but a delivery runs
        EXPECT_EQ(deliveries.size(), 1u);
    };
    line.input = "before";
    com.PollTick();
    com.PollTick();
    com.PollTick();  // what the nested tick collected was kept
    EXPECT_EQ(deliveries, (std::vector<ByteString>{"before", "during"}));
}

TEST_F(PumpTest, LeftoversAreDeliveredAfterReopenAheadOfNewData) {
    com.SplitAtCR = true;
    line.input = "partial";
    com.PollTick();
    com.PollTick();
    com.Close();
    ASSERT_TRUE(com.Open(5));
    line.input = " line\r";
    com.PollTick();
    com.PollTick();
    EXPECT_EQ(deliveries, std::vector<ByteString>{"partial line"});
}

TEST_F(PumpTest, RefusedDeliveryIsKeptHeldAndOfferedAgainOnResume) {
    int refusals = 0;
    bool full = true;
    com.OnReceive = [&](const ByteString& text) {
        if (full) {
            ++refusals;
            throw std::runtime_error("full");
        }
        deliveries.push_back(text);
    };
    line.input = "one";
    com.PollTick();
    EXPECT_THROW(com.PollTick(), std::runtime_error);
    for (int tick = 0; tick < 10; ++tick) {  // more arrives while the error is shown
        line.input = "+";
        com.PollTick();
    }
    EXPECT_EQ(refusals, 1);
    full = false;
    com.ResumeDelivery();
    com.PollTick();
    EXPECT_EQ(deliveries, std::vector<ByteString>{"one++++++++++"});
}

TEST_F(PumpTest, LargeGatheringIsHandedOverAPieceATickAndARefusedPieceStays) {
    com.MaxDelivery = 100;
    ByteString sent;
    for (int i = 0; i < 350; ++i) sent += static_cast<char>(i);
    int calls = 0;
    com.OnReceive = [&](const ByteString& text) {
        if (++calls == 3) throw std::runtime_error("full");
        deliveries.push_back(text);
    };
    line.input = sent;
    com.PollTick();  // 255, and the rest pending
    com.PollTick();  // the rest
    com.PollTick();  // 100
    com.PollTick();  // 100
    EXPECT_EQ(deliveries.size(), 2u);
    EXPECT_THROW(com.PollTick(), std::runtime_error);
    com.PollTick();
    EXPECT_EQ(deliveries.size(), 2u) << "held until resumed";
    com.ResumeDelivery();
    com.PollTick();
    com.PollTick();
    EXPECT_EQ(Sizes(deliveries), (std::vector<size_t>{100, 100, 100, 50}));
    EXPECT_EQ(Joined(deliveries), sent);
}

TEST_F(PumpTest, BacklogOfWholePiecesIsDeliveredAPieceEveryTick) {
    com.MaxDelivery = 100;
    ByteString sent;
    for (int i = 0; i < 3000; ++i) sent += static_cast<char>(i % 253);
    line.input = sent;
    int ticks = 0;
    for (; Joined(deliveries).size() < sent.size() && ticks < 100; ++ticks) com.PollTick();
    EXPECT_LE(ticks, 40) << "30 pieces, and a few ticks that collect";
    for (size_t size : Sizes(deliveries)) EXPECT_LE(size, 100u);
    EXPECT_TRUE(Joined(deliveries) == sent);
}

TEST_F(PumpTest, WhatWaitsIsBoundedAndTheRestStaysWithThePort) {
    com.OnReceive = [&](const ByteString&) { throw std::runtime_error("full"); };
    const size_t chunk = 255 * 1000;
    line.input = ByteString(chunk, 'x');
    com.PollTick();  // collects it all at once
    EXPECT_THROW(com.PollTick(), std::runtime_error);
    size_t offered = 0;
    for (int tick = 0; tick < 20; ++tick) {
        line.input += ByteString(chunk, 'y');
        offered += chunk;
        com.PollTick();
    }
    EXPECT_GT(line.input.size(), offered - TCom::HoldLimit) << "the port keeps what the pump does not take";
    size_t received = 0;
    com.OnReceive = [&](const ByteString& text) { received += text.size(); };
    com.ResumeDelivery();
    for (int tick = 0; tick < 200 && received < chunk + offered; ++tick) com.PollTick();
    EXPECT_EQ(received, chunk + offered);
}

TEST_F(PumpTest, RefusedLineStaysInFrontInLineMode) {
    com.SplitAtCR = true;
    bool full = false;
    com.OnReceive = [&](const ByteString& text) {
        if (full) throw std::runtime_error("full");
        deliveries.push_back(text);
        full = true;
    };
    line.input = "a\rb\rc";
    com.PollTick();
    EXPECT_THROW(com.PollTick(), std::runtime_error);
    full = false;
    com.OnReceive = [&](const ByteString& text) { deliveries.push_back(text); };
    com.ResumeDelivery();
    line.input = "\r";
    com.PollTick();
    com.PollTick();
    EXPECT_EQ(deliveries, (std::vector<ByteString>{"a", "b", "c"}));
}

TEST_F(PumpTest, PortThatGoesAwayStallsButStillDeliversWhatGathered) {
    line.input = "last";
    com.PollTick();
    line.failCheck = true;
    com.PollTick();
    EXPECT_EQ(deliveries, std::vector<ByteString>{"last"});
    EXPECT_TRUE(com.IsOpen());
    com.Close();
    EXPECT_FALSE(line.deviceOpen);
}

TEST_F(PumpTest, ReadThatCannotStartStopsPolling) {
    line.failStart = true;
    line.input = "x";
    com.PollTick();  // collects, then the restart fails
    EXPECT_FALSE(com.IsOpen());
    EXPECT_EQ(com.Send("no"), 0);
    com.Close();
    EXPECT_FALSE(line.deviceOpen);
}

class PortObjectTest : public ::testing::Test {
protected:
    FixedSettings settings;
    ScriptedLine line;
    TCom com{settings, ScriptedOpener(line)};
};

TEST_F(PortObjectTest, OpenAppliesInterimSettingsAndSetBaudTheUsersOnes) {
    settings.twoStopBits = true;
    ASSERT_TRUE(com.Open(5));
    EXPECT_EQ(line.settings.BaudRate, 9600u);
    EXPECT_EQ(line.settings.ByteSize, 7);
    EXPECT_EQ(line.settings.Parity, platform::LineSettings::EvenParity);
    EXPECT_EQ(line.settings.StopBits, platform::LineSettings::TwoStopBits);
    com.SetBaud(256000);
    EXPECT_EQ(line.settings.BaudRate, 256000u);
    EXPECT_EQ(line.settings.ByteSize, 8);
    EXPECT_EQ(line.settings.Parity, platform::LineSettings::NoParity);
    EXPECT_EQ(line.settings.StopBits, platform::LineSettings::OneStopBit);
}

TEST_F(PortObjectTest, NineBitFormatAsksForNineDataBitsAndCarriesOnWhenRefused) {
    ASSERT_TRUE(com.Open(5));
    com.SetBaud(19200);
    settings.format = 5;
    com.SetBaud(38400);
    EXPECT_EQ(line.settings.BaudRate, 19200u);  // refused whole: the previous settings stay
    EXPECT_EQ(com.LineState().ByteSize, 8);
    EXPECT_TRUE(com.IsOpen());
}

TEST_F(PortObjectTest, OpenWhileOpenChangesNothing) {
    ASSERT_TRUE(com.Open(5));
    EXPECT_FALSE(com.Open(6));
    EXPECT_EQ(line.opens, 1);
    EXPECT_TRUE(line.deviceOpen);
}

TEST_F(PortObjectTest, SendAppendsCarriageReturnOnlyWhileOpen) {
    EXPECT_EQ(com.Send("early"), 0);
    ASSERT_TRUE(com.Open(5));
    EXPECT_EQ(com.Send(""), 1);
    EXPECT_EQ(com.Send(ByteString("a\0b", 3)), 4);
    EXPECT_EQ(line.written, ByteString("\ra\0b\r", 5));
    com.Close();
    EXPECT_EQ(com.Send("late"), 0);
    EXPECT_EQ(line.written.size(), 5u);
}

TEST_F(PortObjectTest, SetBaudAndCloseWhileClosedAreHarmless) {
    com.SetBaud(9600);
    com.Close();
    ASSERT_TRUE(com.Open(5));
    com.Close();
    com.Close();
    EXPECT_FALSE(com.IsOpen());
    EXPECT_FALSE(line.deviceOpen);
    EXPECT_TRUE(com.Open(5));
}

TEST_F(PortObjectTest, FirstReadThatCannotStartFailsTheOpenAndReleasesThePort) {
    line.failStart = true;
    EXPECT_FALSE(com.Open(5));
    EXPECT_FALSE(line.deviceOpen);
    EXPECT_FALSE(com.IsOpen());
}

TEST_F(PortObjectTest, PortThatCannotBeHadFailsTheOpen) {
    TCom noPort(settings, [](uint8_t) { return std::unique_ptr<platform::SerialDevice>(); });
    EXPECT_FALSE(noPort.Open(0));
    EXPECT_FALSE(noPort.IsOpen());
}

}  // namespace
