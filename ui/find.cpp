#include "ui/find.h"

#include <algorithm>

namespace {

ByteString Folded(ByteString text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
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
