// The serial device on Linux: exclusive open, raw line, and one background read with
// an inter-byte time-out, checked without blocking from the GUI thread.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <algorithm>
#include <climits>
#include <cstring>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/port_scan.h"
#include "platform/posix/modem_lines.h"
#include "platform/posix/port_map.h"
#include "platform/posix/termination.h"
#include "platform/serial_device.h"
#include "platform/posix/termios_linux.h"
#include "platform/posix/uucp_lock.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// Takes the device for ourselves: its flock, then the exclusive flag that keeps other
// opens out. False (and nothing left held) when a live holder has the flock. A flag
// left set by a holder that died without closing keeps everyone but root from opening
// the device at all; root's open gets past it, and this then sets it anew.
bool TakeExclusive(int fd) {
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return false;
    if (ioctl(fd, TIOCEXCL) != 0) {
        flock(fd, LOCK_UN);
        return false;
    }
    return true;
}

void ReleaseExclusive(int fd) {
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
}

// The reader thread drains the device into this queue as bytes arrive, so the kernel's
// small tty buffer never limits the rate; past this size it stops reading and the
// device is held back as a full driver buffer would.
constexpr size_t QueueLimit = 2 << 20;

class PosixSerialDevice : public SerialDevice {
public:
    PosixSerialDevice(int fd, int wakeFd, std::unique_ptr<UucpLock> lock, const termios2& settingsAtOpen)
        : fd(fd), wakeFd(wakeFd), lock(std::move(lock)), settingsAtOpen(settingsAtOpen),
          reader([this] { ReaderLoop(); }) {}
    ~PosixSerialDevice() override;

    bool SetupQueues(uint32_t, uint32_t) override { return true; }
    bool SetReadIntervalTimeout(uint32_t milliseconds) override;
    bool GetLineSettings(LineSettings& settings) override;
    bool SetLineSettings(const LineSettings& settings) override;
    IoStatus StartRead(uint8_t* buffer, uint32_t size, uint32_t& bytesRead) override;
    IoStatus CheckRead(uint32_t& bytesRead) override;
    bool NotifyOnArrival(std::function<void()> arrived) override;
    int32_t Write(const uint8_t* data, uint32_t size) override;
    bool SetModemControl(bool dtr, bool rts) override { return SetModemControlLines(fd, dtr, rts); }
    bool GetModemStatus(ModemStatus& status) override { return ReadModemStatusLines(fd, status); }
    bool SendBreak(int milliseconds) override { return HoldBreak(fd, milliseconds); }
    void DiscardPendingOutput() override { DiscardOutput(fd); }

private:
    enum class Wait { Readable, Quiet, Closing };
    void ReaderLoop();
    Wait WaitForBytes(const Clock::time_point* deadline);
    bool Rest(Clock::duration length);
    bool WatchingForQuiet() const;  // with the mutex held
    bool InputQueueEmpty();
    IoStatus Complete(uint32_t& bytesRead);  // with the mutex held
    size_t Queued() const { return queue.size() - head; }
    void MarkQuietSpell();  // with the mutex held

    const int fd;
    const int wakeFd;  // signalled by close: closing fd does not wake a blocked poll
    std::unique_ptr<UucpLock> lock;
    const termios2 settingsAtOpen;

    std::mutex mutex;
    std::condition_variable drained;  // the queue has room again, or we are closing
    std::string queue;                // bytes from head on are unread
    size_t head = 0;
    // Where the line fell quiet for longer than the interval, as counts of bytes received
    // before the gap: a read ends there even when it is checked only after more arrived.
    // Only the line makes a gap, never a late reader or a late check.
    std::deque<uint64_t> gaps;
    uint64_t consumed = 0;  // taken by completed reads since the port opened
    bool gone = false;      // the device hung up or failed
    bool stopping = false;
    uint32_t intervalMs = 0;
    std::function<void()> onArrival;

    // The one outstanding read: where it goes, and how much it wants.
    uint8_t* target = nullptr;
    uint32_t targetSize = 0;

    std::thread reader;  // last: starts once everything above is set
};

PosixSerialDevice::~PosixSerialDevice() {
    {
        std::lock_guard<std::mutex> guard(mutex);
        stopping = true;
    }
    drained.notify_all();
    uint64_t one = 1;
    (void)!write(wakeFd, &one, sizeof one);
    reader.join();
    DiscardOutput(fd);  // output held back by flow control would keep close waiting
    SetTermios(fd, settingsAtOpen);
    ReleaseExclusive(fd);
    close(fd);
    close(wakeFd);
}

bool PosixSerialDevice::SetReadIntervalTimeout(uint32_t milliseconds) {
    std::lock_guard<std::mutex> guard(mutex);
    intervalMs = milliseconds;
    return true;
}

bool PosixSerialDevice::GetLineSettings(LineSettings& settings) {
    termios2 tio;
    if (!GetTermios(fd, tio)) return false;
    settings = ReadLineSettings(tio);
    return true;
}

bool PosixSerialDevice::SetLineSettings(const LineSettings& settings) {
    termios2 tio;
    if (!GetTermios(fd, tio) || !ApplyLineSettings(settings, tio)) return false;
    return SetTermios(fd, tio);
}

// A read is complete once it is full, or at a quiet spell of the line; until the first
// byte it waits without limit.
IoStatus PosixSerialDevice::Complete(uint32_t& bytesRead) {
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

IoStatus PosixSerialDevice::StartRead(uint8_t* buffer, uint32_t size, uint32_t& bytesRead) {
    std::lock_guard<std::mutex> guard(mutex);
    if (size == 0) return IoStatus::Failed;
    target = buffer;
    targetSize = size;
    // A full read's worth, or a burst already ended by a quiet spell, completes at once;
    // less waits for the gap. A device that has gone away is reported by the completion
    // check, so that what was gathered before still gets delivered.
    if (Queued() >= size || !gaps.empty()) return Complete(bytesRead);
    return IoStatus::Pending;
}

IoStatus PosixSerialDevice::CheckRead(uint32_t& bytesRead) {
    std::lock_guard<std::mutex> guard(mutex);
    if (!target) return IoStatus::Failed;
    return Complete(bytesRead);
}

bool PosixSerialDevice::NotifyOnArrival(std::function<void()> arrived) {
    std::lock_guard<std::mutex> guard(mutex);
    if (Queued() > 0 || gone) return false;
    onArrival = std::move(arrived);
    std::string().swap(queue);  // the line is quiet: what a flood made it hold goes back
    head = 0;
    return true;
}

// Waits until the driver has taken every byte, but not beyond WriteBound nor past a
// termination signal; then what is still queued for output is discarded and the count
// taken so far returned.
int32_t PosixSerialDevice::Write(const uint8_t* data, uint32_t size) {
    const Clock::time_point deadline = Clock::now() + WriteBoundNow(size);
    uint32_t written = 0;
    while (written < size) {
        ssize_t n = write(fd, data + written, size - written);
        if (n > 0) {
            written += static_cast<uint32_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            // A termination signal ends the wait too: the program is closing the port.
            pollfd fds[2] = {{fd, POLLOUT, 0}, {TerminationFd(), POLLIN, 0}};
            const int ready = left.count() > 0 ? poll(fds, 2, static_cast<int>(left.count()) + 1) : 0;
            if (ready == 0 || fds[1].revents) {
                DiscardOutput(fd);
                break;
            }
            if (ready < 0 && errno != EINTR) break;
            if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) break;
        } else if (!(n < 0 && errno == EINTR)) {
            break;
        }
    }
    return static_cast<int32_t>(written);
}

// While bytes wait unread, the reader watches the line for the read interval from its
// last read: the interval passing with nothing arriving, and nothing left in the
// kernel's input queue, is a quiet spell. A reader that runs late finds the bytes
// queued and merges them rather than splitting a burst that had no gap on the line.
// False: no spell to watch for, so the wait has no limit.
bool PosixSerialDevice::WatchingForQuiet() const {
    const bool gapMarked = !gaps.empty() && gaps.back() == consumed + Queued();
    return intervalMs > 0 && Queued() > 0 && !gapMarked;
}

// After a small read the reader rests for most of the interval before it looks again,
// so a device that trickles bytes (a USB adapter hands them on every millisecond) wakes
// it a few hundred times a second, not thousands. The rest ends before the interval
// does, so a quiet spell is still seen on time; a big read goes straight on, so a
// flood is drained at full speed.
constexpr ssize_t RestBelow = 1024;

Clock::duration RestAfterRead(uint32_t intervalMs) {
    return std::chrono::milliseconds(intervalMs > 1 ? std::min<uint32_t>(intervalMs - 1, 4) : 0);
}

void PosixSerialDevice::MarkQuietSpell() {
    const uint64_t received = consumed + Queued();
    if (Queued() > 0 && (gaps.empty() || gaps.back() < received)) gaps.push_back(received);
}

void PosixSerialDevice::ReaderLoop() {
    static thread_local char chunk[64 * 1024];
    Clock::time_point lastRead = Clock::now();
    for (;;) {
        uint32_t interval;
        bool watchingForQuiet;
        {
            std::unique_lock<std::mutex> guard(mutex);
            drained.wait(guard, [this] { return stopping || Queued() < QueueLimit; });
            if (stopping) return;
            interval = intervalMs;
            watchingForQuiet = WatchingForQuiet();
        }
        const Clock::time_point quietAt = lastRead + std::chrono::milliseconds(interval);
        const Wait waited = WaitForBytes(watchingForQuiet ? &quietAt : nullptr);
        if (waited == Wait::Closing) return;
        if (waited == Wait::Quiet) {
            if (InputQueueEmpty()) {
                std::lock_guard<std::mutex> guard(mutex);
                MarkQuietSpell();
            }
            continue;
        }
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        std::function<void()> arrived;
        {
            std::lock_guard<std::mutex> guard(mutex);
            if (got > 0)
                queue.append(chunk, static_cast<size_t>(got));
            else
                gone = true;  // hung up (0 or EIO): the device has gone away
            arrived.swap(onArrival);
        }
        if (arrived) arrived();
        if (got <= 0) return;
        lastRead = Clock::now();
        if (got < RestBelow && !Rest(RestAfterRead(interval))) return;
    }
}

// Nothing received waits in the kernel. A poll first hands on what the driver has taken
// from the line but not yet passed to the input queue (its deferred work may lag on a
// loaded machine); then the queue itself must be empty.
bool PosixSerialDevice::InputQueueEmpty() {
    pollfd in{fd, POLLIN, 0};
    int unread = 0;
    return poll(&in, 1, 0) == 0 && ioctl(fd, TIOCINQ, &unread) == 0 && unread == 0;
}

// The time left until deadline, for ppoll: none once it has passed.
timespec TimeLeft(Clock::time_point deadline) {
    const auto left = std::max<Clock::duration>(deadline - Clock::now(), Clock::duration::zero());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    return {static_cast<time_t>(seconds.count()),
            static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count())};
}

// poll until the deadline (nullptr: without limit), resumed when a signal interrupts it.
int PollUntil(pollfd* fds, nfds_t count, const Clock::time_point* deadline) {
    for (;;) {
        timespec left;
        if (deadline) left = TimeLeft(*deadline);
        const int ready = ppoll(fds, count, deadline ? &left : nullptr, nullptr);
        if (ready >= 0 || errno != EINTR) return ready;
    }
}

// Waits for bytes until the deadline (nullptr: without limit).
PosixSerialDevice::Wait PosixSerialDevice::WaitForBytes(const Clock::time_point* deadline) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int ready = PollUntil(fds, 2, deadline);
    if (ready < 0) return Wait::Readable;  // the read that follows reports the failure
    if (ready == 0) return Wait::Quiet;
    return fds[1].revents == 0 ? Wait::Readable : Wait::Closing;
}

// Rests for the given time, or until the port closes: false then.
bool PosixSerialDevice::Rest(Clock::duration length) {
    const Clock::time_point until = Clock::now() + length;
    pollfd closing{wakeFd, POLLIN, 0};
    return PollUntil(&closing, 1, &until) <= 0;
}

std::string HolderName(long pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return "busy: held by process " + std::to_string(pid) + (name.empty() ? "" : " (" + name + ")");
}

std::string OpenError(int error) {
    switch (error) {
        case EACCES: return std::string(std::strerror(error)) + "; join the dialout group";
        case ENOENT: case ENXIO: case ENODEV: return "no device";
        case EBUSY: return "busy: another program has it to itself";
        default: return std::strerror(error);
    }
}

}  // namespace

bool PortPresent(uint8_t port) {
    const PortPath mapped = PortDevicePath(port);
    struct stat node {};
    return mapped.refusal.empty() && !mapped.path.empty() && stat(mapped.path.c_str(), &node) == 0 &&
           S_ISCHR(node.st_mode);
}

std::unique_ptr<SerialDevice> OpenSerialPort(uint8_t port, bool modemLinesLow) {
    NumberAdapters(PortRoots::System());  // an adapter plugged in meanwhile gets its number first
    const PortPath mapped = PortDevicePath(port);
    if (!mapped.refusal.empty()) return RefuseOpen(port, "", mapped.refusal);
    const std::string& path = mapped.path;
    if (path.empty()) return RefuseOpen(port, "", "no device");
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return RefuseOpen(port, path, "no device");

    auto lock = std::make_unique<UucpLock>(resolved);
    if (!lock->Acquired()) return RefuseOpen(port, resolved, HolderName(lock->Holder()));
    int fd = open(resolved, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return RefuseOpen(port, resolved, OpenError(errno));
    if (modemLinesLow) SetModemControlLines(fd, false, false);  // the open raised them: a blip at most
    struct stat node;
    termios2 settingsAtOpen;
    if (fstat(fd, &node) != 0 || !S_ISCHR(node.st_mode) || !isatty(fd) || !GetTermios(fd, settingsAtOpen)) {
        close(fd);
        return RefuseOpen(port, resolved, "not a serial device");
    }
    if (!TakeExclusive(fd)) {
        close(fd);
        return RefuseOpen(port, resolved, "busy: another program has it open");
    }
    termios2 raw = settingsAtOpen;
    MakeRaw(raw);
    int wakeFd = SetTermios(fd, raw) ? eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK) : -1;
    if (wakeFd < 0) {
        ReleaseExclusive(fd);
        close(fd);
        return RefuseOpen(port, resolved, "cannot set the line up");
    }
    DiscardInput(fd);  // a port opens empty: what waited before Connect is not ours
    return std::make_unique<PosixSerialDevice>(fd, wakeFd, std::move(lock), settingsAtOpen);
}

}  // namespace platform
