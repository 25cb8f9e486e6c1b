// The telnet side of a network port against whatever a hostile server sends: the data
// never grows past what came, the answers owed stay bounded, a subnegotiation in
// progress never holds more than its bound, and the pieces the bytes come in change
// nothing.
#include <cstdint>

#include "platform/device/telnet.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

// Every option refused once on each side, and the two we agree to changed each way.
constexpr size_t MostAnswerBytes = 3 * (2 * 256 + 8);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const char* wire = reinterpret_cast<const char*>(bytes);
    platform::TelnetLink whole, split;
    ByteString wholeData, wholeReply, splitData, splitReply;
    whole.Receive(wire, size, wholeData, wholeReply);
    for (size_t at = 0; at < size; ++at) {
        split.Receive(wire + at, 1, splitData, splitReply);
        FUZZ_CHECK(split.SubnegotiationHeld() <= platform::TelnetLink::LongestSubnegotiation);
    }
    FUZZ_CHECK(wholeData == splitData);
    FUZZ_CHECK(wholeReply == splitReply);
    FUZZ_CHECK(wholeData.size() <= size);
    FUZZ_CHECK(wholeReply.size() <= MostAnswerBytes);
    return 0;
}
