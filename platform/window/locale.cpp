#include "platform/window/locale.h"

namespace platform {

ByteString GroupDigits(uint64_t value, const ByteString& separator) {
    const std::string digits = std::to_string(value);
    ByteString grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += separator;
        grouped += digits[i];
    }
    return grouped;
}

}  // namespace platform
