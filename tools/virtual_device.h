#pragma once
#include <chrono>
#include <string>

#include "platform/byte_string.h"

// A serial device made of a pseudo-terminal pair: the terminal opens the slave side
// (linked as COM<N> in a ports directory), the device talks through the master side.
class VirtualDevice {
public:
    VirtualDevice();  // throws std::runtime_error when no pty can be had
    ~VirtualDevice();
    VirtualDevice(const VirtualDevice&) = delete;
    VirtualDevice& operator=(const VirtualDevice&) = delete;

    const std::string& SlavePath() const { return slavePath; }
    int MasterFd() const { return master; }

    // Links directory/COM<port> to the slave, replacing an older link; makes the
    // directory, with its parents, when missing.
    void LinkAsPort(const std::string& directory, int port);

    // Writes every byte (blocking); false if the device is gone.
    bool Write(const ByteString& bytes);
    // Reads until `want` bytes arrived or `timeout` passed; what arrived.
    ByteString Read(size_t want, std::chrono::milliseconds timeout);

    // The device goes away, as a USB adapter pulled out.
    void CloseMaster();

private:
    int master = -1;
    int slaveKeeper = -1;  // keeps the line from hanging up while the terminal is closed
    std::string slavePath;
    std::string linkPath;
};
