// Find in the history's text: a match found is the needle there (its case folded unless
// it matters), never across a line break, and the first one in the direction asked.
#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "ui/find.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const int from = data[0] * 4 - 8;
    const bool forward = data[1] & 1, matchCase = data[1] & 2;
    const size_t split = 2 + data[2] % (size - 2);
    const std::string needle(reinterpret_cast<const char*>(data) + 3, split > 3 ? split - 3 : 0);
    const std::string text(reinterpret_cast<const char*>(data) + split, size - split);
    const FoundText found = FindText(text, needle, from, forward, matchCase);
    if (found.position < 0) {
        // Nowhere means nowhere: the same search from the start finds nothing either.
        FUZZ_CHECK(FindText(text, needle, 0, true, matchCase).position < 0);
        return 0;
    }
    FUZZ_CHECK(!needle.empty() && static_cast<size_t>(found.position) + needle.size() <= text.size());
    const std::string match = text.substr(static_cast<size_t>(found.position), needle.size());
    FUZZ_CHECK(match.find_first_of("\r\n") == std::string::npos);
    if (matchCase) FUZZ_CHECK(match == needle);
    // Found the same way whichever side's case is which.
    FUZZ_CHECK(FindText(match, needle, 0, true, matchCase).position == 0);
    return 0;
}
