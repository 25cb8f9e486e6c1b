#pragma once
#include <string>
#include <vector>

#include "platform/files/settings.h"

// What the user turns on is kept for the next start: each choice is one row of the
// table in choices.cpp, read and written here through typed accessors, so every feature
// keeps its choices the same way and the settings file reads the same.
enum class Choice {
    Milliseconds,
    FindText,
    FindMatchCase,
    SaveFolder,
    LogFolder,
    LogType,
    LineEnd,
    InterpretEscapes,
    SentLines,
    SendFolder,
    Dtr,
    Rts,
    LowAtConnect,
    Reconnect,
    LineSettings,  // numbered by port
    EchoSent,
    TextBesideHex,
    TimeSincePrevious,
    QuickSend,      // numbered by key: 5 for F5
    QuickSendName,  // the same
    PaceChar,
    PaceLine,
    PaceReply,
    PaceTimeout,
};

class Choices {
public:
    explicit Choices(std::string path = platform::Settings::DefaultPath());

    // A flag is kept as "1" or "0"; anything else, or nothing, gives its default.
    bool Flag(Choice choice) const;
    void SetFlag(Choice choice, bool on);
    // A text, or one of a list of words; a word the list does not hold gives the default.
    std::string Text(Choice choice) const;
    void SetText(Choice choice, const std::string& value);
    // A list is kept as numbered keys, the first entry under 1; it ends at the first gap.
    std::vector<std::string> List(Choice choice) const;
    // Puts the entry first, once, in the list as the file holds it now: what another
    // comterm added meanwhile stays, after it.
    void PutFirst(Choice choice, const std::string& entry);

    // A text kept under a number of its own (a port's, a key's): "" when there is none.
    std::string NumberedText(Choice choice, unsigned number) const;
    void SetNumberedText(Choice choice, unsigned number, const std::string& value);

    const std::string& Path() const { return settings.Path(); }

private:
    platform::Settings settings;
};
