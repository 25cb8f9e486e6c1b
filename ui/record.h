#pragma once
#include <cstdint>
#include <string>

#include "platform/byte_string.h"
#include "platform/window/history_pane.h"

// How the history goes into a file, saved whole or logged entry by entry: UTF-8, the
// system's line ends, a sent line marked "> " before its stamp. A carriage return inside
// a line, which the pane shows as a break, is a line end too.

constexpr const char* SentMark = "> ";

// One history line, in its colour, as a text file holds it.
std::string RecordedLine(const ByteString& line, uint32_t color);

// The whole history as a text file, or as a web page in its colours.
std::string HistoryAsText(const platform::HistoryPane& pane);
std::string HistoryAsHtml(const platform::HistoryPane& pane);

// True for a name that is saved as a web page.
bool IsHtmlName(const std::string& path);

// "comterm-YYYYMMDD-HHMMSS" for the moment given.
std::string LogBaseName(int year, int month, int day, int hour, int minute, int second);
