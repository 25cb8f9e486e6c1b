// TCP over POSIX sockets: non-blocking, polled with a wake-up eventfd beside.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/device/socket.h"

namespace platform {
namespace {

using Clock = StreamSocket::Clock;

// poll until the deadline (nullptr: without limit), resumed when a signal interrupts it.
int PollUntil(pollfd* fds, nfds_t count, const Clock::time_point* deadline) {
    for (;;) {
        const int ready = poll(fds, count, deadline ? static_cast<int>(StreamSocket::MillisecondsLeft(*deadline)) : -1);
        if (ready >= 0 || errno != EINTR) return ready;
    }
}

class PosixSocket : public StreamSocket {
public:
    PosixSocket(int fd, int wakeFd) : fd(fd), wakeFd(wakeFd) {}
    ~PosixSocket() override {
        close(fd);
        close(wakeFd);
    }

    size_t Send(const char* data, size_t size, Clock::time_point deadline) override {
        size_t sent = 0;
        while (sent < size) {
            const ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                sent += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) break;
            pollfd room{fd, POLLOUT, 0};
            if (PollUntil(&room, 1, &deadline) <= 0 || (room.revents & (POLLERR | POLLHUP))) break;
        }
        return sent;
    }

    ByteSource::Wait WaitForBytes(const Clock::time_point* deadline) override {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = PollUntil(fds, 2, deadline);
        if (ready < 0) return ByteSource::Wait::Readable;  // the receive that follows says why
        if (ready == 0) return ByteSource::Wait::Quiet;
        return fds[1].revents == 0 ? ByteSource::Wait::Readable : ByteSource::Wait::Closing;
    }

    long Receive(char* buffer, size_t size) override {
        const ssize_t got = recv(fd, buffer, size, MSG_DONTWAIT);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
        return got > 0 ? static_cast<long>(got) : -1;  // 0: the server closed
    }

    bool NothingWaiting() override {
        int unread = 0;
        return ioctl(fd, FIONREAD, &unread) == 0 && unread == 0;
    }

    void Wake() override {
        uint64_t one = 1;
        (void)!write(wakeFd, &one, sizeof one);
    }

private:
    const int fd, wakeFd;
};

// One address tried: the connected socket, or -1 with errno's reason.
int ConnectOne(const addrinfo& address, Clock::time_point deadline, int& error) {
    const int fd = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (connect(fd, address.ai_addr, address.ai_addrlen) != 0 && errno != EINPROGRESS) {
        error = errno;
        close(fd);
        return -1;
    }
    pollfd done{fd, POLLOUT, 0};
    socklen_t length = sizeof error;
    error = ETIMEDOUT;
    if (PollUntil(&done, 1, &deadline) > 0) getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
    if (error == 0) return fd;
    close(fd);
    return -1;
}

std::string Reason(int error) {
    if (error == ECONNREFUSED) return "connection refused";
    if (error == ETIMEDOUT) return "no answer";
    return std::strerror(error);
}

}  // namespace

std::unique_ptr<StreamSocket> StreamSocket::Connect(const std::string& host, uint16_t port, Clock::time_point deadline,
                                                    std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    // A name server that does not answer must not hold Connect past its bound.
    const std::string service = std::to_string(port);
    int lookup = -1;
    addrinfo* found = nullptr;
    const auto lookUp = [host, service, hints](addrinfo** list) { return getaddrinfo(host.c_str(), service.c_str(), &hints, list); };
    if (!LookUpBounded(deadline, lookUp, freeaddrinfo, lookup, found)) {
        error = "the name server did not answer in time";
        return nullptr;
    }
    if (lookup != 0) {
        error = lookup == EAI_NONAME || lookup == EAI_NODATA ? "no such host" : gai_strerror(lookup);
        return nullptr;
    }
    int reason = ETIMEDOUT, fd = -1;
    for (const addrinfo* address = found; address && fd < 0 && Clock::now() < deadline; address = address->ai_next)
        fd = ConnectOne(*address, deadline, reason);
    freeaddrinfo(found);
    const int wakeFd = fd < 0 ? -1 : eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        if (fd >= 0) close(fd);
        error = Reason(fd < 0 ? reason : errno);
        return nullptr;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    // A server that vanishes without closing (power lost, cable pulled) is noticed in
    // KeepAliveIdleS + KeepAliveProbes * KeepAliveIntervalS, 25 s.
    const int idle = KeepAliveIdleS, interval = KeepAliveIntervalS, probes = KeepAliveProbes;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    return std::make_unique<PosixSocket>(fd, wakeFd);
}

}  // namespace platform
