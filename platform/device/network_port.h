#pragma once
// A port number that leads to a serial port served over the network: "rfc2217://HOST:PORT"
// (telnet with the COM-PORT-OPTION: line settings and modem lines go to the far port) or
// "tcp://HOST:PORT" (the bytes alone). HOST is a name, an IPv4 address or an [IPv6] one.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/device/serial_device.h"

namespace platform {

struct NetworkPort {
    bool rfc2217 = true;
    std::string host;  // without the brackets of an IPv6 address
    uint16_t port = 0;
};

// True for a well-formed address; else false with why in `error`.
bool ParseNetworkPort(const std::string& text, NetworkPort& address, std::string& error);
// Whether the text is meant as a network address (it starts with a scheme of ours).
bool LooksLikeNetworkPort(const std::string& text);

// How long Connect waits for a network port, the name lookup included.
constexpr int NetworkConnectLimitMs = 3000;
// How long a server may hold what its port read before sending it on (ser2net by
// default holds up to 20 ms): a burst ends on a network port only after the line's own
// quiet spell and this, and a margin for a server whose timer runs late on a busy
// machine, so that a server's batches do not cut it in two.
constexpr uint32_t ServerHoldMs = 20;
constexpr uint32_t ServerLateMs = 15;

// Opens port number `port` over the network; nullptr, with why for LastOpenFailure, when
// the server cannot be had. It waits up to NetworkConnectLimitMs: call it off the GUI
// thread (TCom::OpenInBackground does).
std::unique_ptr<SerialDevice> OpenNetworkPort(uint8_t port, const std::string& text);

}  // namespace platform
