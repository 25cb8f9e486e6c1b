#include "platform/device/receive_queue.h"

#include <algorithm>
#include <cstring>

namespace platform {

ReceiveQueue::ReceiveQueue(ByteSource& source) : source(source) {}

void ReceiveQueue::Start() {
    reader = std::thread([this] { ReaderLoop(); });
}

void ReceiveQueue::Stop() {
    if (!reader.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(mutex);
        stopping = true;
    }
    drained.notify_all();
    source.Wake();
    reader.join();
}

void ReceiveQueue::SetInterval(uint32_t milliseconds) {
    std::lock_guard<std::mutex> guard(mutex);
    intervalMs = milliseconds;
}

// A read is complete once it is full, or at a quiet spell of the line; until the first
// byte it waits without limit.
IoStatus ReceiveQueue::Complete(uint32_t& bytesRead) {
    const bool gapQueued = !gaps.empty();
    const size_t available = gapQueued ? static_cast<size_t>(gaps.front() - consumed) : Queued();
    const bool full = available >= targetSize;
    if (!full && !gapQueued && !(gone && available > 0)) return gone ? IoStatus::Failed : IoStatus::Pending;
    bytesRead = static_cast<uint32_t>(std::min<size_t>(available, targetSize));
    std::memcpy(target, queue.data() + head, bytesRead);
    head += bytesRead;
    consumed += bytesRead;
    while (!gaps.empty() && gaps.front() <= consumed) gaps.pop_front();
    if (head == queue.size()) {
        queue.clear();
        head = 0;
    } else if (head > (1u << 20) && head > queue.size() / 2) {
        queue.erase(0, head);
        head = 0;
    }
    target = nullptr;
    drained.notify_one();
    return IoStatus::Completed;
}

IoStatus ReceiveQueue::StartRead(uint8_t* buffer, uint32_t size, uint32_t& bytesRead) {
    std::lock_guard<std::mutex> guard(mutex);
    if (size == 0) return IoStatus::Failed;
    target = buffer;
    targetSize = size;
    // A full read's worth, or a burst already ended by a quiet spell, completes at once;
    // less waits for the gap. A source that has gone away is reported by the completion
    // check, so that what was gathered before still gets delivered.
    if (Queued() >= size || !gaps.empty()) return Complete(bytesRead);
    return IoStatus::Pending;
}

IoStatus ReceiveQueue::CheckRead(uint32_t& bytesRead) {
    std::lock_guard<std::mutex> guard(mutex);
    if (!target) return IoStatus::Failed;
    return Complete(bytesRead);
}

bool ReceiveQueue::NotifyOnArrival(std::function<void()> arrived) {
    std::lock_guard<std::mutex> guard(mutex);
    if (Queued() > 0 || gone) return false;
    onArrival = std::move(arrived);
    std::string().swap(queue);  // the line is quiet: what a flood made it hold goes back
    head = 0;
    return true;
}

// While bytes wait unread, the reader watches the line for the read interval from its
// last read: the interval passing with nothing arriving, and nothing left in the
// system's input queue, is a quiet spell. A reader that runs late finds the bytes
// queued and merges them rather than splitting a burst that had no gap on the line.
// False: no spell to watch for, so the wait has no limit.
bool ReceiveQueue::WatchingForQuiet() const {
    const bool gapMarked = !gaps.empty() && gaps.back() == consumed + Queued();
    return intervalMs > 0 && Queued() > 0 && !gapMarked;
}

namespace {

// After a small read the reader rests for most of the interval before it looks again,
// so a device that trickles bytes (a USB adapter hands them on every millisecond) wakes
// it a few hundred times a second, not thousands. The rest ends before the interval
// does, so a quiet spell is still seen on time; a big read goes straight on, so a
// flood is drained at full speed.
constexpr long RestBelow = 1024;

ReceiveQueue::Clock::duration RestAfterRead(uint32_t intervalMs) {
    return std::chrono::milliseconds(intervalMs > 1 ? std::min<uint32_t>(intervalMs - 1, 4) : 0);
}

}  // namespace

void ReceiveQueue::MarkQuietSpell() {
    const uint64_t received = consumed + Queued();
    if (Queued() > 0 && (gaps.empty() || gaps.back() < received)) gaps.push_back(received);
}

void ReceiveQueue::ReaderLoop() {
    static thread_local char chunk[64 * 1024];
    Clock::time_point lastRead = Clock::now();
    for (;;) {
        uint32_t interval;
        bool watchingForQuiet;
        {
            std::unique_lock<std::mutex> guard(mutex);
            drained.wait(guard, [this] { return stopping || Queued() < Limit; });
            if (stopping) return;
            interval = intervalMs;
            watchingForQuiet = WatchingForQuiet();
        }
        const Clock::time_point quietAt = lastRead + std::chrono::milliseconds(interval);
        const ByteSource::Wait waited = source.WaitForBytes(watchingForQuiet ? &quietAt : nullptr);
        if (waited == ByteSource::Wait::Closing) return;
        if (waited == ByteSource::Wait::Quiet) {
            if (source.NothingWaiting()) {
                std::lock_guard<std::mutex> guard(mutex);
                MarkQuietSpell();
            }
            continue;
        }
        const long got = source.Read(chunk, sizeof chunk);
        if (got == 0) continue;
        std::function<void()> arrived;
        {
            std::lock_guard<std::mutex> guard(mutex);
            if (got > 0)
                queue.append(chunk, static_cast<size_t>(got));
            else
                gone = true;  // hung up or failed: the device has gone away
            arrived.swap(onArrival);
        }
        if (arrived) arrived();
        if (got < 0) return;
        lastRead = Clock::now();
        if (got < RestBelow && !Rest(RestAfterRead(interval))) return;
    }
}

bool ReceiveQueue::Rest(Clock::duration length) {
    std::unique_lock<std::mutex> guard(mutex);
    return !drained.wait_for(guard, length, [this] { return stopping; });
}

}  // namespace platform
