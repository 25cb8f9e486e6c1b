// Send Pacing's four texts as the box or the settings file gives them: either refused
// with a reason, or values in range that read back the same.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_check.h"
#include "ui/pacing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 256) return 0;
    std::vector<std::string> words{""};
    for (size_t at = 0; at < size; ++at) {
        if (data[at] == '|')
            words.emplace_back();
        else
            words.back() += static_cast<char>(data[at]);
    }
    Pacing pacing;
    const std::string refusal = PacingFromWords(words, pacing);
    if (!refusal.empty()) return 0;
    FUZZ_CHECK(pacing.CharDelayMs >= 0 && pacing.CharDelayMs <= 5000);
    FUZZ_CHECK(pacing.LineDelayMs >= 0 && pacing.LineDelayMs <= 60000);
    FUZZ_CHECK(pacing.ReplyTimeoutMs >= 100 && pacing.ReplyTimeoutMs <= 60000);
    pacing.Reply();  // its escapes were checked: it reads
    Pacing again;
    FUZZ_CHECK(PacingFromWords(WordsOfPacing(pacing), again).empty());
    FUZZ_CHECK(WordsOfPacing(again) == WordsOfPacing(pacing));
    return 0;
}
