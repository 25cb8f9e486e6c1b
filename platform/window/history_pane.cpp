#include "platform/window/history_pane.h"

#include <stdexcept>

namespace platform {
namespace {

int Shifted(int position, int removed, int oldLength, int newLength) {
    if (position >= oldLength) return newLength;  // at the end: stays at the end
    return position > removed ? position - removed : 0;
}

// Where a view stands after `removed` characters went from the front of a text that was
// `oldLength` long and is now `newLength`: it stays on its text, at the start if its text
// went, and what stood at the end stays at the end.
HistoryPane::View ShiftedView(HistoryPane::View view, int removed, int oldLength, int newLength) {
    view.top = view.top >= removed ? view.top - removed : 0;
    view.anchor = Shifted(view.anchor, removed, oldLength, newLength);
    view.caret = Shifted(view.caret, removed, oldLength, newLength);
    return view;
}

}  // namespace

void HistoryPane::AddHistoryLine(const ByteString& line, uint32_t color, int keepFree) {
    AddHistoryLines({line}, color, keepFree);
}

void HistoryPane::AddHistoryLines(const std::vector<ByteString>& lines, uint32_t color, int keepFree,
                                  bool afterPassedOver) {
    if (lines.empty()) return;
    const View view = ReaderView();
    const int oldLength = TextLength();
    const Room room = PlanRoom(lines, keepFree, afterPassedOver);
    ReportRemoved(room, lines);
    ReplaceOldest(room.textGone, lines.begin() + static_cast<std::ptrdiff_t>(room.linesGone), lines.end(), color);
    const int after = TextLength();
    SetReaderView(ShiftedView(view, room.textGone, oldLength, after));
    // The control must have taken the lines whole: the text then ends with the last.
    const int last = AddedLength(lines.back());
    if (after < last || TextBetween(after - last, after) != lines.back() + "\r\n")
        throw std::runtime_error("RichEdit line insertion error");
}

bool HistoryPane::Takes(const ByteString& line, int keepFree) const {
    try {
        PlanRoom({line}, keepFree, false);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

// Line by line: when keepFree > 0, the fewest oldest whole lines that free enough go,
// first from the text now, then from the lines before this one; when even this line
// alone would leave too little, everything before it goes. A line that does not fit then
// is refused, before anything changes.
HistoryPane::Room HistoryPane::PlanRoom(const std::vector<ByteString>& lines, int keepFree,
                                        bool afterPassedOver) const {
    const int textLength = TextLength();
    Room room;
    if (afterPassedOver) room.textGone = textLength;
    int length = textLength - room.textGone;  // of the text as it would stand
    for (size_t at = 0; at < lines.size(); ++at) {
        const int added = AddedLength(lines[at]);
        int excess = keepFree > 0 ? length + added - (Capacity - keepFree) : 0;
        if (excess > 0 && room.textGone < textLength) {
            const int gone = std::min(NextLineStart(room.textGone + excess), textLength) - room.textGone;
            room.textGone += gone;
            length -= gone;
            excess -= gone;
        }
        for (; excess > 0 && room.linesGone < at; ++room.linesGone) {
            length -= AddedLength(lines[room.linesGone]);
            excess -= AddedLength(lines[room.linesGone]);
        }
        if (added > Capacity - length) throw std::runtime_error("RichEdit line insertion error");
        length += added;
    }
    return room;
}

void HistoryPane::ReportRemoved(const Room& room, const std::vector<ByteString>& lines) const {
    if (!onLinesRemoved || (room.textGone == 0 && room.linesGone == 0)) return;
    ByteString removed = TextBetween(0, room.textGone);
    for (size_t gone = 0; gone < room.linesGone; ++gone) removed += lines[gone] + "\r\n";
    onLinesRemoved(removed);
}

}  // namespace platform
