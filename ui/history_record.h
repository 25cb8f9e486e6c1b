#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/byte_string.h"
#include "platform/window/find_box.h"
#include "platform/window/history_pane.h"
#include "platform/window/menu.h"
#include "platform/window/periodic_timer.h"
#include "platform/files/record_file.h"
#include "ui/choices.h"
#include "ui/history_lines.h"

// Keeping a record of the history: Find, Save History As, Log to File and millisecond
// stamps. It reads and selects in the pane; the window hands it every entry to log.
class HistoryRecord {
public:
    enum class LogKind { Text, Bytes };

    // history: where the log's notes go.
    HistoryRecord(platform::HistoryPane& pane, Choices& choices, HistoryLines& history);
    ~HistoryRecord();

    // The history menu's items for these.
    std::vector<platform::MenuCommand> Commands();
    // Counts in notes are written with the locale's digit grouping.
    void SetDigitGroupSeparator(ByteString separator) { digitGroup = std::move(separator); }

    void FindClick();              // the find box, with the last find
    void FindAgain(bool forward);  // the last find again, or the find box for a first
    void Find(const platform::FindRequest& request);
    platform::FindBox* FindBoxShown() const { return findBox.get(); }

    void SaveHistoryClick();                    // asks where, then saves
    void SaveHistory(const std::string& path);  // as text, or as a web page for .html

    void LogToFileClick();  // asks where and starts logging, or stops it
    // From now on every entry (Text) or every received byte (Bytes) is appended to the
    // file; throws, logging nothing, when it cannot be opened.
    void StartLog(const std::string& path, LogKind kind);
    void StartLog(std::unique_ptr<platform::RecordFile> file, const std::string& path, LogKind kind);
    void StopLog();  // quietly, as at the end
    bool Logging() const { return log != nullptr; }
    bool LoggingText() const { return log && logKind == LogKind::Text; }

    // What the window hands on: bytes as received, and entries as added (after any that
    // the history passed over). CatchUp before adding lets a slow disk set the pace.
    void LogReceivedBytes(const ByteString& bytes);
    void LogLines(const std::vector<ByteString>& lines, uint32_t color);
    void CatchUp();

    void MillisecondsClick();
    bool Milliseconds() const { return milliseconds; }

private:
    platform::MenuCommand LogItem();
    platform::FindBox& ShownFindBox();
    // A log that failed ends with one box, whatever the number of entries it refused.
    void WatchLog();

    // The user's stop: the log ends with a note of what it holds.
    void StopLogSaying();

    platform::HistoryPane& pane;
    Choices& choices;
    HistoryLines& history;
    uint64_t loggedBytes = 0;  // this run's, into the log now open
    bool milliseconds;
    std::unique_ptr<platform::FindBox> findBox;
    std::unique_ptr<platform::RecordWriter> log;
    LogKind logKind = LogKind::Text;
    platform::PeriodicTimer logWatch;
    ByteString digitGroup;
};
