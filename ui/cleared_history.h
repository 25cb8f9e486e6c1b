#pragma once
#include <cstdint>
#include <vector>

#include "platform/byte_string.h"
#include "platform/window/history_pane.h"
#include "platform/window/menu.h"
#include "ui/history_lines.h"

// What the last Clear History removed, so that a clear by accident (an Esc pressed by
// habit) can be undone: Undo Clear History in the history's menu, or Ctrl+Z in the
// history. The entries come back above whatever arrived since, as far as the history
// holds them.
class ClearedHistory {
public:
    ClearedHistory(platform::HistoryPane& pane, HistoryLines& history);

    std::vector<platform::MenuCommand> Commands();
    // Keeps what the pane holds before a Clear; a second Clear replaces it. Clearing an
    // empty history keeps what an earlier Clear removed.
    void KeepBeforeClear();
    bool CanUndo() const { return !kept.empty(); }
    // False when there is nothing to bring back.
    bool Undo();

private:
    struct Run {
        std::vector<ByteString> lines;
        uint32_t color;
    };
    // The pane's lines as runs of one colour, oldest first.
    std::vector<Run> Lines() const;

    platform::HistoryPane& pane;
    HistoryLines& history;
    std::vector<Run> kept;
};
