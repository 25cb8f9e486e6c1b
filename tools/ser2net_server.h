#pragma once
// ser2net on 127.0.0.1 with a config of our own, for tests and benchmarks: telnet with
// RFC 2217 on one port and raw TCP on another, both to one serial device; ended by its PID.
#include <cstdint>
#include <string>

class Ser2netServer {
public:
    explicit Ser2netServer(const std::string& device);  // throws std::runtime_error when it cannot start
    ~Ser2netServer();
    Ser2netServer(const Ser2netServer&) = delete;
    Ser2netServer& operator=(const Ser2netServer&) = delete;

    bool Start();  // false when it is not listening within 3 s
    void Stop();
    const uint16_t telnetPort, tcpPort;

    // A TCP port on 127.0.0.1 that nothing listens on now.
    static uint16_t FreePort();

private:
    std::string config;
    int pid = -1;
};
