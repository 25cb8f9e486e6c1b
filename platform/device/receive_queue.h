#pragma once
// The receiving half of a device whose bytes a thread of its own takes as they arrive:
// the queue it drains them into, the quiet spells of the line it marks, and the one
// outstanding read of SerialDevice, completed from the queue without blocking. Portable;
// a backend gives the source of the bytes.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/device/serial_device.h"

namespace platform {

// Where the bytes come from: a terminal device, a socket.
class ByteSource {
public:
    using Clock = std::chrono::steady_clock;
    enum class Wait { Readable, Quiet, Closing };
    virtual ~ByteSource() = default;
    // Waits for bytes until the deadline (nullptr: without limit) or until Wake.
    virtual Wait WaitForBytes(const Clock::time_point* deadline) = 0;
    // Reads what is there: the count, 0 when nothing came after all (an interrupted read,
    // or a protocol's own bytes), -1 when the source has gone away.
    virtual long Read(char* buffer, size_t size) = 0;
    // Nothing received waits below us, in the system's own queue.
    virtual bool NothingWaiting() = 0;
    // Ends the wait in progress and every later one; any thread.
    virtual void Wake() = 0;
};

class ReceiveQueue {
public:
    using Clock = ByteSource::Clock;
    // Past this much unread, the reader stops taking bytes and the source is held back,
    // as a full driver buffer would hold back the line.
    static constexpr size_t Limit = 2 << 20;

    explicit ReceiveQueue(ByteSource& source);
    ~ReceiveQueue() { Stop(); }
    void Start();  // the reader thread
    void Stop();   // ends it; before the source goes

    void SetInterval(uint32_t milliseconds);
    IoStatus StartRead(uint8_t* buffer, uint32_t size, uint32_t& bytesRead);
    IoStatus CheckRead(uint32_t& bytesRead);
    bool NotifyOnArrival(std::function<void()> arrived);

private:
    void ReaderLoop();
    bool Rest(Clock::duration length);  // false when stopped meanwhile
    bool WatchingForQuiet() const;      // with the mutex held
    IoStatus Complete(uint32_t& bytesRead);  // with the mutex held
    size_t Queued() const { return queue.size() - head; }
    void MarkQuietSpell();  // with the mutex held

    ByteSource& source;
    std::mutex mutex;
    std::condition_variable drained;  // the queue has room again, or we are stopping
    std::string queue;                // bytes from head on are unread
    size_t head = 0;
    // Where the line fell quiet for longer than the interval, as counts of bytes received
    // before the gap: a read ends there even when it is checked only after more arrived.
    // Only the line makes a gap, never a late reader or a late check.
    std::deque<uint64_t> gaps;
    uint64_t consumed = 0;  // taken by completed reads since the start
    bool gone = false;      // the source hung up or failed
    bool stopping = false;
    uint32_t intervalMs = 0;
    std::function<void()> onArrival;
    // The one outstanding read: where it goes, and how much it wants.
    uint8_t* target = nullptr;
    uint32_t targetSize = 0;
    std::thread reader;
};

}  // namespace platform
