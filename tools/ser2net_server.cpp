#include "tools/ser2net_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Someone listens on the port: found by failing to take it, since a probe that connected
// would have the server open its serial side for a moment.
bool Listening(uint16_t port) {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(port);
    const bool taken = bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && errno == EADDRINUSE;
    close(probe);
    return taken;
}

}  // namespace

uint16_t Ser2netServer::FreePort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

Ser2netServer::Ser2netServer(const std::string& device) : telnetPort(FreePort()), tcpPort(FreePort()) {
    char pattern[] = "/tmp/comterm-ser2net-XXXXXX.yaml";
    close(mkstemps(pattern, 5));
    config = pattern;
    std::ofstream(config) << "connection: &telnet\n    accepter: telnet(rfc2217),tcp,127.0.0.1," << telnetPort
                          << "\n    connector: serialdev," << device << ",9600n81,local\n"
                          << "connection: &raw\n    accepter: tcp,127.0.0.1," << tcpPort
                          << "\n    connector: serialdev," << device << ",9600n81,local\n";
    if (!Start()) throw std::runtime_error("ser2net did not start: is it installed (tools/install-deps.sh)?");
}

Ser2netServer::~Ser2netServer() {
    Stop();
    unlink(config.c_str());
}

bool Ser2netServer::Start() {
    pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 1);
        dup2(null, 2);
        execlp("ser2net", "ser2net", "-n", "-c", config.c_str(), nullptr);
        execl("/usr/sbin/ser2net", "ser2net", "-n", "-c", config.c_str(), nullptr);
        _exit(127);
    }
    for (int wait = 0; wait < 300; ++wait) {
        if (Listening(telnetPort) && Listening(tcpPort)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void Ser2netServer::Stop() {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
}
