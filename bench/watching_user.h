#pragma once
// What a user watching a stream does: clears the history whenever the next received
// text would not fit, so that every text is shown.
#include "platform/history_pane.h"
#include "ui/main_form.h"

inline void ShowClearingWhenFull(TMainForm& form, const ByteString& text) {
    // Three characters a byte in hexadecimal, and room for the time stamp.
    if (form.MainRich->TextLength() + 3 * static_cast<int>(text.size()) + 300 > platform::HistoryPane::Capacity)
        form.Button1Click();
    form.ComReceive(text);
}
