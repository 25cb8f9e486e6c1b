#include "ui/cleared_history.h"

#include <string>

namespace {

// Entries brought back leave room for what arrives next, as received text does.
constexpr int RoomKept = platform::HistoryPane::Capacity / 4;

}  // namespace

ClearedHistory::ClearedHistory(platform::HistoryPane& pane, HistoryLines& history) : pane(pane), history(history) {
    pane.SetOnUndoKey([this] { return Undo(); });
}

std::vector<platform::MenuCommand> ClearedHistory::Commands() {
    platform::MenuCommand undo{"&Undo Clear History", "", [this] { Undo(); }, {}};
    undo.Enabled = [this] { return CanUndo(); };
    undo.Does = "brings back what the last Clear History removed (Ctrl+Z in the history)";
    return {undo};
}

std::vector<ClearedHistory::Run> ClearedHistory::Lines() const {
    std::vector<Run> runs;
    const ByteString text = pane.Text();
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find("\r\n", start);
        if (end == ByteString::npos) end = text.size();
        const uint32_t color = pane.ColorAt(static_cast<int>(start));
        if (runs.empty() || runs.back().color != color) runs.push_back({{}, color});
        runs.back().lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return runs;
}

void ClearedHistory::KeepBeforeClear() {
    if (pane.TextLength() > 0) kept = Lines();
}

// The kept entries, then those that came since: the newest part of the kept ones that
// fits with them comes back.
bool ClearedHistory::Undo() {
    if (kept.empty()) return false;
    std::vector<Run> since = Lines();
    int room = platform::HistoryPane::Capacity - RoomKept;
    for (const Run& run : since)
        for (const ByteString& line : run.lines) room -= platform::HistoryPane::AddedLength(line);
    size_t keptLines = 0;
    for (const Run& run : kept) keptLines += run.lines.size();
    size_t comesBack = 0;  // of the newest kept lines
    std::vector<std::pair<const ByteString*, uint32_t>> flat;
    for (const Run& run : kept)
        for (const ByteString& line : run.lines) flat.emplace_back(&line, run.color);
    while (comesBack < flat.size()) {
        const int needs = platform::HistoryPane::AddedLength(*flat[flat.size() - 1 - comesBack].first);
        if (needs > room) break;
        room -= needs;
        ++comesBack;
    }
    std::vector<Run> whole;
    for (size_t i = flat.size() - comesBack; i < flat.size(); ++i) {
        if (whole.empty() || whole.back().color != flat[i].second) whole.push_back({{}, flat[i].second});
        whole.back().lines.push_back(*flat[i].first);
    }
    for (Run& run : since) whole.push_back(std::move(run));
    const size_t leftOut = keptLines - comesBack;
    kept.clear();
    pane.Clear();
    for (const Run& run : whole) pane.AddHistoryLines(run.lines, run.color, 0);
    if (leftOut > 0)
        history.AddNote("Undo Clear History: the oldest " + std::to_string(leftOut) + " of " + std::to_string(keptLines) +
                        " entries did not fit the history and stay cleared");
    return true;
}
