#include "ui/recall.h"

#include <algorithm>

LineRecall::LineRecall(std::vector<ByteString> newestFirst) : lines(std::move(newestFirst)) {
    if (lines.size() > Capacity) lines.resize(Capacity);
}

void LineRecall::Sent(const ByteString& line) {
    shown = -1;
    typing.clear();
    if (line.empty()) return;
    lines.erase(std::remove(lines.begin(), lines.end(), line), lines.end());
    lines.insert(lines.begin(), line);
    if (lines.size() > Capacity) lines.resize(Capacity);
}

std::optional<ByteString> LineRecall::Older(const ByteString& current) {
    if (shown + 1 >= static_cast<int>(lines.size())) return std::nullopt;
    if (shown < 0) typing = current;
    return lines[static_cast<size_t>(++shown)];
}

std::optional<ByteString> LineRecall::Newer() {
    if (shown < 0) return std::nullopt;
    --shown;
    return shown < 0 ? typing : lines[static_cast<size_t>(shown)];
}
