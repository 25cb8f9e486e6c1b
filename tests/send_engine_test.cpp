// The send engine against a recording line: what it hands over, when, and how it ends.
// The line is a fake so that the times a device would see can be worked out exactly
// from the rate; the gaps asserted are lower bounds, which a slow machine only widens.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "ui/send_engine.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Records each write with when it was handed over; with `hold`, takes nothing until a
// discard, as a device that sent XOFF.
struct RecordingLine {
    struct Write {
        ByteString bytes;
        Clock::time_point handed;
    };
    std::mutex lock;
    std::condition_variable discarded;
    std::vector<Write> writes;
    int drains = 0;
    bool hold = false;
    bool discard = false;
    Clock::duration perWrite{};  // as a device that takes its time

    SendTarget Target(uint32_t baud, bool mayHold = false) {
        SendTarget target;
        target.write = [this](const ByteString& bytes) {
            std::unique_lock<std::mutex> guard(lock);
            writes.push_back({bytes, Clock::now()});
            if (perWrite > Clock::duration::zero()) std::this_thread::sleep_for(perWrite);
            if (!hold) return static_cast<int32_t>(bytes.size());
            discarded.wait_for(guard, 100s, [this] { return discard; });
            return int32_t{0};
        };
        target.waitUntilSent = [this] {
            std::lock_guard<std::mutex> guard(lock);
            ++drains;
        };
        target.baudRate = baud;
        target.bitsPerCharacter = 10;
        target.deviceMayHold = mayHold;
        return target;
    }
    void Discard() {
        std::lock_guard<std::mutex> guard(lock);
        discard = true;
        discarded.notify_all();
    }
    ByteString All() {
        std::lock_guard<std::mutex> guard(lock);
        ByteString all;
        for (const Write& write : writes) all += write.bytes;
        return all;
    }
};

Clock::duration OnTheLine(size_t bytes, uint32_t baud) { return std::chrono::microseconds(1000000ULL * bytes * 10 / baud); }

Pacing Paced(int charMs, int lineMs) {
    Pacing pacing;
    pacing.CharDelayMs = charMs;
    pacing.LineDelayMs = lineMs;
    return pacing;
}

bool EndsWithin(SendEngine& engine, Clock::duration limit) {
    const auto until = Clock::now() + limit;
    while (!engine.Done() && Clock::now() < until) std::this_thread::sleep_for(1ms);
    return engine.Done();
}

// The delay a user sets is quiet on the wire: at 9600 a line of 44 bytes takes 45.8 ms
// to go, and the next must not start before that and the delay have passed, however
// soon the driver took the line. Likewise each character at 300 baud (33.3 ms).
TEST(SendEngineTest, EveryDelayIsQuietOnTheWireAfterTheBytesHaveGone) {
    struct Case {
        uint32_t baud;
        int charMs, lineMs;
        std::vector<ByteString> lines;
        bool perByte;  // the gaps are between bytes, not lines
    };
    const Case cases[] = {
        {9600, 0, 5, {ByteString(42, 'a') + "\r\n", ByteString(42, 'b') + "\r\n", ByteString(42, 'c') + "\r\n"}, false},
        {300, 20, 0, {"ABCD\r"}, true},
        {115200, 0, 1, {ByteString(1000, 'x') + "\r", ByteString(1000, 'y') + "\r"}, false},
    };
    for (const Case& c : cases) {
        RecordingLine line;
        SendEngine engine(c.lines, Paced(c.charMs, c.lineMs), line.Target(c.baud));
        ASSERT_TRUE(EndsWithin(engine, 10s)) << c.baud;
        ByteString sent;
        for (const ByteString& each : c.lines) sent += each;
        EXPECT_EQ(line.All(), sent) << c.baud;
        // Where each unit (line or byte) started on the wire, and how many bytes it held.
        std::vector<std::pair<Clock::time_point, size_t>> units;
        size_t lineIndex = 0, inLine = 0;
        for (const RecordingLine::Write& write : line.writes) {
            if (c.perByte || inLine == 0) units.push_back({write.handed, 0});
            units.back().second += write.bytes.size();
            inLine += write.bytes.size();
            if (!c.perByte && inLine == c.lines[lineIndex].size()) {
                inLine = 0;
                ++lineIndex;
            }
        }
        const auto delay = std::chrono::milliseconds(c.perByte ? c.charMs : c.lineMs);
        for (size_t i = 1; i < units.size(); ++i) {
            const auto quiet = units[i].first - (units[i - 1].first + OnTheLine(units[i - 1].second, c.baud));
            EXPECT_GE(quiet, delay) << c.baud << " baud, unit " << i << ": "
                                    << std::chrono::duration<double, std::milli>(quiet).count() << " ms of quiet";
        }
        EXPECT_GE(line.drains, static_cast<int>(units.size()) - 1) << "the driver is asked whether the bytes have gone";
    }
}

// A file paced by lines splits where a pasted text would: at LF, CR LF and a lone CR,
// each line keeping its own end; a line longer than a piece still goes in pieces.
TEST(SendEngineTest, AFileSplitsAtCrLfAndCrLfEachLineWithItsOwnEnd) {
    const std::string path = (std::filesystem::temp_directory_path() / ("comterm-engine-" + std::to_string(std::random_device{}()))).string();
    std::ofstream(path, std::ios::binary) << "one\rtwo\nthree\r\nfour\n\nfive";
    RecordingLine line;
    {
        SendEngine engine(path, Paced(0, 1), line.Target(115200));
        ASSERT_TRUE(EndsWithin(engine, 10s));
        EXPECT_EQ(engine.LinesSent(), 6u);
        std::vector<ByteString> lines;
        for (const ByteString& each : engine.TakeSent()) lines.push_back(each);
        EXPECT_EQ(lines, (std::vector<ByteString>{"one\r", "two\n", "three\r\n", "four\n", "\n", "five"}));
        EXPECT_EQ(engine.Failure(), "");
    }
    EXPECT_EQ(line.All(), "one\rtwo\nthree\r\nfour\n\nfive");
    std::filesystem::remove(path);
}

// A device that holds what it was given: Cancel and the owner's discard end the engine at
// once, paced or not, whatever the line's length; without the discard it would wait for
// the device.
TEST(SendEngineTest, CancelAndADiscardEndAHeldSendAtOnce) {
    for (const Pacing& pacing : {Pacing{}, Paced(0, 5)}) {
        RecordingLine line;
        line.hold = true;
        SendEngine engine(std::vector<ByteString>{ByteString(64 << 10, 'x') + "\r"}, pacing, line.Target(9600, true));
        std::this_thread::sleep_for(100ms);
        const auto cancelled = Clock::now();
        engine.Cancel();
        line.Discard();
        engine.Join();
        EXPECT_LT(Clock::now() - cancelled, 1s);
        EXPECT_LT(line.All().size(), 100u) << "a piece of the line's 40 ms at a time";
    }
}

// A line typed while a file goes goes whole between two pieces of it.
TEST(SendEngineTest, ALineTypedMeanwhileGoesWholeBetweenTwoPieces) {
    const std::string path = (std::filesystem::temp_directory_path() / ("comterm-engine-" + std::to_string(std::random_device{}()))).string();
    std::ofstream(path, std::ios::binary) << ByteString(20000, 'f');
    RecordingLine line;
    line.perWrite = 2ms;
    {
        SendEngine engine(path, Pacing{}, line.Target(115200));
        while (line.All().size() < 1000) std::this_thread::sleep_for(1ms);
        EXPECT_TRUE(engine.SendBetweenPieces("typed\r"));
        ASSERT_TRUE(EndsWithin(engine, 10s));
        EXPECT_FALSE(engine.SendBetweenPieces("late\r")) << "the caller's to send once the engine has ended";
    }
    const ByteString all = line.All();
    EXPECT_EQ(all.size(), 20006u);
    const size_t typed = all.find("typed\r");
    ASSERT_NE(typed, ByteString::npos);
    EXPECT_EQ(typed % PieceSizeFor(115200), 0u) << "between two pieces, never inside one";
    std::filesystem::remove(path);
}

}  // namespace
