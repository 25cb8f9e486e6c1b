#include "ui/pacing.h"

#include <algorithm>
#include <stdexcept>

#include "ui/escapes.h"

namespace {

// Decimal digits alone, within low..high.
bool WholeNumber(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 6 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    value = std::stoi(text);
    return value >= low && value <= high;
}

std::string RangeRefusal(const char* what, int low, int high) {
    return std::string(what) + " is a whole number of ms from " + std::to_string(low) + " to " + std::to_string(high);
}

}  // namespace

ByteString Pacing::Reply() const { return InterpretEscapes(ReplyText); }

std::string PacingFromWords(const std::vector<std::string>& words, Pacing& pacing) {
    if (words.size() != 4) return "the pacing is incomplete";
    Pacing asked;
    if (!WholeNumber(words[0], 0, 5000, asked.CharDelayMs)) return RangeRefusal("the delay after each character", 0, 5000);
    if (!WholeNumber(words[1], 0, 60000, asked.LineDelayMs)) return RangeRefusal("the delay after each line", 0, 60000);
    asked.ReplyText = words[2];
    if (!WholeNumber(words[3], 100, 60000, asked.ReplyTimeoutMs)) return RangeRefusal("the wait for a reply", 100, 60000);
    try {
        asked.Reply();
    } catch (const std::invalid_argument& error) {
        return std::string("the reply: ") + error.what();
    }
    pacing = asked;
    return "";
}

std::vector<std::string> WordsOfPacing(const Pacing& pacing) {
    return {std::to_string(pacing.CharDelayMs), std::to_string(pacing.LineDelayMs), pacing.ReplyText,
            std::to_string(pacing.ReplyTimeoutMs)};
}
