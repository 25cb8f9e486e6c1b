#include "ui/paced_sends.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "platform/window/application.h"
#include "ui/display.h"

namespace {

constexpr int WatchMs = 50;
constexpr auto ProgressAfter = std::chrono::seconds(1);

}  // namespace

PacedSends::PacedSends(TCom& port, Choices& choices, HistoryLines& history, const platform::Control& owner,
                       std::function<void()> showEarlier)
    : port(port), choices(choices), history(history), owner(owner), showEarlier(std::move(showEarlier)) {
    const std::vector<std::string> kept = {choices.Text(Choice::PaceChar), choices.Text(Choice::PaceLine),
                                           choices.Text(Choice::PaceReply), choices.Text(Choice::PaceTimeout)};
    const std::string refusal = PacingFromWords(kept, pacing);
    if (!refusal.empty()) platform::Diagnose("comterm: the kept send pacing is damaged (" + refusal + "); sends go unpaced");
    watch.SetEnabled(false);
    watch.SetInterval(WatchMs);
    watch.SetOnTimer([this] { Watch(); });
}

// Closing the window ends a send at once: the engine drops what the device holds, so its
// thread is joined within a piece's time, not the line's.
PacedSends::~PacedSends() {
    watch.SetEnabled(false);
    sender.reset();
}

std::vector<platform::MenuCommand> PacedSends::Commands() {
    platform::MenuCommand item{"Send &Pacing...", "", [this] { ShowBox(); }, [this] { return pacing.Any(); }};
    item.Does = "a delay after each character or line, or a reply to wait for, for slow devices";
    return {item};
}

void PacedSends::ShowBox() {
    using Kind = platform::FormField::Kind;
    const std::vector<std::string> words = WordsOfPacing(pacing);
    box = platform::ShowFormBox(owner, "Send Pacing",
                                {{"Delay after each &character (ms):", Kind::Text, {}, words[0]},
                                 {"Delay after each &line (ms):", Kind::Text, {}, words[1]},
                                 {"&Wait for a reply containing:", Kind::Text, {}, words[2]},
                                 {"&Up to (ms):", Kind::Text, {}, words[3]}});
    box->SetStatus("0 turns a delay off; an empty reply waits for nothing. Escapes such as \\r\\n are read in the reply.");
    box->SetOnAccept([this](const std::vector<ByteString>& values) { return Accept(values); });
}

ByteString PacedSends::Accept(const std::vector<ByteString>& values) {
    const std::string refusal = PacingFromWords({values.begin(), values.end()}, pacing);
    if (!refusal.empty()) return refusal;
    choices.SetText(Choice::PaceChar, std::to_string(pacing.CharDelayMs));
    choices.SetText(Choice::PaceLine, std::to_string(pacing.LineDelayMs));
    choices.SetText(Choice::PaceReply, pacing.ReplyText);
    choices.SetText(Choice::PaceTimeout, std::to_string(pacing.ReplyTimeoutMs));
    return "";
}

void PacedSends::SendLines(const std::vector<ByteString>& lines, const ByteString& end, bool echoLines) {
    if (echoLines)
        for (const ByteString& line : lines)
            if (!history.Fits(line)) throw std::runtime_error("RichEdit line insertion error");
    std::vector<ByteString> withEnds;
    for (const ByteString& line : lines) withEnds.push_back(line + end);
    lineEnd = end;
    echo = echoLines;
    lineCount = lines.size();
    Start(std::make_unique<SendEngine>(withEnds, pacing, SendTargetOf(port)), "");
}

void PacedSends::SendFile(const std::string& path) {
    auto paced = std::make_unique<SendEngine>(path, pacing, SendTargetOf(port));
    echo = false;
    lineEnd.clear();
    lineCount = 0;
    Start(std::move(paced), std::filesystem::path(path).filename().string());
}

void PacedSends::Start(std::unique_ptr<SendEngine> paced, const std::string& name) {
    sender = std::move(paced);
    fileName = name;
    started = std::chrono::steady_clock::now();
    watch.SetEnabled(true);
}

void PacedSends::Heard(const ByteString& bytes) {
    if (!sender) return;
    std::vector<ByteString> went = echo ? sender->TakeSent() : std::vector<ByteString>{};
    if (!went.empty() && showEarlier) showEarlier();
    Echo(went);
    sender->Heard(bytes);
}

void PacedSends::Watch() {
    if (!sender) return;
    Echo(sender->TakeSent());
    if (sender->Done()) {
        Finish(nullptr);
        return;
    }
    if (!progress && std::chrono::steady_clock::now() - started >= ProgressAfter) {
        progress = platform::ShowProgressBox(owner, fileName.empty() ? "Sending (paced)" : "Sending " + fileName + " (paced)");
        progress->SetOnCancel([this] { Finish("cancelled"); });
    }
    if (!progress) return;
    const std::string count = std::to_string(sender->LinesSent()) + (lineCount ? " of " + std::to_string(lineCount) : "") +
                              " lines, " + std::to_string(sender->BytesSent()) + " of " + std::to_string(sender->Total()) +
                              " bytes sent";
    progress->SetText(sender->Waiting() ? count + "; waiting for \"" + pacing.ReplyText + "\"" : count);
    progress->SetPercent(sender->Total() ? static_cast<int>(sender->BytesSent() * 100 / sender->Total()) : 100);
}

// The lines that went, each its own entry without its line end, as Enter echoes.
void PacedSends::Echo(const std::vector<ByteString>& lines) {
    if (!echo) return;
    for (ByteString line : lines) {
        if (line.size() >= lineEnd.size() && line.compare(line.size() - lineEnd.size(), lineEnd.size(), lineEnd) == 0)
            line.resize(line.size() - lineEnd.size());
        history.AddHistoryLine(line, SentColor);
    }
}

// One note however it ended: what was not sent, and why. The sender's thread is joined:
// a wait ends at the cancel, a write the device holds at the discard.
void PacedSends::Finish(const char* how) {
    if (!sender) return;
    watch.SetEnabled(false);
    progress.reset();
    std::unique_ptr<SendEngine> ended = std::move(sender);
    ended->Stop();
    const std::vector<ByteString> lastLines = ended->TakeSent();
    const std::string failure = ended->Failure();
    const uint64_t lines = ended->LinesSent(), bytes = ended->BytesSent(), total = ended->Total();
    ended.reset();
    const bool stoppedShort = fileName.empty() ? lines < lineCount : bytes < total;
    Echo(lastLines);
    const std::string notSent = fileName.empty() ? std::to_string(lineCount - std::min<uint64_t>(lines, lineCount)) + " lines not sent"
                                                 : std::to_string(total - bytes) + " bytes not sent";
    if (!failure.empty())
        history.AddNote(failure + "; " + notSent);
    else if (stoppedShort && how)
        history.AddNote(std::string("Paced send ") + how + " after " + std::to_string(lines) + " lines; " + notSent);
    else if (!fileName.empty())
        history.AddNote("Sent file " + fileName + ": " + std::to_string(bytes) + " bytes", SentColor);
}

void PacedSends::End() { Finish("ended as the port closed"); }
