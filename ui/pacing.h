#pragma once
#include <string>
#include <vector>

#include "platform/byte_string.h"

// How the input line's sends are paced for slow devices: a delay after each character,
// a delay after each line, and a reply to wait for after each line.
struct Pacing {
    int CharDelayMs = 0;      // 0..5000; 0: off
    int LineDelayMs = 0;      // 0..60000, after the line end
    ByteString ReplyText;     // as typed, escapes allowed; "": no waiting
    int ReplyTimeoutMs = 2000;  // 100..60000

    bool Any() const { return CharDelayMs > 0 || LineDelayMs > 0 || !ReplyText.empty(); }
    // The reply as bytes: its escapes read, whatever Interpret Escapes says.
    ByteString Reply() const;
};

// The box's four texts as pacing: "" when taken, else why not ("the delay after each
// character is a whole number of ms from 0 to 5000").
std::string PacingFromWords(const std::vector<std::string>& words, Pacing& pacing);
std::vector<std::string> WordsOfPacing(const Pacing& pacing);
