// Sending the input line the device's way (line end, escapes), recall of sent lines, and
// Send File.
#include "ui/line_sender.h"

#include "platform/window/locale.h"

#include <filesystem>
#include <stdexcept>

#include "platform/window/file_dialog.h"
#include "ui/escapes.h"
#include "ui/send_engine.h"
#include "ui/paced_sends.h"

namespace {

constexpr int SendWatchMs = 100;

struct LineEndName {
    LineSender::LineEnd end;
    const char* key;
    const char* caption;
    const char* bytes;
};
const LineEndName LineEnds[] = {
    {LineSender::LineEnd::CR, "CR", "&CR", "\r"},
    {LineSender::LineEnd::LF, "LF", "&LF", "\n"},
    {LineSender::LineEnd::CRLF, "CRLF", "CR L&F", "\r\n"},
    {LineSender::LineEnd::None, "None", "&None", ""},
};

const LineEndName& NameOf(LineSender::LineEnd end) {
    for (const LineEndName& name : LineEnds)
        if (name.end == end) return name;
    return LineEnds[0];
}

std::vector<ByteString> KeptLines(const Choices& choices) {
    const std::vector<std::string> kept = choices.List(Choice::SentLines);
    return {kept.begin(), kept.end()};
}

}  // namespace

LineSender::LineSender(TCom& port, platform::Edit& input, Choices& choices, HistoryLines& history)
    : port(port),
      input(input),
      choices(choices),
      history(history),
      interpretEscapes(choices.Flag(Choice::InterpretEscapes)),
      echo(choices.Flag(Choice::EchoSent)),
      recall(KeptLines(choices)) {
    for (const LineEndName& name : LineEnds)
        if (choices.Text(Choice::LineEnd) == name.key) lineEnd = name.end;
    sendWatch.SetEnabled(false);
    sendWatch.SetInterval(SendWatchMs);
    sendWatch.SetOnTimer([this] { WatchSend(); });
    input.SetOnRecallKey([this](bool older) { RecallKey(older); });
}

LineSender::~LineSender() {
    sendWatch.SetEnabled(false);
    input.SetOnRecallKey(nullptr);
    // Before the port they write to; each stops at once, dropping what the device holds.
    sender.reset();
    finishing.reset();
    typed.reset();
}

std::vector<platform::MenuCommand> LineSender::Commands() {
    using platform::Described;
    std::vector<platform::MenuCommand> ends;
    for (const LineEndName& name : LineEnds) {
        const LineEnd end = name.end;
        ends.push_back({name.caption, "", [this, end] { SetLineEnd(end); }, [this, end] { return lineEnd == end; }, {}, {}, true});
    }
    return {
        Described({"Line &End", "", {}, {}, ends}, "what Enter sends after the line: CR, LF, CR LF or nothing"),
        Described({"Interpret &Escapes", "", [this] { InterpretEscapesClick(); }, [this] { return interpretEscapes; }},
                  "\\r \\n \\t \\0 \\\\ and \\xHH in a line become those bytes"),
        Described({"E&cho Sent Lines", "", [this] { EchoClick(); }, [this] { return echo; }},
                  "sent lines in blue in the history; off for a device that echoes them itself"),
        Described({"Send &File...", "", [this] { SendFileClick(); }, {}}, "a file's bytes to the device, unchanged"),
    };
}

namespace {

// A paste's lines, split at CR LF, LF or CR.
std::vector<ByteString> LinesOf(const ByteString& text) {
    std::vector<ByteString> lines{""};
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '\r' && text[at] != '\n') {
            lines.back() += text[at];
            continue;
        }
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
        lines.emplace_back();
    }
    if (lines.size() > 1 && lines.back().empty()) lines.pop_back();  // a paste that ends with its line break
    return lines;
}

}  // namespace

void LineSender::SendLine(const ByteString& typed) {
    std::vector<ByteString> lines;
    for (const ByteString& line : LinesOf(typed)) lines.push_back(interpretEscapes ? InterpretEscapes(line) : line);
    if (paced && paced->Busy()) {
        history.AddNote("a paced send is under way: this line is not sent (Cancel in its box ends it)");
        return;
    }
    if (paced && paced->Current().Any() && port.IsOpen()) {
        paced->SendLines(lines, LineEndBytes(), echo);
    } else {
        // The bytes are handed over before the echo is laid out, so the device has them
        // at once; a line whose echo the history would refuse is not sent.
        for (const ByteString& bytes : lines) {
            if (echo && !history.Fits(bytes)) throw std::runtime_error("RichEdit line insertion error");
            HandOver(bytes + LineEndBytes());
            if (echo) history.AddHistoryLine(bytes, SentColor);
        }
    }
    RememberSent(typed);
}

// A typed line goes through a send engine like everything else, and Enter never waits
// on the device: between two pieces of a file on its way, after the typed lines still
// going, or on an engine of its own.
void LineSender::HandOver(const ByteString& line) {
    if (!port.IsOpen()) return;
    for (SendEngine* going : {sender.get(), typed.get()})
        if (going && going->SendBetweenPieces(line)) return;
    typed = std::make_unique<SendEngine>(std::vector<ByteString>{line}, Pacing{}, SendTargetOf(port));
}

void LineSender::EndSend() {
    FinishSend(true);
    typed.reset();
}

ByteString LineSender::LineEndBytes() const { return NameOf(lineEnd).bytes; }

void LineSender::SetLineEnd(LineEnd end) {
    lineEnd = end;
    choices.SetText(Choice::LineEnd, NameOf(end).key);
}

void LineSender::InterpretEscapesClick() {
    interpretEscapes = !interpretEscapes;
    choices.SetFlag(Choice::InterpretEscapes, interpretEscapes);
}

void LineSender::EchoClick() {
    echo = !echo;
    choices.SetFlag(Choice::EchoSent, echo);
}

void LineSender::RememberSent(const ByteString& line) {
    const std::vector<ByteString> before = recall.Lines();
    recall.Sent(line);
    if (recall.Lines() != before) choices.PutFirst(Choice::SentLines, line);
}

void LineSender::RecallKey(bool older) {
    const std::optional<ByteString> line = older ? recall.Older(input.Text()) : recall.Newer();
    if (line) input.SetText(*line);
}

void LineSender::SendFileClick() {
    if (!port.IsOpen()) throw std::runtime_error("Connect first: a file goes to the connected device");
    if (sender || (paced && paced->Busy())) {
        history.AddNote(sender ? "a file is on its way (" + sendingName + "): one at a time; Cancel in its box ends it"
                               : "a paced send is under way: one send at a time; Cancel in its box ends it");
        return;
    }
    const std::string path = platform::AskOpenFile("Send File", choices.Text(Choice::SendFolder));
    if (path.empty()) return;
    SendFile(path);
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (folder != choices.Text(Choice::SendFolder)) choices.SetText(Choice::SendFolder, folder);
}

void LineSender::SendFile(const std::string& path) {
    if (sender || !port.IsOpen()) return;
    if (paced && paced->Busy()) {
        history.AddNote("a paced send is under way: " + std::filesystem::path(path).filename().string() +
                        " is not sent (Cancel in its box ends it)");
        return;
    }
    if (paced && paced->Current().Any()) {
        paced->SendFile(path);
        return;
    }
    FinishSend(true);  // a cancelled file's last piece
    sender = std::make_unique<SendEngine>(path, Pacing{}, SendTargetOf(port));
    sendingName = std::filesystem::path(path).filename().string();
    sendStart = std::chrono::steady_clock::now();
    progress = platform::ShowProgressBox(input, "Sending " + sendingName);
    // What the driver still holds goes too, so the line falls quiet at once.
    progress->SetOnCancel([this] {
        if (!sender) return;
        sender->Stop(false);
        FinishSend(false);
    });
    WatchSend();
    sendWatch.SetEnabled(true);
}

void LineSender::WatchSend() {
    if (!sender) return;
    if (sender->Done()) {
        FinishSend(true);
        return;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - sendStart).count();
    const uint64_t sent = sender->BytesSent(), total = sender->Total();
    const uint64_t rate = seconds > 0 ? static_cast<uint64_t>(static_cast<double>(sent) / seconds) : 0;
    progress->SetText(platform::GroupDigits(sent, digitGroup) + " of " + platform::GroupDigits(total, digitGroup) +
                      " bytes sent, " + platform::GroupDigits(rate / 1000, digitGroup) + " kB/s");
    progress->SetPercent(total ? static_cast<int>(sent * 100 / total) : 100);
}

// Said once, in the sent colour, however the send ended. A cancel does not wait for the
// piece on its way (40 ms of the line at most): its thread is let finish,
// and joined by the next call that waits, before the port closes or the next file starts.
void LineSender::FinishSend(bool waitForPiece) {
    if (waitForPiece) finishing.reset();
    if (!sender) return;
    sendWatch.SetEnabled(false);
    progress.reset();
    sender->Stop(waitForPiece);  // a send cut short by Disconnect or a lost port; a held piece ends at once
    const bool whole = sender->Done() && sender->BytesSent() == sender->Total() && sender->Failure().empty();
    const std::string sent = std::to_string(sender->BytesSent()), total = std::to_string(sender->Total());
    const std::string failure = sender->Failure();
    finishing = std::move(sender);
    if (waitForPiece) finishing.reset();
    ByteString said = "Sent file " + sendingName + ": " + sent + " bytes";
    if (!failure.empty())
        said = "Sending file " + sendingName + " stopped after " + sent + " of " + total + " bytes: " + failure;
    else if (!whole)
        said = "Sending file " + sendingName + " cancelled after " + sent + " of " + total + " bytes";
    history.AddNote(said, SentColor);
}
