#pragma once
#include "platform/byte_string.h"

struct FoundText {
    int position = -1;     // -1: nowhere
    bool wrapped = false;  // found only by going round past the end (or the start)
};

// Looks for `needle` in the history's text: forward from `from`, or backward for a match
// that starts before it, going round once. Case is ignored unless it matters. A match
// never spans a line break, so a needle holding one is found nowhere.
FoundText FindText(const ByteString& text, const ByteString& needle, int from, bool forward, bool matchCase);
