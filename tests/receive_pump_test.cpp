// The receive pump and the port object's calls, over a scripted line with ticks by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <thread>
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

    // One read's worth arrives: the first tick collects it, the next one delivers.
    void Arrive(const ByteString& bytes) {
        line.input = bytes;
        com.PollTick();
        com.PollTick();
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

// What a port object delivers when these reads arrive one after another, each
// collected at one tick and delivered at the next.
std::vector<ByteString> DeliveriesOf(bool splitAtCR, const std::vector<ByteString>& arrivals) {
    FixedSettings settings;
    ScriptedLine line;
    TCom com{settings, ScriptedOpener(line)};
    com.SplitAtCR = splitAtCR;
    std::vector<ByteString> deliveries;
    com.OnReceive = [&](const ByteString& text) { deliveries.push_back(text); };
    EXPECT_TRUE(com.Open(5));
    for (const ByteString& bytes : arrivals) {
        line.input = bytes;
        com.PollTick();
        com.PollTick();
    }
    return deliveries;
}

TEST(PumpDeliveries, EachReadAsItCameOrSplitAtCarriageReturns) {
    ByteString low, high;
    for (int i = 0; i < 200; ++i) low += static_cast<char>(i);
    for (int i = 200; i < 256; ++i) high += static_cast<char>(i);
    struct Case {
        const char* name;
        bool splitAtCR;
        std::vector<ByteString> arrivals, delivered;
    } cases[] = {
        {"a burst, whole", false, {"hello"}, {"hello"}},
        {"every byte value, unchanged", false, {low, high}, {low, high}},
        {"carriage returns kept in chunks", false, {"a\rb\r"}, {"a\rb\r"}},
        {"lines at each CR, without it", true, {ByteString("AB\rCD", 5), ByteString("E\r\r\nF\0\r", 7)},
         {"AB", "CDE", "", ByteString("\nF\0", 3)}},
        {"a line without its CR waits", true, {"partial"}, {}},
        {"nothing read, nothing delivered", false, {""}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(DeliveriesOf(c.splitAtCR, c.arrivals), c.delivered) << c.name;
}

// A send waits at most twice the time its bytes take on the line, plus a second.
TEST(WriteBound, TwiceTheLineTimePlusASecond) {
    using platform::LineSettings;
    const LineSettings n81{9600, 8, LineSettings::NoParity, LineSettings::OneStopBit};
    const LineSettings e72{9600, 7, LineSettings::EvenParity, LineSettings::TwoStopBits};
    const LineSettings fastest{256000, 8, LineSettings::NoParity, LineSettings::OneStopBit};
    const LineSettings unknownRate{0, 8, LineSettings::NoParity, LineSettings::OneStopBit};
    struct Case {
        const char* name;
        LineSettings line;
        uint32_t size;
        long long milliseconds;
    } cases[] = {
        {"nothing to send", n81, 0, 1000},
        {"8N1 at 9600: 10 bits a byte", n81, 960, 3000},
        {"7E2 at 9600: 11 bits a byte", e72, 960, 3200},
        {"256000, the fastest in the list", fastest, 25600, 3000},
        {"a rate that cannot be read counts as 9600", unknownRate, 960, 3000},
        {"100 MB does not overflow", n81, 100000000, 2 * (100000000LL * 10 * 1000 / 9600) + 1000},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::WriteBound(c.line, c.size).count(), c.milliseconds) << c.name;
}

TEST_F(PumpTest, WithoutReceiverDeliveryStillConsumes) {
    com.OnReceive = nullptr;
    Arrive("lost");
    com.OnReceive = [this](const ByteString& text) { deliveries.push_back(text); };
    Arrive("kept");
    EXPECT_EQ(deliveries, std::vector<ByteString>{"kept"});

    com.SplitAtCR = true;
    com.OnReceive = nullptr;
    Arrive("a\rtail");
    com.OnReceive = [this](const ByteString& text) { deliveries.push_back(text); };
    Arrive("\r");
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
    Arrive("before");
    com.PollTick();  // what the nested tick collected was kept
    EXPECT_EQ(deliveries, (std::vector<ByteString>{"before", "during"}));
}

TEST_F(PumpTest, LeftoversAreDeliveredAfterReopenAheadOfNewData) {
    com.SplitAtCR = true;
    Arrive("partial");
    com.Close();
    ASSERT_TRUE(com.Open(5));
    Arrive(" line\r");
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

TEST_F(PumpTest, LargeGatheringIsHandedOverInPiecesAtOneTickAndARefusedPieceStays) {
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
    EXPECT_THROW(com.PollTick(), std::runtime_error) << "55, 100, then the third is refused";
    EXPECT_EQ(deliveries.size(), 2u);
    com.PollTick();  // collects the rest
    com.PollTick();
    EXPECT_EQ(deliveries.size(), 2u) << "held until resumed";
    com.ResumeDelivery();
    com.PollTick();
    EXPECT_EQ(Sizes(deliveries), (std::vector<size_t>{55, 100, 95, 100})) << "the odd bytes first, the last piece whole";
    EXPECT_EQ(Joined(deliveries), sent);
}

// A flood gathers many pieces between two deliveries: the tick that delivers hands over
// every one, each on its own, and says when it is done.
TEST_F(PumpTest, BacklogOfWholePiecesIsDeliveredAtOneTickThenDone) {
    com.MaxDelivery = 100;
    ByteString sent;
    for (int i = 0; i < 255 * 20; ++i) sent += static_cast<char>(i % 253);
    std::vector<size_t> piecesAtDone;
    com.OnDeliveryDone = [&] { piecesAtDone.push_back(deliveries.size()); };
    line.input = sent;
    int ticks = 0;
    for (; Joined(deliveries).size() < sent.size() && ticks < 100; ++ticks) com.PollTick();
    EXPECT_EQ(ticks, 2) << "one tick collects it all, the next delivers it all";
    EXPECT_EQ(piecesAtDone, std::vector<size_t>{51});
    for (size_t size : Sizes(deliveries)) EXPECT_EQ(size, 100u);
    EXPECT_TRUE(Joined(deliveries) == sent);
}

// A receiver slower than the flood gets the pieces a tick's budget allows; the rest
// waits, in order, for the ticks after.
TEST_F(PumpTest, ATickDeliversForItsBudgetAndTheRestFollows) {
    com.MaxDelivery = 100;
    ByteString sent;
    for (int i = 0; i < 3000; ++i) sent += static_cast<char>(i % 251);
    std::vector<size_t> piecesAtDone;
    com.OnReceive = [&](const ByteString& text) {
        std::this_thread::sleep_for(TCom::DeliveryBudget / 3);
        deliveries.push_back(text);
    };
    com.OnDeliveryDone = [&] { piecesAtDone.push_back(deliveries.size()); };
    line.input = sent;
    for (int ticks = 0; Joined(deliveries).size() < sent.size() && ticks < 100; ++ticks) com.PollTick();
    ASSERT_GE(piecesAtDone.size(), 3u);
    EXPECT_LE(piecesAtDone[0], 4u) << "a tick stops handing over once its budget is spent";
    EXPECT_TRUE(Joined(deliveries) == sent);
}

// The receiver that shows a tick's pieces together can refuse them too: nothing more is
// handed over until it has room again.
TEST_F(PumpTest, ARefusedShowingHoldsDeliveriesUntilResumed) {
    bool full = true;
    com.OnDeliveryDone = [&] {
        if (full) throw std::runtime_error("full");
    };
    line.input = "one";
    com.PollTick();
    EXPECT_THROW(com.PollTick(), std::runtime_error);
    line.input = "two";
    com.PollTick();
    com.PollTick();
    EXPECT_EQ(deliveries, std::vector<ByteString>{"one"});
    full = false;
    com.ResumeDelivery();
    com.PollTick();
    EXPECT_EQ(deliveries, (std::vector<ByteString>{"one", "two"}));
}

// A port that has more every time it is read would keep a collecting tick reading: it
// stops at the limit, and the read it started then is taken by the next tick that collects.
TEST_F(PumpTest, ACollectingTickStopsAtTheLimitAndLosesNoRead) {
    ByteString sent;
    for (size_t i = 0; i < 3 * TCom::HoldLimit; ++i) sent += static_cast<char>(i % 249);
    line.input = sent;
    com.PollTick();
    EXPECT_LE(sent.size() - line.input.size(), TCom::HoldLimit + 2 * TCom::ReadSize);
    for (int tick = 0; tick < 100 && Joined(deliveries).size() < sent.size(); ++tick) com.PollTick();
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
    Arrive("\r");
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
    TCom noPort(settings, [](uint8_t, bool) { return std::unique_ptr<platform::SerialDevice>(); });
    EXPECT_FALSE(noPort.Open(0));
    EXPECT_FALSE(noPort.IsOpen());
}

}  // namespace
