#pragma once
// A TCP listener on 127.0.0.1 at a port of the system's choosing, for tests and
// benchmarks of network ports: it takes connections into its backlog and says nothing
// unless its owner accepts and speaks. Linux only.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

class LoopbackListener {
public:
    LoopbackListener() {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fd, 64);
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~LoopbackListener() { Close(); }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    // Ends a wait in accept as well.
    void Close() {
        if (fd < 0) return;
        shutdown(fd, SHUT_RDWR);
        close(fd);
        fd = -1;
    }
    std::string Rfc2217Address() const { return "rfc2217://127.0.0.1:" + std::to_string(port); }

    int fd = -1;
    uint16_t port = 0;
};

// Links port number `number` to a target (a device or a network address) in a ports
// directory, replacing a link there.
inline bool LinkPortNumber(const std::string& directory, int number, const std::string& target) {
    const std::string link = directory + "/COM" + std::to_string(number);
    unlink(link.c_str());
    return symlink(target.c_str(), link.c_str()) == 0;
}
