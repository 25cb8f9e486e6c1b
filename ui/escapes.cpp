#include "ui/escapes.h"

#include <cctype>
#include <stdexcept>

namespace {

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    const int lower = std::tolower(static_cast<unsigned char>(digit));
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

[[noreturn]] void Malformed(const ByteString& escape, size_t at) {
    throw std::invalid_argument("Malformed escape \"" + escape + "\" at column " + std::to_string(at + 1) +
                                "; nothing was sent");
}

}  // namespace

ByteString InterpretEscapes(const ByteString& line) {
    ByteString bytes;
    for (size_t at = 0; at < line.size(); ++at) {
        if (line[at] != '\\') {
            bytes += line[at];
            continue;
        }
        if (at + 1 == line.size()) Malformed("\\", at);
        const char kind = line[at + 1];
        switch (kind) {
            case 'r': bytes += '\r'; break;
            case 'n': bytes += '\n'; break;
            case 't': bytes += '\t'; break;
            case '0': bytes += '\0'; break;
            case '\\': bytes += '\\'; break;
            case 'x': {
                const int high = at + 2 < line.size() ? HexValue(line[at + 2]) : -1;
                const int low = at + 3 < line.size() ? HexValue(line[at + 3]) : -1;
                if (high < 0 || low < 0) Malformed(line.substr(at, std::min<size_t>(4, line.size() - at)), at);
                bytes += static_cast<char>(high * 16 + low);
                at += 2;
                break;
            }
            default: Malformed(line.substr(at, 2), at);
        }
        ++at;
    }
    return bytes;
}
