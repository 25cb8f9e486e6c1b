#include "ui/entry_layout.h"

#include <string>

EntryLayout::EntryLayout(Choices& choices)
    : choices(choices),
      textBesideHex(choices.Flag(Choice::TextBesideHex)),
      timeSincePrevious(choices.Flag(Choice::TimeSincePrevious)) {}

std::vector<platform::MenuCommand> EntryLayout::Commands() {
    using platform::Described;
    return {
        Described({"Text &Beside Hex", "",
                   [this] {
                       textBesideHex = !textBesideHex;
                       choices.SetFlag(Choice::TextBesideHex, textBesideHex);
                       if (OnTextBesideHexChanged) OnTextBesideHexChanged();
                   },
                   [this] { return textBesideHex; }},
                  "in the hex formats, each entry's bytes as text too, on the same line"),
        Described({"Time Since &Previous", "",
                   [this] {
                       timeSincePrevious = !timeSincePrevious;
                       choices.SetFlag(Choice::TimeSincePrevious, timeSincePrevious);
                   },
                   [this] { return timeSincePrevious; }},
                  "after each stamp, the seconds since the entry before: +0.250"),
    };
}

// Milliseconds of the wall clock the stamps read; a clock set back counts as no time.
ByteString EntryLayout::Stamp(const ByteString& stamp, std::chrono::system_clock::time_point now, char decimalSeparator) {
    const auto since = previous && now > *previous ? now - *previous : std::chrono::system_clock::duration::zero();
    previous = now;
    if (!timeSincePrevious) return stamp;
    const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    std::string fraction = std::to_string(ms % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    return stamp + " +" + std::to_string(ms / 1000) + decimalSeparator + fraction;
}
