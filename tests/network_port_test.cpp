// The network port's portable parts: its address, and the telnet side byte by byte.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/device/network_port.h"
#include "platform/device/socket.h"
#include "platform/device/telnet.h"

namespace {

TEST(NetworkAddress, Cases) {
    struct Case {
        const char* text;
        bool valid;
        bool rfc2217 = false;
        const char* host = "";
        int port = 0;
    } cases[] = {
        {"rfc2217://lab-pi:2001", true, true, "lab-pi", 2001},
        {"tcp://10.0.0.7:4000", true, false, "10.0.0.7", 4000},
        {"rfc2217://[fe80::1]:2001", true, true, "fe80::1", 2001},
        {"rfc2217://[::1]:65535", true, true, "::1", 65535},
        {"rfc2217://lab-pi", false},
        {"rfc2217://lab-pi:0", false},
        {"rfc2217://lab-pi:65536", false},
        {"rfc2217://:2001", false},
        {"rfc2217://fe80::1:2001", false},  // an IPv6 address needs its brackets
        {"rfc2217://[::1]2001", false},
        {"tcp://lab pi:2001", false},
        {"telnet://lab-pi:2001", false},
        {"/dev/ttyUSB0", false},
    };
    for (const Case& c : cases) {
        platform::NetworkPort address;
        std::string error;
        EXPECT_EQ(platform::ParseNetworkPort(c.text, address, error), c.valid) << c.text;
        if (!c.valid) {
            EXPECT_NE(error.find(c.text), std::string::npos) << "the error names what was given: " << error;
            continue;
        }
        EXPECT_EQ(address.rfc2217, c.rfc2217) << c.text;
        EXPECT_EQ(address.host, c.host) << c.text;
        EXPECT_EQ(address.port, c.port) << c.text;
    }
}

ByteString Bytes(std::initializer_list<int> values) {
    ByteString bytes;
    for (int value : values) bytes += static_cast<char>(value);
    return bytes;
}

constexpr int Iac = 255, Dont = 254, Do = 253, Wont = 252, Will = 251, Sb = 250, Se = 240;

// What the wire brings, in the pieces it comes in: the data, and the answers owed.
TEST(TelnetLink, ReceiveTable) {
    struct Case {
        const char* name;
        std::vector<ByteString> pieces;
        ByteString data, reply;
    } cases[] = {
        {"plain data", {"abc"}, "abc", ""},
        {"a doubled IAC is one 0xFF", {Bytes({'a', Iac, Iac, 'b'})}, Bytes({'a', 0xFF, 'b'}), ""},
        {"a run of 0xFF", {Bytes({Iac, Iac, Iac, Iac, Iac, Iac})}, Bytes({0xFF, 0xFF, 0xFF}), ""},
        {"IAC split from its double", {Bytes({'a', Iac}), Bytes({Iac, 'b'})}, Bytes({'a', 0xFF, 'b'}), ""},
        {"a command split in three", {Bytes({Iac}), Bytes({Do}), Bytes({24, 'x'})}, "x", Bytes({Iac, Wont, 24})},
        {"unknown options refused", {Bytes({Iac, Will, 1, Iac, Do, 31})}, "", Bytes({Iac, Dont, 1, Iac, Wont, 31})},
        {"options asked for already: no answer", {Bytes({Iac, Do, 0, Iac, Will, 0, Iac, Do, 3, Iac, Will, 3})}, "", ""},
        {"binary turned off is answered once", {Bytes({Iac, Dont, 0, Iac, Dont, 0})}, "", Bytes({Iac, Wont, 0})},
        {"refusals of what we never had: no answer", {Bytes({Iac, Wont, 24, Iac, Dont, 31})}, "", ""},
        {"a subnegotiation is not data", {Bytes({'a', Iac, Sb, 44, 101, 0, 0, 0x25, 0x80, Iac, Se, 'b'})}, "ab", ""},
        {"split inside a subnegotiation", {Bytes({Iac, Sb, 44, 107}), Bytes({0x30, Iac}), Bytes({Se, 'z'})}, "z", ""},
        {"NOP and GA are dropped", {Bytes({'a', Iac, 241, Iac, 249, 'b'})}, "ab", ""},
        {"a refusal is owed once an option", {Bytes({Iac, Do, 24, Iac, Do, 24}), Bytes({Iac, Will, 31, Iac, Will, 31})}, "",
         Bytes({Iac, Wont, 24, Iac, Dont, 31})},
        {"a command inside a subnegotiation ends it and is obeyed", {Bytes({Iac, Sb, 44, 107, Iac, Do, 24, 'x'})}, "x",
         Bytes({Iac, Wont, 24})},
        {"a doubled IAC inside a subnegotiation is not data", {Bytes({Iac, Sb, 44, Iac, Iac, Iac, Se, 'y'})}, "y", ""},
    };
    for (const Case& c : cases) {
        platform::TelnetLink link;
        ByteString data, reply;
        for (const ByteString& piece : c.pieces) link.Receive(piece.data(), piece.size(), data, reply);
        EXPECT_EQ(data, c.data) << c.name;
        EXPECT_EQ(reply, c.reply) << c.name;
    }
}

// A server that opens a subnegotiation and never ends it: the data after its end flows
// again, and nothing it sent is kept beyond the bound.
TEST(TelnetLink, AnEndlessSubnegotiationIsDroppedAndDataResumes) {
    platform::TelnetLink link;
    ByteString data, reply;
    const ByteString start = Bytes({'a', Iac, Sb, 44, 107});
    link.Receive(start.data(), start.size(), data, reply);
    const ByteString filler(1 << 20, 'x');
    link.Receive(filler.data(), filler.size(), data, reply);
    EXPECT_EQ(data, "a") << "nothing of the subnegotiation is data";
    EXPECT_EQ(link.OverlongDropped(), 1);
    const ByteString end = Bytes({Iac, Iac, 'y', Iac, Se, 'b', Iac, Sb, 44, 107, 0x10, Iac, Se});
    link.Receive(end.data(), end.size(), data, reply);
    EXPECT_EQ(data, "ab");
    EXPECT_EQ(link.ModemState(), 0x10) << "the next one is read as ever";
    EXPECT_EQ(link.OverlongDropped(), 1);
}

// NOTIFY-LINESTATE: overrun 0x02, parity 0x04, framing 0x08, break 0x10; the data-ready
// and shift-register bits are no errors. Flow answers are kept apart from DTR's and RTS's.
TEST(TelnetLink, LineErrorsAndTheFlowAnswerAreKeptUntilTaken) {
    platform::TelnetLink link;
    ByteString data, reply;
    const ByteString wire = Bytes({Iac, Sb, 44, 106, 0x04, Iac, Se, Iac, Sb, 44, 106, 0x14, Iac, Se,
                                   Iac, Sb, 44, 106, 0x61, Iac, Se, Iac, Sb, 44, 106, 0x0A, Iac, Se,
                                   Iac, Sb, 44, 105, 3, Iac, Se, Iac, Sb, 44, 105, 8, Iac, Se});
    link.Receive(wire.data(), wire.size(), data, reply);
    const platform::LineErrors errors = link.TakeLineErrors();
    EXPECT_EQ(errors.Parity, 2u);
    EXPECT_EQ(errors.Breaks, 1u);
    EXPECT_EQ(errors.Framing, 1u);
    EXPECT_EQ(errors.Overruns, 1u);
    EXPECT_FALSE(link.TakeLineErrors().Any()) << "told once";
    EXPECT_EQ(link.FlowAnswer(), platform::TelnetLink::HardwareFlow) << "DTR's answer after it leaves it";
    EXPECT_EQ(data, "");
}

TEST(TelnetLink, TheServersAnswersAreKept) {
    platform::TelnetLink link;
    EXPECT_FALSE(link.ComPortAccepted());
    EXPECT_EQ(link.ModemState(), -1);
    ByteString data, reply;
    const ByteString wire = Bytes({Iac, Do, 44, Iac, Sb, 44, 101, 0, 1, 0xC2, 0x00, Iac, Se,  // 115200
                                   Iac, Sb, 44, 107, 0xB0, Iac, Se,                            // CD, DSR, CTS
                                   Iac, Sb, 44, 102, Iac, Iac, Iac, Se});                      // 0xFF doubled inside
    link.Receive(wire.data(), wire.size(), data, reply);
    EXPECT_TRUE(link.ComPortAccepted());
    EXPECT_EQ(link.Answer(platform::TelnetLink::SetBaudRate), 115200);
    EXPECT_EQ(link.ModemState(), 0xB0);
    EXPECT_EQ(link.Answer(platform::TelnetLink::SetDataSize), 0xFF);
    EXPECT_EQ(data, "");
    EXPECT_EQ(reply, "");

    platform::TelnetLink refused;
    const ByteString no = Bytes({Iac, Dont, 44});
    refused.Receive(no.data(), no.size(), data, reply);
    EXPECT_TRUE(refused.ComPortRefused());
}

// A write cut short: how much data went, and whether the cut fell inside a doubled 0xFF.
TEST(TelnetLink, TheDataAWireCutShortCarried) {
    const ByteString wire = platform::TelnetLink::Escaped(Bytes({'a', 0xFF, 'b', 0xFF}));  // a FF FF b FF FF
    struct Case {
        size_t sent, data;
        bool midPair;
    } cases[] = {{0, 0, false}, {1, 1, false}, {2, 1, true}, {3, 2, false}, {4, 3, false}, {5, 3, true}, {6, 4, false}};
    for (const Case& c : cases) {
        bool midPair = !c.midPair;
        EXPECT_EQ(platform::TelnetLink::DataBytesSent(wire, c.sent, midPair), c.data) << c.sent;
        EXPECT_EQ(midPair, c.midPair) << c.sent;
    }
}

TEST(TelnetLink, WhatGoesOutIsEscaped) {
    EXPECT_EQ(platform::TelnetLink::Escaped(Bytes({'a', 0xFF, 0xFF, 'b'})), Bytes({'a', 0xFF, 0xFF, 0xFF, 0xFF, 'b'}));
    EXPECT_EQ(platform::TelnetLink::ComPortCommand(platform::TelnetLink::SetBaudRate, Bytes({0, 0, 0xFF, 1})),
              Bytes({Iac, Sb, 44, 1, 0, 0, 0xFF, 0xFF, 1, Iac, Se}));
    EXPECT_EQ(platform::TelnetLink::Greeting(), Bytes({Iac, Will, 0, Iac, Do, 0, Iac, Will, 3, Iac, Do, 3, Iac, Will, 44}));
}

}  // namespace

// A name lookup that hangs (a dead name server) gives Connect its answer by the deadline;
// what the lookup finds later is freed on its own thread, and one that ends in time is
// waited for.
TEST(RunBounded, WorkThatOutlivesTheDeadlineIsLeftAndCleanedUpLater) {
    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;
    auto cleaned = std::make_shared<std::atomic<bool>>(false);
    const auto start = Clock::now();
    EXPECT_FALSE(platform::RunBounded([] { std::this_thread::sleep_for(500ms); }, [cleaned] { *cleaned = true; },
                                      Clock::now() + 50ms));
    EXPECT_LT(Clock::now() - start, 400ms);
    EXPECT_FALSE(*cleaned);
    while (!*cleaned && Clock::now() - start < 5s) std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(*cleaned) << "the late work's own clean-up ran once it ended";

    int answer = 0;
    auto late = std::make_shared<std::atomic<bool>>(false);
    EXPECT_TRUE(platform::RunBounded([&answer] { answer = 42; }, [late] { *late = true; }, Clock::now() + 5s));
    EXPECT_EQ(answer, 42);
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(*late) << "work that ended in time is the caller's";
}

