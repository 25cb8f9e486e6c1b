#pragma once
#include <optional>
#include <vector>

#include "platform/byte_string.h"

// The lines sent before, newest first, for Up and Down in the input line: each line once,
// at most Capacity of them. Down past the newest brings back what was being typed.
class LineRecall {
public:
    static constexpr size_t Capacity = 100;

    explicit LineRecall(std::vector<ByteString> newestFirst = {});

    // A line was sent: it becomes the newest, and recall starts again from the typing.
    void Sent(const ByteString& line);
    // The line one older (Up) or newer (Down) than the one shown, given what the input
    // line holds now; nothing when there is none.
    std::optional<ByteString> Older(const ByteString& current);
    std::optional<ByteString> Newer();

    const std::vector<ByteString>& Lines() const { return lines; }

private:
    std::vector<ByteString> lines;
    int shown = -1;  // the index shown; -1: the line being typed
    ByteString typing;
};
