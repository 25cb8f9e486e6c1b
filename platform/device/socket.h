#pragma once
// A TCP connection to a serial port served over the network: made with a time limit on a
// thread that may wait, then read by one thread and written by another.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/device/receive_queue.h"

namespace platform {

// Runs `work` on a thread of its own and waits for it until the deadline: true when it
// ended by then. Work that outlives the deadline is left to end alone, and `late` runs on
// its thread once it has (to free what it found). For calls the system gives no time
// limit of their own, such as a name lookup.
bool RunBounded(std::function<void()> work, std::function<void()> late, std::chrono::steady_clock::time_point deadline);

// A name lookup by the deadline: `lookUp` fills in the list of addresses and gives the
// system's result code; a list that comes after the deadline is given to `release`.
// False when the deadline passed first.
template <typename List, typename LookUp, typename Release>
bool LookUpBounded(std::chrono::steady_clock::time_point deadline, LookUp lookUp, Release release, int& result, List*& found) {
    struct Lookup {
        int result = -1;
        List* found = nullptr;
    };
    auto lookup = std::make_shared<Lookup>();
    if (!RunBounded([lookup, lookUp] { lookup->result = lookUp(&lookup->found); },
                    [lookup, release] { if (lookup->found) release(lookup->found); }, deadline))
        return false;
    result = lookup->result;
    found = lookup->found;
    return true;
}

class StreamSocket {
public:
    using Clock = std::chrono::steady_clock;
    virtual ~StreamSocket() = default;

    // Connects to host:port, the name lookup included, giving up at the deadline; nullptr
    // with why in `error` ("no such host", "connection refused", "no answer"). Blocks: never
    // on the GUI thread. Small writes go out at once (no Nagle delay).
    static std::unique_ptr<StreamSocket> Connect(const std::string& host, uint16_t port, Clock::time_point deadline,
                                                 std::string& error);
    // A connection whose peer stops answering (not closing) ends after at most
    // KeepAliveIdleS + KeepAliveProbes * KeepAliveIntervalS seconds of silence.
    static constexpr int KeepAliveIdleS = 10, KeepAliveIntervalS = 5, KeepAliveProbes = 3;

    // What is left until the deadline, rounded up, in whole milliseconds: none once past.
    static int64_t MillisecondsLeft(Clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return std::max<int64_t>(std::min<int64_t>(left + 1, 1 << 30), 0);
    }

    // Sends data, waiting no later than the deadline; the count sent.
    virtual size_t Send(const char* data, size_t size, Clock::time_point deadline) = 0;
    // For the reading thread: as ByteSource's, with Receive for Read (the count, 0 for
    // nothing after all, -1 when the connection has ended).
    virtual ByteSource::Wait WaitForBytes(const Clock::time_point* deadline) = 0;
    virtual long Receive(char* buffer, size_t size) = 0;
    virtual bool NothingWaiting() = 0;
    virtual void Wake() = 0;
};

}  // namespace platform
