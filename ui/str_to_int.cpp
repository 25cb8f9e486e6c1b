#include "ui/str_to_int.h"

#include <cctype>
#include <stdexcept>

namespace {

[[noreturn]] void NotAnInteger(const ByteString& text) {
    throw std::runtime_error("'" + text + "' is not a valid integer value");
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

size_t HexPrefixLength(const ByteString& text, size_t at) {
    if (at < text.size() && (text[at] == '$' || text[at] == 'x' || text[at] == 'X')) return 1;
    if (at + 1 < text.size() && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X')) return 2;
    return 0;
}

}  // namespace

int32_t StrToInt(const ByteString& Text) {
    size_t at = Text.find_first_not_of(' ');
    if (at == ByteString::npos) NotAnInteger(Text);

    if (size_t prefix = HexPrefixLength(Text, at)) {
        at += prefix;
        if (at == Text.size()) NotAnInteger(Text);
        uint64_t value = 0;
        for (; at < Text.size(); ++at) {
            int digit = HexValue(Text[at]);
            if (digit < 0) NotAnInteger(Text);
            value = value * 16 + static_cast<uint64_t>(digit);
            if (value > 0xFFFFFFFFull) NotAnInteger(Text);
        }
        return static_cast<int32_t>(static_cast<uint32_t>(value));
    }

    bool negative = Text[at] == '-';
    if (Text[at] == '+' || Text[at] == '-') ++at;
    if (at == Text.size()) NotAnInteger(Text);
    const uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    uint64_t value = 0;
    for (; at < Text.size(); ++at) {
        if (!std::isdigit(static_cast<unsigned char>(Text[at]))) NotAnInteger(Text);
        value = value * 10 + static_cast<uint64_t>(Text[at] - '0');
        if (value > limit) NotAnInteger(Text);
    }
    return static_cast<int32_t>(negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value));
}
