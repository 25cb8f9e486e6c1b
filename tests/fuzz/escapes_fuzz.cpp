// Escapes in a typed line against a model written from their rules: the bytes they name,
// or one error naming the first malformed escape.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "ui/escapes.h"

namespace {

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> Model(const std::string& line) {
    std::string bytes;
    for (size_t at = 0; at < line.size(); ++at) {
        if (line[at] != '\\') {
            bytes += line[at];
            continue;
        }
        if (at + 1 >= line.size()) return std::nullopt;
        const char kind = line[++at];
        if (kind == 'r') bytes += '\r';
        else if (kind == 'n') bytes += '\n';
        else if (kind == 't') bytes += '\t';
        else if (kind == '0') bytes += '\0';
        else if (kind == '\\') bytes += '\\';
        else if (kind == 'x' && at + 2 < line.size() && Hex(line[at + 1]) >= 0 && Hex(line[at + 2]) >= 0) {
            bytes += static_cast<char>(Hex(line[at + 1]) * 16 + Hex(line[at + 2]));
            at += 2;
        } else return std::nullopt;
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const std::optional<std::string> expected = Model(line);
    try {
        const ByteString bytes = InterpretEscapes(line);
        FUZZ_CHECK(expected.has_value());
        FUZZ_CHECK(bytes == *expected);
    } catch (const std::invalid_argument& error) {
        FUZZ_CHECK(!expected.has_value());
        FUZZ_CHECK(std::string(error.what()).rfind("Malformed escape \"\\", 0) == 0);
    }
    return 0;
}
