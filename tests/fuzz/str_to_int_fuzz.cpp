// The port-number conversion against a reference model of its accepted forms.
#include <cstdint>
#include <optional>
#include <regex>
#include <stdexcept>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "ui/str_to_int.h"

namespace {

// Written from the rules, not from the code: regular expressions and wide arithmetic.
std::optional<int32_t> Reference(const std::string& text) {
    static const std::regex decimal("^ *([+-]?)([0-9]+)$");
    static const std::regex hexadecimal("^ *(\\$|x|X|0x|0X)([0-9a-fA-F]+)$");
    std::smatch match;
    if (std::regex_match(text, match, decimal)) {
        std::string digits = match[2].str();
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
        if (digits.size() > 10) return std::nullopt;
        __int128 value = std::stoll(digits);
        if (match[1].str() == "-") value = -value;
        if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
        return static_cast<int32_t>(value);
    }
    if (std::regex_match(text, match, hexadecimal)) {
        std::string digits = match[2].str();
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
        if (digits.size() > 8) return std::nullopt;
        return static_cast<int32_t>(static_cast<uint32_t>(std::stoull(digits, nullptr, 16)));
    }
    return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<int32_t> expected = Reference(text);
    try {
        const int32_t value = StrToInt(text);
        FUZZ_CHECK(expected.has_value());
        FUZZ_CHECK(value == *expected);
    } catch (const std::runtime_error& error) {
        FUZZ_CHECK(!expected.has_value());
        // The message is a C string, as the box shows it: a NUL typed in the text ends it.
        const std::string message = "'" + text + "' is not a valid integer value";
        FUZZ_CHECK(error.what() == message.substr(0, message.find('\0')));
    }
    return 0;
}
