#pragma once
#include "platform/byte_string.h"
#include "ui/display.h"

// What a feature may add to the history: a line under the window's own rules (the
// display format, the capacity error), or a stamped note of comterm's own, said as it is.
class HistoryLines {
public:
    virtual void AddHistoryLine(const ByteString& Text, TColor Color) = 0;
    virtual void AddNote(const ByteString& Text, TColor Color = NoteColor) = 0;
    // Whether AddHistoryLine would take Text now: a line to be sent and echoed is checked
    // before it goes, so that one the history refuses is never sent.
    virtual bool Fits(const ByteString& Text) const = 0;

protected:
    ~HistoryLines() = default;
};
