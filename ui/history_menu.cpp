// The history's context menu: find, save the history, log to a file, millisecond stamps.
// What the user turns on here is kept for the next start.
#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "platform/cp437.h"
#include "platform/file_dialog.h"
#include "ui/find.h"
#include "ui/main_form.h"
#include "ui/record.h"

namespace {

// The settings file's keys.
const char* const LogFolderKey = "LogFolder";
const char* const LogTypeKey = "LogType";  // "text" or "bytes"
const char* const SaveFolderKey = "SaveFolder";
const char* const MillisecondsKey = "Milliseconds";
const char* const FindTextKey = "FindText";
const char* const FindMatchCaseKey = "FindMatchCase";

constexpr int LogWatchMs = 200;

std::string FolderOf(const std::string& path) { return std::filesystem::path(path).parent_path().string(); }

std::string NameForNow() {
    const platform::LocalDateTime now = platform::ToLocalDateTime(std::chrono::system_clock::now());
    return LogBaseName(now.Year, now.Month, now.Day, now.Hour, now.Minute, now.Second);
}

}  // namespace

void TMainForm::MakeHistoryMenu() {
    milliseconds = settings.Flag(MillisecondsKey);
    logWatch.SetEnabled(false);
    logWatch.SetInterval(LogWatchMs);
    logWatch.SetOnTimer([this] { WatchLog(); });
    MainRich->SetContextCommands({
        {"&Find...", "Ctrl+F", [this] { FindClick(); }, {}},
        {"Find &Next", "F3", [this] { FindAgain(true); }, {}},
        {"Find &Previous", "Shift+F3", [this] { FindAgain(false); }, {}},
        {"Sa&ve History As...", "Ctrl+S", [this] { SaveHistoryClick(); }, {}},
        {"&Log to File...", "", [this] { LogToFileClick(); }, [this] { return Logging(); }},
        {"Time Stamps with &Milliseconds", "", [this] { MillisecondsClick(); }, [this] { return milliseconds; }},
        {"P&ort", "", {}, {}, PortCommands()},
    });
}

platform::FindBox& TMainForm::ShownFindBox() {
    if (!findBox) {
        findBox = platform::MakeFindBox(*MainRich);
        findBox->SetOnFind([this](const platform::FindRequest& request) { Find(request); });
    }
    if (!findBox->Visible())
        findBox->Show(platform::Cp437FromUtf8(settings.Text(FindTextKey)), settings.Flag(FindMatchCaseKey));
    return *findBox;
}

void TMainForm::FindClick() { ShownFindBox().Show({}, false); }

void TMainForm::FindAgain(bool forward) {
    const ByteString text = platform::Cp437FromUtf8(settings.Text(FindTextKey));
    if (text.empty()) {
        FindClick();
        return;
    }
    Find({text, settings.Flag(FindMatchCaseKey), forward});
}

void TMainForm::Find(const platform::FindRequest& request) {
    if (platform::Utf8FromCp437(request.Text) != settings.Text(FindTextKey))
        settings.SetText(FindTextKey, platform::Utf8FromCp437(request.Text));
    if (request.MatchCase != settings.Flag(FindMatchCaseKey)) settings.SetFlag(FindMatchCaseKey, request.MatchCase);
    const platform::HistoryPane::View view = MainRich->ReaderView();
    const int from = request.Forward ? std::max(view.anchor, view.caret) : std::min(view.anchor, view.caret);
    const FoundText found = FindText(MainRich->Text(), request.Text, from, request.Forward, request.MatchCase);
    ByteString status;
    if (found.position < 0) {
        status = "Not found: \"" + request.Text + "\"";
    } else {
        MainRich->SelectAndShow(found.position, found.position + static_cast<int>(request.Text.size()));
        if (found.wrapped) status = request.Forward ? "Went on from the start" : "Went on from the end";
    }
    // Said in the find box, shown for a miss even when it was closed.
    if (findBox && findBox->Visible())
        findBox->SetStatus(status);
    else if (found.position < 0)
        ShownFindBox().SetStatus(status);
}

void TMainForm::SaveHistoryClick() {
    platform::SaveDialogRequest request;
    request.Title = "Save History As";
    request.Folder = settings.Text(SaveFolderKey);
    request.Name = NameForNow() + ".txt";
    request.Types = {{"Text as shown", {"txt", "log"}}, {"Web page in colour", {"html"}}};
    const platform::SaveDialogAnswer answer = platform::AskSaveFile(request);
    if (answer.Path.empty()) return;
    SaveHistory(answer.Path);
    if (FolderOf(answer.Path) != request.Folder) settings.SetText(SaveFolderKey, FolderOf(answer.Path));
}

void TMainForm::SaveHistory(const std::string& path) {
    platform::WriteWholeFile(path, IsHtmlName(path) ? HistoryAsHtml(*MainRich) : HistoryAsText(*MainRich));
}

void TMainForm::LogToFileClick() {
    if (log) {
        StopLog();
        return;
    }
    const bool bytes = settings.Text(LogTypeKey) == "bytes";
    platform::SaveDialogRequest request;
    request.Title = "Log to File";
    request.Folder = settings.Text(LogFolderKey);
    request.Name = NameForNow() + (bytes ? ".bin" : ".log");
    request.Types = {{"Text as shown", {"log", "txt"}}, {"Received bytes", {"bin"}}};
    request.TypeIndex = bytes ? 1 : 0;
    request.AskOverwrite = false;  // a log goes on at the end of a file it is given
    const platform::SaveDialogAnswer answer = platform::AskSaveFile(request);
    if (answer.Path.empty()) return;
    StartLog(answer.Path, answer.TypeIndex == 1 ? LogKind::Bytes : LogKind::Text);
    const char* type = logKind == LogKind::Bytes ? "bytes" : "text";
    if (settings.Text(LogTypeKey, "text") != type) settings.SetText(LogTypeKey, type);
    if (FolderOf(answer.Path) != request.Folder) settings.SetText(LogFolderKey, FolderOf(answer.Path));
}

void TMainForm::StartLog(const std::string& path, LogKind kind) {
    StartLog(platform::RecordFile::Open(path, platform::RecordFile::Start::Append), path, kind);
}

void TMainForm::StartLog(std::unique_ptr<platform::RecordFile> file, const std::string& path, LogKind kind) {
    StopLog();
    log = std::make_unique<platform::RecordWriter>(std::move(file), path);
    logKind = kind;
    logWatch.SetEnabled(true);
}

void TMainForm::StopLog() {
    logWatch.SetEnabled(false);
    log.reset();
}

void TMainForm::WatchLog() {
    const std::string failure = log ? log->Failure() : "";
    if (failure.empty()) return;
    const std::string path = log->Path();
    StopLog();
    throw std::runtime_error("Logging to " + path + " stopped: " + failure + ". What was logged until then stays in the file");
}

void TMainForm::MillisecondsClick() {
    milliseconds = !milliseconds;
    settings.SetFlag(MillisecondsKey, milliseconds);
}
