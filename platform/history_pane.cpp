#include "platform/history_pane.h"

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
    const View view = ReaderView();
    const int oldLength = TextLength();
    const int added = AddedLength(line);
    const int removed = keepFree > 0 ? MakeRoom(added, keepFree) : 0;
    const bool fits = added <= Capacity - TextLength();
    if (fits) AppendLine(line, color);
    const int after = TextLength();
    SetReaderView(ShiftedView(view, removed, oldLength, after));
    // The control must have taken the line whole: the text then ends with it.
    if (!fits || after < added || TextBetween(after - added, after) != line + "\r\n")
        throw std::runtime_error("RichEdit line insertion error");
}

// The fewest oldest whole lines that free enough; when even the last line alone would
// leave too little, everything goes.
int HistoryPane::MakeRoom(int addedLength, int keepFree) {
    const int length = TextLength();
    const int excess = length + addedLength - (Capacity - keepFree);
    if (excess <= 0) return 0;
    const int end = NextLineStart(excess);
    if (onLinesRemoved) onLinesRemoved(TextBetween(0, end));
    if (end >= length) {
        Clear();
        return length;
    }
    RemoveOldest(end);
    return end;
}

}  // namespace platform
