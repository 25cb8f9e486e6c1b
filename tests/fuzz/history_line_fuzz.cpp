// The history-line builder in every format: lengths and byte rules hold.
#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "ui/display.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int format = data[0] & 7;
    const ByteString text(reinterpret_cast<const char*>(data + 1), size - 1);
    const ByteString stamp = "12/10/26 3:04:05 pm";
    const ByteString line = BuildHistoryLine(text, format, stamp);
    const bool hex = format & 1, seven = format & 2;

    FUZZ_CHECK(line.compare(0, stamp.size() + 1, stamp + " ") == 0);
    const ByteString shown = line.substr(stamp.size() + 1);
    FUZZ_CHECK(shown.size() == text.size() * (hex ? 3 : 1));
    for (size_t i = 0; i < shown.size(); ++i) {
        const auto byte = static_cast<uint8_t>(shown[i]);
        FUZZ_CHECK(byte >= 0x20 || byte == 0x0D);
        if (hex) {
            const auto source = static_cast<uint8_t>(seven ? text[i / 3] & 0x7F : text[i / 3]);
            const char* digits = "0123456789ABCDEF";
            const char expected[3] = {digits[source >> 4], digits[source & 15], ' '};
            FUZZ_CHECK(shown[i] == expected[i % 3]);
        } else {
            const auto source = static_cast<uint8_t>(seven ? text[i] & 0x7F : text[i]);
            FUZZ_CHECK(byte == (source < 0x20 && source != 0x0D ? 0xBA : source));
        }
    }
    FUZZ_CHECK(line == BuildHistoryLine(text, format ^ 4, stamp));  // 9 data bits show as 8
    return 0;
}
