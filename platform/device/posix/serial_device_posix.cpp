// The serial device on Linux: exclusive open, raw line, and one background read with
// an inter-byte time-out, checked without blocking from the GUI thread.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <fstream>

#include "platform/device/port_scan.h"
#include "platform/device/posix/modem_lines.h"
#include "platform/device/posix/port_map.h"
#include "platform/window/posix/termination.h"
#include "platform/device/serial_device.h"
#include "platform/device/posix/termios_linux.h"
#include "platform/device/network_port.h"
#include "platform/device/posix/uucp_lock.h"
#include "platform/device/receive_queue.h"

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

// A terminal device as the reader's source: poll and read, woken by an eventfd, since
// closing the device does not wake a blocked poll.
class TtySource : public ByteSource {
public:
    TtySource(int fd, int wakeFd) : fd(fd), wakeFd(wakeFd) {}
    Wait WaitForBytes(const Clock::time_point* deadline) override;
    long Read(char* buffer, size_t size) override;
    bool NothingWaiting() override;
    void Wake() override {
        uint64_t one = 1;
        (void)!write(wakeFd, &one, sizeof one);
    }

private:
    const int fd, wakeFd;
};

// The reader drains the device into the queue as bytes arrive, so the kernel's small tty
// buffer never limits the rate.
class PosixSerialDevice : public SerialDevice {
public:
    PosixSerialDevice(int fd, int wakeFd, std::unique_ptr<UucpLock> lock, const termios2& settingsAtOpen)
        : fd(fd), wakeFd(wakeFd), lock(std::move(lock)), settingsAtOpen(settingsAtOpen), source(fd, wakeFd),
          received(source) {
        received.Start();
    }
    ~PosixSerialDevice() override;

    bool SetupQueues(uint32_t, uint32_t) override { return true; }
    bool SetReadIntervalTimeout(uint32_t milliseconds) override {
        received.SetInterval(milliseconds);
        return true;
    }
    bool GetLineSettings(LineSettings& settings) override;
    bool SetLineSettings(const LineSettings& settings) override;
    IoStatus StartRead(uint8_t* buffer, uint32_t size, uint32_t& bytesRead) override {
        return received.StartRead(buffer, size, bytesRead);
    }
    IoStatus CheckRead(uint32_t& bytesRead) override { return received.CheckRead(bytesRead); }
    bool NotifyOnArrival(std::function<void()> arrived) override { return received.NotifyOnArrival(std::move(arrived)); }
    int32_t Write(const uint8_t* data, uint32_t size) override;
    bool SetModemControl(bool dtr, bool rts) override { return SetModemControlLines(fd, dtr, rts); }
    bool GetModemStatus(ModemStatus& status) override { return ReadModemStatusLines(fd, status); }
    bool SetBreak(bool on) override { return SetBreakCondition(fd, on); }
    LineErrors TakeLineErrors() override;
    void DiscardPendingOutput() override {
        ++discards;  // a write waiting on the device ends within DiscardCheckMs
        DiscardOutput(fd);
    }
    // tcdrain: a flush of the output wakes it.
    void WaitUntilSent() override {
        while (ioctl(fd, TCSBRK, 1) != 0 && errno == EINTR) {
        }
    }

private:
    static constexpr int DiscardCheckMs = 50;
    ErrorCounts countedSoFar;
    bool countsRead = false;
    std::atomic<unsigned> discards{0};
    const int fd;
    const int wakeFd;
    std::unique_ptr<UucpLock> lock;
    const termios2 settingsAtOpen;
    TtySource source;
    ReceiveQueue received;
};

PosixSerialDevice::~PosixSerialDevice() {
    received.Stop();
    DiscardOutput(fd);  // output held back by flow control would keep close waiting
    SetTermios(fd, settingsAtOpen);
    ReleaseExclusive(fd);
    close(fd);
    close(wakeFd);
}

// The driver's own counters, which a UART's and most USB adapters' drivers keep; the
// bytes themselves stay as received.
LineErrors PosixSerialDevice::TakeLineErrors() {
    serial_icounter_struct read{};
    if (ioctl(fd, TIOCGICOUNT, &read) != 0) return {};
    const ErrorCounts now{read.parity, read.frame, read.overrun, read.buf_overrun, read.brk};
    const LineErrors errors = countsRead ? ErrorsBetween(countedSoFar, now) : LineErrors{};
    countedSoFar = now;
    countsRead = true;
    return errors;
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

// Waits until the driver has taken every byte, but not beyond WriteBound nor past a
// termination signal or a discard asked meanwhile; then what is still queued for output
// is discarded, unless flow control may be holding it, and the count taken returned.
int32_t PosixSerialDevice::Write(const uint8_t* data, uint32_t size) {
    LineSettings line;
    if (!GetLineSettings(line)) line = LineSettings();
    const Clock::time_point deadline = Clock::now() + WriteBound(line, size);
    const unsigned discardsAtStart = discards;
    uint32_t written = 0;
    while (written < size && discards == discardsAtStart) {
        ssize_t n = write(fd, data + written, size - written);
        if (n > 0) {
            written += static_cast<uint32_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            // A termination signal ends the wait too: the program is closing the port.
            pollfd fds[2] = {{fd, POLLOUT, 0}, {TerminationFd(), POLLIN, 0}};
            const int slice = static_cast<int>(std::min<int64_t>(left.count() + 1, DiscardCheckMs));
            const int ready = left.count() > 0 ? poll(fds, 2, slice) : 0;
            if (ready == 0 && left.count() > DiscardCheckMs) continue;
            if (ready == 0 || fds[1].revents) {
                if (line.Flow == LineSettings::NoFlow) DiscardOutput(fd);
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

// Nothing received waits in the kernel. A poll first hands on what the driver has taken
// from the line but not yet passed to the input queue (its deferred work may lag on a
// loaded machine); then the queue itself must be empty.
bool TtySource::NothingWaiting() {
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

long TtySource::Read(char* buffer, size_t size) {
    const ssize_t got = read(fd, buffer, size);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    return got > 0 ? static_cast<long>(got) : -1;  // 0 or EIO: hung up
}

// Waits for bytes until the deadline (nullptr: without limit).
TtySource::Wait TtySource::WaitForBytes(const Clock::time_point* deadline) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int ready = PollUntil(fds, 2, deadline);
    if (ready < 0) return Wait::Readable;  // the read that follows reports the failure
    if (ready == 0) return Wait::Quiet;
    return fds[1].revents == 0 ? Wait::Readable : Wait::Closing;
}

// What a link names, as text; "" for anything else.
std::string LinkTarget(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<size_t>(length)) : "";
}

std::string HolderName(long pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return "busy: held by process " + std::to_string(pid) + (name.empty() ? "" : " (" + name + ")");
}

std::string OpenError(int error) {
    switch (error) {
        case EACCES:
            return std::string(std::strerror(error)) +
                   ": join the dialout group (sudo usermod -aG dialout $USER), then log in again";
        case ENOENT: case ENXIO: case ENODEV: return "no device";
        case EBUSY: return "busy: another program has it to itself";
        default: return std::strerror(error);
    }
}

}  // namespace

std::string NetworkAddressOf(uint8_t port) {
    const PortPath mapped = PortDevicePath(port);
    if (!mapped.refusal.empty()) return "";
    const std::string target = LinkTarget(mapped.path);
    return LooksLikeNetworkPort(target) ? target : "";
}

// A server is there as far as we can tell without asking it.
bool PortPresent(uint8_t port) {
    if (OpensOverNetwork(port)) return true;
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
    const std::string target = LinkTarget(path);
    if (LooksLikeNetworkPort(target)) return OpenNetworkPort(port, target);
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
