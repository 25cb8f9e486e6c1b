// The serial device on Linux: exclusive open, raw line, and one background read with
// an inter-byte time-out, checked without blocking from the GUI thread.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/port_map.h"
#include "platform/serial_device.h"
#include "platform/termios_linux.h"
#include "platform/uucp_lock.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

class PosixSerialDevice : public SerialDevice {
public:
    PosixSerialDevice(int fd, int wakeFd, std::unique_ptr<UucpLock> lock, const termios2& original)
        : fd(fd), wakeFd(wakeFd), lock(std::move(lock)), original(original),
          reader([this] { ReaderLoop(); }) {}
    ~PosixSerialDevice() override;

    bool SetupQueues(uint32_t, uint32_t) override { return true; }
    bool SetReadIntervalTimeout(uint32_t milliseconds) override;
    bool GetLineSettings(LineSettings& settings) override;
    bool SetLineSettings(const LineSettings& settings) override;
    IoStatus StartRead(uint8_t* buffer, uint32_t size, uint32_t& bytesRead) override;
    IoStatus CheckRead(uint32_t& bytesRead) override;
    int32_t Write(const uint8_t* data, uint32_t size) override;

private:
    enum class ReadState { Idle, Requested, Completed, Failed };

    void ReaderLoop();
    ReadState FillRequest(uint32_t& count);
    bool WaitForWake(pollfd* fds, Clock::time_point deadline, bool bounded);

    const int fd;
    const int wakeFd;  // signalled by close: closing fd does not wake a blocked poll
    std::unique_ptr<UucpLock> lock;
    const termios2 original;

    std::mutex mutex;
    std::condition_variable requested;
    ReadState state = ReadState::Idle;
    bool stopping = false;
    uint8_t* target = nullptr;
    uint32_t targetSize = 0;
    uint32_t count = 0;
    Clock::time_point lastArrival;
    uint32_t intervalMs = 0;

    std::thread reader;  // last: starts once everything above is set
};

PosixSerialDevice::~PosixSerialDevice() {
    {
        std::lock_guard<std::mutex> guard(mutex);
        stopping = true;
    }
    requested.notify_all();
    uint64_t one = 1;
    (void)!write(wakeFd, &one, sizeof one);
    reader.join();
    SetTermios(fd, original);
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
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

IoStatus PosixSerialDevice::StartRead(uint8_t* buffer, uint32_t size, uint32_t& bytesRead) {
    std::lock_guard<std::mutex> guard(mutex);
    if (state == ReadState::Requested || size == 0) return IoStatus::Failed;
    // What is queued already is taken at once; a full buffer completes on the spot.
    ssize_t got;
    do got = read(fd, buffer, size);
    while (got < 0 && errno == EINTR);
    if (got == 0 || (got < 0 && errno != EAGAIN)) return IoStatus::Failed;
    if (got == static_cast<ssize_t>(size)) {
        bytesRead = size;
        state = ReadState::Idle;
        return IoStatus::Completed;
    }
    target = buffer;
    targetSize = size;
    count = got > 0 ? static_cast<uint32_t>(got) : 0;
    lastArrival = Clock::now();
    state = ReadState::Requested;
    requested.notify_one();
    return IoStatus::Pending;
}

IoStatus PosixSerialDevice::CheckRead(uint32_t& bytesRead) {
    std::lock_guard<std::mutex> guard(mutex);
    switch (state) {
        case ReadState::Requested:
            return IoStatus::Pending;
        case ReadState::Completed:
            bytesRead = count;
            state = ReadState::Idle;
            return IoStatus::Completed;
        default:
            return IoStatus::Failed;
    }
}

int32_t PosixSerialDevice::Write(const uint8_t* data, uint32_t size) {
    uint32_t written = 0;
    while (written < size) {
        ssize_t n = write(fd, data + written, size - written);
        if (n > 0) {
            written += static_cast<uint32_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd out{fd, POLLOUT, 0};
            if (poll(&out, 1, -1) < 0 && errno != EINTR) break;
            if (out.revents & (POLLERR | POLLHUP | POLLNVAL)) break;
        } else if (!(n < 0 && errno == EINTR)) {
            break;
        }
    }
    return static_cast<int32_t>(written);
}

void PosixSerialDevice::ReaderLoop() {
    std::unique_lock<std::mutex> guard(mutex);
    for (;;) {
        requested.wait(guard, [this] { return stopping || state == ReadState::Requested; });
        if (stopping) return;
        uint32_t filled = count;
        guard.unlock();
        // The buffer belongs to this thread until the state leaves Requested.
        ReadState outcome = FillRequest(filled);
        guard.lock();
        if (stopping) return;
        count = filled;
        state = outcome;
    }
}

PosixSerialDevice::ReadState PosixSerialDevice::FillRequest(uint32_t& filled) {
    Clock::time_point arrival;
    uint32_t interval;
    {
        std::lock_guard<std::mutex> guard(mutex);
        arrival = lastArrival;
        interval = intervalMs;
    }
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    while (filled < targetSize) {
        bool bounded = filled > 0 && interval > 0;
        Clock::time_point deadline = arrival + std::chrono::milliseconds(interval);
        if (bounded && Clock::now() > deadline) return ReadState::Completed;
        if (!WaitForWake(fds, deadline, bounded)) return ReadState::Completed;  // the gap passed
        if (fds[1].revents) return ReadState::Failed;                            // closing
        if (fds[0].revents & POLLIN) {
            ssize_t got = read(fd, target + filled, targetSize - filled);
            if (got > 0) {
                filled += static_cast<uint32_t>(got);
                arrival = Clock::now();
                continue;
            }
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            return filled > 0 ? ReadState::Completed : ReadState::Failed;
        }
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
            return filled > 0 ? ReadState::Completed : ReadState::Failed;
    }
    return ReadState::Completed;
}

// Waits for the device or the wake signal; false when the deadline passed first.
bool PosixSerialDevice::WaitForWake(pollfd* fds, Clock::time_point deadline, bool bounded) {
    for (;;) {
        timespec wait{};
        if (bounded) {
            auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
            if (left.count() < 0) left = left.zero();
            wait.tv_sec = static_cast<time_t>(left.count() / 1000000000);
            wait.tv_nsec = static_cast<long>(left.count() % 1000000000);
        }
        int ready = ppoll(fds, 2, bounded ? &wait : nullptr, nullptr);
        if (ready > 0) return true;
        if (ready == 0) return false;
        if (errno != EINTR) {
            fds[0].revents = POLLERR;
            return true;
        }
    }
}

// Takes the device for ourselves; false (and nothing left held) when another holder has it.
bool TakeExclusive(int fd) {
    int exclusive = 0;
    if (ioctl(fd, TIOCGEXCL, &exclusive) != 0 || exclusive) return false;
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

}  // namespace

std::unique_ptr<SerialDevice> OpenSerialPort(uint8_t port) {
    std::string path = PortDevicePath(port);
    if (path.empty()) return nullptr;
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return nullptr;

    auto lock = std::make_unique<UucpLock>(resolved);
    if (!lock->Acquired()) return nullptr;
    int fd = open(resolved, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    termios2 original;
    if (!GetTermios(fd, original) || !TakeExclusive(fd)) {
        close(fd);
        return nullptr;
    }
    termios2 raw = original;
    MakeRaw(raw);
    int wakeFd = SetTermios(fd, raw) ? eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK) : -1;
    if (wakeFd < 0) {
        ReleaseExclusive(fd);
        close(fd);
        return nullptr;
    }
    return std::make_unique<PosixSerialDevice>(fd, wakeFd, std::move(lock), original);
}

}  // namespace platform
