// Line settings kept in the settings file, and the Line Settings box's words: what is
// taken is a line a port can be asked for, and reads back the same once kept.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_check.h"
#include "ui/line_choice.h"

namespace {

void CheckLine(const platform::LineSettings& line) {
    FUZZ_CHECK(line.BaudRate >= LowestRate && line.BaudRate <= HighestRate);
    FUZZ_CHECK(line.ByteSize >= 5 && line.ByteSize <= 8);
    FUZZ_CHECK(line.Parity <= platform::LineSettings::SpaceParity);
    FUZZ_CHECK(line.Flow <= platform::LineSettings::XonXoffFlow);
    FUZZ_CHECK(line.StopBits == platform::LineSettings::OneStopBit ||
               (line.StopBits == platform::LineSettings::OneAndHalfStopBits) == (line.ByteSize == 5));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 256) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    LineChoice choice;
    if (ParseLineChoice(text, choice)) {
        CheckLine(choice.Line);
        LineChoice again;
        FUZZ_CHECK(ParseLineChoice(KeptText(choice), again));
        FUZZ_CHECK(again.Use == choice.Use && again.Line == choice.Line);
    }
    // The same bytes as the box's five words, split at '|'.
    std::vector<std::string> words{""};
    for (char byte : text) {
        if (byte == '|')
            words.emplace_back();
        else
            words.back() += byte;
    }
    platform::LineSettings line;
    if (LineFromWords(words, line).empty()) {
        CheckLine(line);
        platform::LineSettings again;
        FUZZ_CHECK(LineFromWords(WordsOfLine(line), again).empty() && again == line);
    }
    return 0;
}
