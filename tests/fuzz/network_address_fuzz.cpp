// Network port addresses as a user or a settings file gives them: either refused with
// why, or an address that says itself again the same way.
#include <cstdint>
#include <string>

#include "platform/device/network_port.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    platform::NetworkPort address;
    std::string error;
    if (!platform::ParseNetworkPort(text, address, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(platform::LooksLikeNetworkPort(text));
    FUZZ_CHECK(!address.host.empty() && address.port >= 1);
    FUZZ_CHECK(address.host.find_first_of(" \t") == std::string::npos);
    const bool bracketed = address.host.find(':') != std::string::npos;
    const std::string again = std::string(address.rfc2217 ? "rfc2217://" : "tcp://") + (bracketed ? "[" : "") +
                              address.host + (bracketed ? "]" : "") + ":" + std::to_string(address.port);
    platform::NetworkPort reparsed;
    FUZZ_CHECK(platform::ParseNetworkPort(again, reparsed, error));
    FUZZ_CHECK(reparsed.host == address.host && reparsed.port == address.port && reparsed.rfc2217 == address.rfc2217);
    return 0;
}
