// The history's context menu: find, save the history, log to a file, millisecond stamps.
// What the user turns on here is kept for the next start.
#include "ui/history_record.h"

#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "platform/window/cp437.h"
#include "platform/window/file_dialog.h"
#include "platform/window/locale.h"
#include "ui/find.h"
#include "ui/record.h"

namespace {

constexpr int LogWatchMs = 200;

std::string FolderOf(const std::string& path) { return std::filesystem::path(path).parent_path().string(); }

std::string NameForNow() {
    const platform::LocalDateTime now = platform::ToLocalDateTime(std::chrono::system_clock::now());
    return LogBaseName(now.Year, now.Month, now.Day, now.Hour, now.Minute, now.Second);
}

}  // namespace

HistoryRecord::HistoryRecord(platform::HistoryPane& pane, Choices& choices, HistoryLines& history)
    : pane(pane), choices(choices), history(history), milliseconds(choices.Flag(Choice::Milliseconds)) {
    logWatch.SetEnabled(false);
    logWatch.SetInterval(LogWatchMs);
    logWatch.SetOnTimer([this] { WatchLog(); });
}

HistoryRecord::~HistoryRecord() { StopLog(); }

std::vector<platform::MenuCommand> HistoryRecord::Commands() {
    using platform::Described;
    return {
        Described({"&Find...", "Ctrl+F", [this] { FindClick(); }, {}}, "a box to find a text in the history"),
        Described({"Find &Next", "F3", [this] { FindAgain(true); }, {}}, "the last find again, onward"),
        Described({"Find &Previous", "Shift+F3", [this] { FindAgain(false); }, {}}, "the last find again, backward"),
        Described({"Sa&ve History As...", "Ctrl+S", [this] { SaveHistoryClick(); }, {}},
                  "the history as shown to a text file or a web page"),
        LogItem(),
        Described({"Time Stamps with &Milliseconds", "", [this] { MillisecondsClick(); }, [this] { return milliseconds; }},
                  "stamps to the thousandth of a second"),
    };
}

platform::FindBox& HistoryRecord::ShownFindBox() {
    if (!findBox) {
        findBox = platform::MakeFindBox(pane);
        findBox->SetOnFind([this](const platform::FindRequest& request) { Find(request); });
    }
    if (!findBox->Visible())
        findBox->Show(platform::Cp437FromUtf8(choices.Text(Choice::FindText)), choices.Flag(Choice::FindMatchCase));
    return *findBox;
}

void HistoryRecord::FindClick() { ShownFindBox().Show({}, false); }

void HistoryRecord::FindAgain(bool forward) {
    const ByteString text = platform::Cp437FromUtf8(choices.Text(Choice::FindText));
    if (text.empty()) {
        FindClick();
        return;
    }
    Find({text, choices.Flag(Choice::FindMatchCase), forward});
}

void HistoryRecord::Find(const platform::FindRequest& request) {
    if (platform::Utf8FromCp437(request.Text) != choices.Text(Choice::FindText))
        choices.SetText(Choice::FindText, platform::Utf8FromCp437(request.Text));
    if (request.MatchCase != choices.Flag(Choice::FindMatchCase)) choices.SetFlag(Choice::FindMatchCase, request.MatchCase);
    const platform::HistoryPane::View view = pane.ReaderView();
    const int from = request.Forward ? std::max(view.anchor, view.caret) : std::min(view.anchor, view.caret);
    const FoundText found = FindText(pane.Text(), request.Text, from, request.Forward, request.MatchCase);
    ByteString status;
    if (found.position < 0) {
        status = "Not found: \"" + request.Text + "\"";
    } else {
        pane.SelectAndShow(found.position, found.position + static_cast<int>(request.Text.size()));
        if (found.wrapped) status = request.Forward ? "Went on from the start" : "Went on from the end";
    }
    // Said in the find box, shown for a miss even when it was closed.
    if (findBox && findBox->Visible())
        findBox->SetStatus(status);
    else if (found.position < 0)
        ShownFindBox().SetStatus(status);
}

void HistoryRecord::SaveHistoryClick() {
    platform::SaveDialogRequest request;
    request.Title = "Save History As";
    request.Folder = choices.Text(Choice::SaveFolder);
    request.Name = NameForNow() + ".txt";
    request.Types = {{"Text as shown", {"txt", "log"}}, {"Web page in colour", {"html"}}};
    const platform::SaveDialogAnswer answer = platform::AskSaveFile(request);
    if (answer.Path.empty()) return;
    SaveHistory(answer.Path);
    if (FolderOf(answer.Path) != request.Folder) choices.SetText(Choice::SaveFolder, FolderOf(answer.Path));
}

void HistoryRecord::SaveHistory(const std::string& path) {
    platform::WriteWholeFile(path, IsHtmlName(path) ? HistoryAsHtml(pane) : HistoryAsText(pane));
}

// While logging the item says to what, and stops it.
platform::MenuCommand HistoryRecord::LogItem() {
    platform::MenuCommand item = platform::Described({"&Log to File...", "", [this] { LogToFileClick(); }, [this] { return Logging(); }},
                                                     "every entry, or every received byte, to a file from now on; again to stop");
    item.Label = [this] {
        return log ? "Stop &Logging (" + std::filesystem::path(log->Path()).filename().string() + ")" : ByteString("&Log to File...");
    };
    return item;
}

void HistoryRecord::LogToFileClick() {
    if (log) {
        StopLogSaying();
        return;
    }
    const bool bytes = choices.Text(Choice::LogType) == "bytes";
    platform::SaveDialogRequest request;
    request.Title = "Log to File";
    request.Folder = choices.Text(Choice::LogFolder);
    request.Name = NameForNow() + (bytes ? ".bin" : ".log");
    request.Types = {{"Text as shown", {"log", "txt"}}, {"Received bytes", {"bin"}}};
    request.TypeIndex = bytes ? 1 : 0;
    request.AskOverwrite = false;  // a log goes on at the end of a file it is given
    const platform::SaveDialogAnswer answer = platform::AskSaveFile(request);
    if (answer.Path.empty()) return;
    // The name decides, as a user naming the file expects; another extension follows the type.
    const int named = platform::TypeOfName(answer.Path, request.Types);
    StartLog(answer.Path, (named >= 0 ? named : answer.TypeIndex) == 1 ? LogKind::Bytes : LogKind::Text);
    const char* type = logKind == LogKind::Bytes ? "bytes" : "text";
    if (choices.Text(Choice::LogType) != type) choices.SetText(Choice::LogType, type);
    if (FolderOf(answer.Path) != request.Folder) choices.SetText(Choice::LogFolder, FolderOf(answer.Path));
}

void HistoryRecord::StartLog(const std::string& path, LogKind kind) {
    StartLog(platform::RecordFile::Open(path, platform::RecordFile::Start::Append), path, kind);
}

void HistoryRecord::StartLog(std::unique_ptr<platform::RecordFile> file, const std::string& path, LogKind kind) {
    StopLog();
    // Said before the log takes entries: the file holds what came after, nothing of ours.
    history.AddNote((kind == LogKind::Bytes ? "logging received bytes to " : "logging text as shown to ") + path);
    log = std::make_unique<platform::RecordWriter>(std::move(file), path);
    logKind = kind;
    loggedBytes = 0;
    logWatch.SetEnabled(true);
}

void HistoryRecord::StopLogSaying() {
    if (!log) return;
    const std::string name = std::filesystem::path(log->Path()).filename().string();
    const uint64_t bytes = loggedBytes;
    StopLog();
    history.AddNote("log stopped: " + platform::GroupDigits(bytes, digitGroup) + " bytes in " + name);
}

void HistoryRecord::StopLog() {
    logWatch.SetEnabled(false);
    log.reset();
}

void HistoryRecord::LogReceivedBytes(const ByteString& bytes) {
    if (!log || logKind != LogKind::Bytes) return;
    if (log->Append(bytes)) loggedBytes += bytes.size();
}

void HistoryRecord::LogLines(const std::vector<ByteString>& lines, uint32_t color) {
    if (!LoggingText()) return;
    for (const ByteString& line : lines) {
        std::string recorded = RecordedLine(line, color);
        const size_t size = recorded.size();
        if (log->Append(std::move(recorded))) loggedBytes += size;
    }
}

void HistoryRecord::CatchUp() {
    if (log) log->CatchUp();
}

void HistoryRecord::WatchLog() {
    const std::string failure = log ? log->Failure() : "";
    if (failure.empty()) return;
    const std::string path = log->Path();
    StopLog();
    throw std::runtime_error("Logging to " + path + " stopped: " + failure + ". What was logged until then stays in the file");
}

void HistoryRecord::MillisecondsClick() {
    milliseconds = !milliseconds;
    choices.SetFlag(Choice::Milliseconds, milliseconds);
}
