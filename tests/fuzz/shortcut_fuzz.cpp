// Shortcut texts as the menu tables write them: either refused, or a key that its own
// written form names again.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/window/menu.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    platform::Shortcut shortcut;
    try {
        shortcut = platform::ParseShortcut(text);
    } catch (const std::invalid_argument&) {
        return 0;
    }
    FUZZ_CHECK((shortcut.letter != 0) != (shortcut.function != 0));
    FUZZ_CHECK(shortcut.letter == 0 || (shortcut.letter >= 'A' && shortcut.letter <= 'Z'));
    FUZZ_CHECK(shortcut.function >= 0 && shortcut.function <= 12);
    const std::string written = std::string(shortcut.ctrl ? "Ctrl+" : "") + (shortcut.shift ? "Shift+" : "") +
                                (shortcut.letter ? std::string(1, shortcut.letter) : "F" + std::to_string(shortcut.function));
    FUZZ_CHECK(platform::ParseShortcut(written) == shortcut);
    return 0;
}
