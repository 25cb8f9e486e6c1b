#pragma once
// The device at the far end of port 5, for tests that run on every backend: on Linux a
// pseudo-terminal linked as port 5; under Wine the other end of a null-modem pair whose
// near end the test harness maps as COM5.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "platform/byte_string.h"

class FarEnd {
public:
    FarEnd();
    ~FarEnd();

    bool Write(const ByteString& bytes);
    // Reads until `want` bytes arrived or `timeout` passed; what arrived.
    ByteString Read(size_t want, std::chrono::milliseconds timeout);

    static constexpr int Port = 5;
    static int UnusedPort();  // a port number that leads nowhere
    // Whether the platform refuses a second open of a port: real systems do, Wine not.
    static bool ExclusiveOpenEnforced();
    // Whether Wine stands between the port and the terminal behind it: it does not read
    // RTS/CTS flow control back from the terminal.
    static bool ThroughWine() { return !ExclusiveOpenEnforced(); }

private:
    struct Link;
    std::unique_ptr<Link> link;
};

class FarEndFixture : public ::testing::Test {
protected:
    FarEnd device;
};
