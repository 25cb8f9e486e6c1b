#include "ui/record.h"

#include <cstdio>

#include "platform/window/cp437.h"
#include "platform/files/record_file.h"
#include "ui/display.h"

namespace {

// The line's glyphs, its inner carriage returns as line ends.
std::string ShownLines(const ByteString& line) {
    std::string text;
    size_t from = 0;
    for (size_t cr = line.find('\r'); cr != ByteString::npos; cr = line.find('\r', from)) {
        text += platform::Utf8FromCp437(line.substr(from, cr - from)) + platform::TextLineEnd;
        from = cr + 1;
    }
    return text + platform::Utf8FromCp437(line.substr(from));
}

std::string HtmlEscaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::string CssColor(uint32_t color) {  // 0x00BBGGRR to #RRGGBB
    char css[8];
    std::snprintf(css, sizeof css, "#%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
    return css;
}

// Each whole line of the pane with the colour of its first character.
template <typename Visit>
void ForEachLine(const platform::HistoryPane& pane, Visit visit) {
    const ByteString text = pane.Text();
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find("\r\n", start);
        if (end == ByteString::npos) end = text.size();
        visit(text.substr(start, end - start), pane.ColorAt(static_cast<int>(start)));
        start = end + 2;
    }
}

}  // namespace

std::string RecordedLine(const ByteString& line, uint32_t color) {
    return (color == SentColor ? SentMark : "") + ShownLines(line) + platform::TextLineEnd;
}

std::string HistoryAsText(const platform::HistoryPane& pane) {
    std::string text;
    ForEachLine(pane, [&](const ByteString& line, uint32_t color) { text += RecordedLine(line, color); });
    return text;
}

std::string HistoryAsHtml(const platform::HistoryPane& pane) {
    const std::string end = platform::TextLineEnd;
    std::string page = "<!DOCTYPE html>" + end + "<html><head><meta charset=\"utf-8\"><title>comterm history</title>" +
                       "<style>.sent{color:" + CssColor(SentColor) + "}</style></head>" + end + "<body><pre>" + end;
    ForEachLine(pane, [&](const ByteString& line, uint32_t color) {
        const std::string kind = color == SentColor ? " class=\"sent\"" : "";
        page += "<span" + kind + " style=\"color:" + CssColor(color) + "\">" + HtmlEscaped(RecordedLine(line, color)) +
                "</span>";
    });
    return page + "</pre></body></html>" + end;
}

bool IsHtmlName(const std::string& path) {
    const std::string ending = path.size() >= 5 ? path.substr(path.size() - 5) : "";
    std::string lower;
    for (char c : ending) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return lower == ".html";
}

std::string LogBaseName(int year, int month, int day, int hour, int minute, int second) {
    char name[40];
    std::snprintf(name, sizeof name, "comterm-%04d%02d%02d-%02d%02d%02d", year, month, day, hour, minute, second);
    return name;
}
