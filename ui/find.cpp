#include "ui/find.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

// Each byte as its small letter: ASCII's, and code page 437's pairs (Ç ü é ä å æ ö ñ).
ByteString Folded(ByteString text) {
    static const auto table = [] {
        std::array<char, 256> small{};
        for (int byte = 0; byte < 256; ++byte) small[byte] = static_cast<char>(byte);
        for (int letter = 'A'; letter <= 'Z'; ++letter) small[letter] = static_cast<char>(letter + ('a' - 'A'));
        const std::pair<int, int> pairs[] = {{0x80, 0x87}, {0x9A, 0x81}, {0x90, 0x82}, {0x8E, 0x84},
                                             {0x8F, 0x86}, {0x92, 0x91}, {0x99, 0x94}, {0xA5, 0xA4}};
        for (const auto& [capital, small437] : pairs) small[capital] = static_cast<char>(small437);
        return small;
    }();
    for (char& c : text) c = table[static_cast<unsigned char>(c)];
    return text;
}

}  // namespace

FoundText FindText(const ByteString& text, const ByteString& needle, int from, bool forward, bool matchCase) {
    if (needle.empty() || needle.find_first_of("\r\n") != ByteString::npos || needle.size() > text.size()) return {};
    const ByteString haystack = matchCase ? text : Folded(text);
    const ByteString wanted = matchCase ? needle : Folded(needle);
    const size_t start = static_cast<size_t>(std::clamp(from, 0, static_cast<int>(text.size())));
    size_t at;
    if (forward) {
        if ((at = haystack.find(wanted, start)) != ByteString::npos) return {static_cast<int>(at), false};
        at = haystack.find(wanted);
    } else {
        if (start > 0 && (at = haystack.rfind(wanted, start - 1)) != ByteString::npos) return {static_cast<int>(at), false};
        at = haystack.rfind(wanted);
    }
    return at == ByteString::npos ? FoundText{} : FoundText{static_cast<int>(at), true};
}
