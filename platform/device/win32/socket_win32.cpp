// TCP over Winsock: a non-blocking socket whose arrivals signal an event, waited on
// beside a second event that ends the wait.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "platform/device/socket.h"

namespace platform {
namespace {

using Clock = StreamSocket::Clock;

void StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) throw std::runtime_error("Winsock could not be started");
}

// Waits until the socket can take more, or the deadline; false at the deadline.
bool WaitWritable(SOCKET socket, Clock::time_point deadline, bool& failed) {
    fd_set writable, failing;
    FD_ZERO(&writable);
    FD_ZERO(&failing);
    FD_SET(socket, &writable);
    FD_SET(socket, &failing);
    const DWORD left = static_cast<DWORD>(StreamSocket::MillisecondsLeft(deadline));
    timeval wait{static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
    const int ready = select(0, nullptr, &writable, &failing, &wait);
    failed = ready < 0 || FD_ISSET(socket, &failing);
    return ready > 0;
}

class WinSocket : public StreamSocket {
public:
    WinSocket(SOCKET socket, WSAEVENT arrived) : socket(socket), arrived(arrived), stop(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~WinSocket() override {
        closesocket(socket);
        WSACloseEvent(arrived);
        CloseHandle(stop);
    }

    size_t Send(const char* data, size_t size, Clock::time_point deadline) override {
        size_t sent = 0;
        while (sent < size) {
            const int n = send(socket, data + sent, static_cast<int>(std::min<size_t>(size - sent, 1 << 20)), 0);
            if (n > 0) {
                sent += static_cast<size_t>(n);
                continue;
            }
            bool failed = false;
            if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK || !WaitWritable(socket, deadline, failed) || failed) break;
        }
        return sent;
    }

    ByteSource::Wait WaitForBytes(const Clock::time_point* deadline) override {
        HANDLE events[2] = {arrived, stop};
        const DWORD waited = WaitForMultipleObjects(2, events, FALSE, deadline ? static_cast<DWORD>(StreamSocket::MillisecondsLeft(*deadline)) : INFINITE);
        if (waited == WAIT_OBJECT_0 + 1) return ByteSource::Wait::Closing;
        if (waited == WAIT_TIMEOUT) return ByteSource::Wait::Quiet;
        WSANETWORKEVENTS seen;
        WSAEnumNetworkEvents(socket, arrived, &seen);  // resets the event
        return ByteSource::Wait::Readable;
    }

    long Receive(char* buffer, size_t size) override {
        const int got = recv(socket, buffer, static_cast<int>(size), 0);
        if (got < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return 0;
        return got > 0 ? got : -1;  // 0: the server closed
    }

    bool NothingWaiting() override {
        u_long unread = 0;
        return ioctlsocket(socket, FIONREAD, &unread) == 0 && unread == 0;
    }

    void Wake() override { SetEvent(stop); }

private:
    const SOCKET socket;
    const WSAEVENT arrived;
    const HANDLE stop;
};

// One address tried: the connected socket, or INVALID_SOCKET with the reason.
SOCKET ConnectOne(const addrinfo& address, Clock::time_point deadline, int& error) {
    SOCKET one = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (one == INVALID_SOCKET) {
        error = WSAGetLastError();
        return INVALID_SOCKET;
    }
    u_long nonBlocking = 1;
    ioctlsocket(one, FIONBIO, &nonBlocking);
    bool failed = false;
    if (connect(one, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return one;
    error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK) {
        error = WSAETIMEDOUT;
        if (WaitWritable(one, deadline, failed)) {
            int length = sizeof error;
            getsockopt(one, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
        } else if (failed) {
            int length = sizeof error;
            getsockopt(one, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
        }
        if (error == 0) return one;
    }
    closesocket(one);
    return INVALID_SOCKET;
}

std::string Reason(int error) {
    if (error == WSAECONNREFUSED) return "connection refused";
    if (error == WSAETIMEDOUT) return "no answer";
    return "Winsock error " + std::to_string(error);
}

}  // namespace

std::unique_ptr<StreamSocket> StreamSocket::Connect(const std::string& host, uint16_t port, Clock::time_point deadline,
                                                    std::string& error) {
    StartWinsock();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
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
        error = "no such host";
        return nullptr;
    }
    int reason = WSAETIMEDOUT;
    SOCKET connected = INVALID_SOCKET;
    for (const addrinfo* address = found; address && connected == INVALID_SOCKET && Clock::now() < deadline;
         address = address->ai_next)
        connected = ConnectOne(*address, deadline, reason);
    freeaddrinfo(found);
    if (connected == INVALID_SOCKET) {
        error = Reason(reason);
        return nullptr;
    }
    const BOOL on = TRUE;
    setsockopt(connected, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    // A server that vanishes without closing is noticed: the system's probe count, with
    // our idle time and interval.
    tcp_keepalive keepAlive{1, KeepAliveIdleS * 1000u, KeepAliveIntervalS * 1000u};
    DWORD returned = 0;
    WSAIoctl(connected, SIO_KEEPALIVE_VALS, &keepAlive, sizeof keepAlive, nullptr, 0, &returned, nullptr, nullptr);
    WSAEVENT arrived = WSACreateEvent();
    WSAEventSelect(connected, arrived, FD_READ | FD_CLOSE);
    return std::make_unique<WinSocket>(connected, arrived);
}

}  // namespace platform
