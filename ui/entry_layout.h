#pragma once
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "platform/byte_string.h"
#include "platform/window/menu.h"
#include "ui/choices.h"

// How an entry is laid out beyond the display format: the text beside the hexadecimal,
// and the time since the previous entry after the stamp. Both are the history menu's
// choices, kept, and apply to the entries added from then on.
class EntryLayout {
public:
    explicit EntryLayout(Choices& choices);

    std::vector<platform::MenuCommand> Commands();
    bool TextBesideHex() const { return textBesideHex; }
    bool TimeSincePrevious() const { return timeSincePrevious; }
    // Told when Text Beside Hex changes: an entry's length per byte changes with it.
    std::function<void()> OnTextBesideHexChanged;

    // The stamp of an entry made at `now`, followed, when chosen, by the seconds since the
    // previous entry: "12/10/26 5:54:49.123 PM +0.250". The first after Restart says +0.000.
    ByteString Stamp(const ByteString& stamp, std::chrono::system_clock::time_point now, char decimalSeparator);
    // At Connect and Clear History: the next entry starts the count again.
    void Restart() { previous.reset(); }

private:
    Choices& choices;
    bool textBesideHex, timeSincePrevious;
    std::optional<std::chrono::system_clock::time_point> previous;
};
