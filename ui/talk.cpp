// Talking to the device its way: the input line's menu (line end, escapes), recall of
// sent lines, the Port menu (DTR, RTS, break, modem lines, reconnecting), and what
// happens when the port goes away and comes back.
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/file_dialog.h"
#include "platform/serial_device.h"
#include "ui/file_sender.h"
#include "ui/main_form.h"
#include "ui/recall.h"

namespace {

// The settings file's keys.
const char* const LineEndKey = "LineEnd";  // CR, LF, CRLF or None
const char* const EscapesKey = "InterpretEscapes";
const char* const SentKeyPrefix = "Sent";  // Sent1 (newest) .. Sent100
const char* const DtrKey = "DTR";          // on unless "0"
const char* const RtsKey = "RTS";
const char* const LowAtConnectKey = "LowAtConnect";
const char* const ReconnectKey = "Reconnect";

constexpr int BreakMs = 250;
constexpr int ReconnectCheckMs = 300;
constexpr int SendWatchMs = 100;
const char* const SendFolderKey = "SendFolder";

struct LineEndName {
    TMainForm::LineEnd end;
    const char* key;
    const char* caption;
    const char* bytes;
};
const LineEndName LineEnds[] = {
    {TMainForm::LineEnd::CR, "CR", "&CR", "\r"},
    {TMainForm::LineEnd::LF, "LF", "&LF", "\n"},
    {TMainForm::LineEnd::CRLF, "CRLF", "CR L&F", "\r\n"},
    {TMainForm::LineEnd::None, "None", "&None", ""},
};

const LineEndName& NameOf(TMainForm::LineEnd end) {
    for (const LineEndName& name : LineEnds)
        if (name.end == end) return name;
    return LineEnds[0];
}

ByteString PortName(uint8_t port) { return "port " + std::to_string(port); }

}  // namespace

void TMainForm::MakeTalkMenus() {
    for (const LineEndName& name : LineEnds)
        if (settings.Text(LineEndKey, "CR") == name.key) lineEnd = name.end;
    interpretEscapes = settings.Flag(EscapesKey);
    std::vector<ByteString> sent;
    for (size_t i = 1; i <= LineRecall::Capacity; ++i) {
        const std::string line = settings.Text(SentKeyPrefix + std::to_string(i));
        if (line.empty()) break;
        sent.push_back(line);
    }
    recall = std::make_unique<LineRecall>(sent);
    dtrChoice = settings.Text(DtrKey, "1") != "0";
    rtsChoice = settings.Text(RtsKey, "1") != "0";
    lowAtConnect = com->ModemLinesLowAtOpen = settings.Flag(LowAtConnectKey);
    reconnect = settings.Flag(ReconnectKey);
    reconnectTimer.SetEnabled(false);
    reconnectTimer.SetInterval(ReconnectCheckMs);
    reconnectTimer.SetOnTimer([this] { TryReconnect(); });
    com->OnLost = [this] { PortLost(); };

    std::vector<platform::MenuCommand> ends;
    for (const LineEndName& name : LineEnds) {
        const LineEnd end = name.end;
        ends.push_back({name.caption, "", [this, end] { SetLineEnd(end); }, [this, end] { return lineEnd == end; }});
    }
    LineEdit->SetContextCommands({
        {"Line &End", "", {}, {}, ends},
        {"Interpret &Escapes", "", [this] { InterpretEscapesClick(); }, [this] { return interpretEscapes; }},
        {"Send &File...", "", [this] { SendFileClick(); }, {}},
    });
    sendWatch.SetEnabled(false);
    sendWatch.SetInterval(SendWatchMs);
    sendWatch.SetOnTimer([this] { WatchSend(); });
    LineEdit->SetOnRecallKey([this](bool older) { RecallKey(older); });
}

std::vector<platform::MenuCommand> TMainForm::PortCommands() {
    return {
        {"&DTR", "", [this] { DtrClick(); }, [this] { return DtrOn(); }},
        {"&RTS", "", [this] { RtsClick(); }, [this] { return RtsOn(); }},
        {"DTR and RTS &Low at Connect", "", [this] { LowAtConnectClick(); }, [this] { return lowAtConnect; }},
        {"Send &Break", "", [this] { SendBreakClick(); }, {}},
        {"", "", {}, {}, {}, [this] { return ModemLinesText(); }},
        {"Reconnect &Automatically", "", [this] { ReconnectClick(); }, [this] { return reconnect; }},
    };
}

ByteString TMainForm::LineEndBytes() const { return NameOf(lineEnd).bytes; }

void TMainForm::SetLineEnd(LineEnd end) {
    lineEnd = end;
    settings.SetText(LineEndKey, NameOf(end).key);
}

void TMainForm::InterpretEscapesClick() {
    interpretEscapes = !interpretEscapes;
    settings.SetFlag(EscapesKey, interpretEscapes);
}

const std::vector<ByteString>& TMainForm::SentLines() const { return recall->Lines(); }

void TMainForm::RememberSent(const ByteString& line) {
    const std::vector<ByteString> before = recall->Lines();
    recall->Sent(line);
    if (recall->Lines() == before) return;
    std::vector<std::pair<std::string, std::string>> changes;
    for (size_t i = 0; i < LineRecall::Capacity; ++i)
        changes.emplace_back(SentKeyPrefix + std::to_string(i + 1), i < recall->Lines().size() ? recall->Lines()[i] : "");
    settings.SetTexts(changes);
}

void TMainForm::RecallKey(bool older) {
    const std::optional<ByteString> line = older ? recall->Older(LineEdit->Text()) : recall->Newer();
    if (line) LineEdit->SetText(*line);
}

// While connected the marks show the lines as they stand; otherwise what Connect will do.
bool TMainForm::DtrOn() const { return connected ? lineDtr : dtrChoice && !lowAtConnect; }
bool TMainForm::RtsOn() const { return connected ? lineRts : rtsChoice && !lowAtConnect; }

void TMainForm::DtrClick() {
    dtrChoice = lineDtr = !DtrOn();
    settings.SetFlag(DtrKey, dtrChoice);
    ApplyModemLines(false);
}

void TMainForm::RtsClick() {
    rtsChoice = lineRts = !RtsOn();
    settings.SetFlag(RtsKey, rtsChoice);
    ApplyModemLines(false);
}

// A port opens with both lines raised: at Connect only a choice otherwise asks anything
// of it.
void TMainForm::ApplyModemLines(bool atConnect) {
    if (!ComPort->IsOpen() || (atConnect && lineDtr && lineRts && !lowAtConnect)) return;
    if (!ComPort->SetModemControl(lineDtr, lineRts)) AddNote(PortName(connectedPort) + " cannot set DTR and RTS");
}

void TMainForm::LowAtConnectClick() {
    lowAtConnect = com->ModemLinesLowAtOpen = !lowAtConnect;
    settings.SetFlag(LowAtConnectKey, lowAtConnect);
}

void TMainForm::SendBreakClick() {
    if (!ComPort->IsOpen()) return;
    if (!ComPort->SendBreak(BreakMs)) throw std::runtime_error("This device cannot send a break");
}

ByteString TMainForm::ModemLinesText() {
    if (!ComPort->IsOpen()) return "Modem lines: not connected";
    platform::SerialDevice::ModemStatus status;
    if (!ComPort->GetModemStatus(status)) return "Modem lines: not available on this device";
    auto line = [](const char* name, bool on) { return ByteString(name) + (on ? " on" : " off"); };
    return line("CTS", status.cts) + "  " + line("DSR", status.dsr) + "  " + line("CD", status.cd) + "  " +
           line("RI", status.ri);
}

void TMainForm::ReconnectClick() {
    reconnect = !reconnect;
    settings.SetFlag(ReconnectKey, reconnect);
    if (!reconnect) reconnectTimer.SetEnabled(false);
}

void TMainForm::AddNote(const ByteString& Text) { AddShownLine(Stamp() + ' ' + Text, NoteColor, FreeAfterReceiving); }

// Without reconnecting the port stays open and deaf, as a stalled port always has; with
// it, the dead device is let go, so that the same number can be opened when it is back.
void TMainForm::PortLost() {
    FinishSend(true);
    AddNote(PortName(connectedPort) + " lost: the device went away");
    if (!reconnect || !connected) return;
    ComPort->Close();
    lastReconnectFailure.clear();
    reconnectTimer.SetEnabled(true);
}

// Disconnect, and turning reconnecting off, stop the timer that calls this.
void TMainForm::TryReconnect() {
    if (!platform::PortPresent(connectedPort)) return;
    if (!ComPort->Open(connectedPort)) {
        const std::string failure = platform::LastOpenFailure();
        if (failure != lastReconnectFailure) AddNote(PortName(connectedPort) + " is back but cannot be opened: " + failure);
        lastReconnectFailure = failure;
        return;
    }
    reconnectTimer.SetEnabled(false);
    if (connectedBaud) ComPort->SetBaud(connectedBaud);
    ApplyModemLines(true);
    AddNote(PortName(connectedPort) + " back");
}

void TMainForm::SendFileClick() {
    if (!ComPort->IsOpen()) throw std::runtime_error("Connect first: a file goes to the connected device");
    if (sender) return;
    const std::string path = platform::AskOpenFile("Send File", settings.Text(SendFolderKey));
    if (path.empty()) return;
    SendFile(path);
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (folder != settings.Text(SendFolderKey)) settings.SetText(SendFolderKey, folder);
}

void TMainForm::SendFile(const std::string& path) {
    if (sender || !ComPort->IsOpen()) return;
    FinishSend(true);  // a cancelled file's last piece
    TCom* port = com.get();
    sender = std::make_unique<FileSender>(path, PieceSizeFor(port->LineState().BaudRate),
                                          [port](const ByteString& piece) { return port->SendBytesFromAnyThread(piece); });
    sendingName = std::filesystem::path(path).filename().string();
    sendStart = std::chrono::steady_clock::now();
    progress = platform::ShowProgressBox(*LineEdit, "Sending " + sendingName);
    // What the driver still holds goes too, so the line falls quiet at once.
    progress->SetOnCancel([this] {
        if (!sender) return;
        sender->Cancel();
        ComPort->DiscardPendingOutput();
        FinishSend(false);
    });
    WatchSend();
    sendWatch.SetEnabled(true);
}

void TMainForm::WatchSend() {
    if (!sender) return;
    if (sender->Done()) {
        FinishSend(true);
        return;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - sendStart).count();
    const uint64_t sent = sender->Sent(), total = sender->Total();
    const uint64_t rate = seconds > 0 ? static_cast<uint64_t>(static_cast<double>(sent) / seconds) : 0;
    progress->SetText(std::to_string(sent) + " of " + std::to_string(total) + " bytes sent, " + std::to_string(rate / 1000) +
                      " kB/s");
    progress->SetPercent(total ? static_cast<int>(sent * 100 / total) : 100);
}

// Said once, in the sent colour, however the send ended. A cancel does not wait for the
// piece on its way (a tenth of a second of the line at most): its thread is let finish,
// and joined by the next call that waits, before the port closes or the next file starts.
void TMainForm::FinishSend(bool waitForPiece) {
    if (waitForPiece) finishing.reset();
    if (!sender) return;
    sendWatch.SetEnabled(false);
    progress.reset();
    sender->Cancel();  // a send cut short by Disconnect or a lost port
    if (waitForPiece) sender->Stop();
    const bool whole = sender->Done() && sender->Sent() == sender->Total() && sender->Failure().empty();
    const std::string sent = std::to_string(sender->Sent()), total = std::to_string(sender->Total());
    const std::string failure = sender->Failure();
    finishing = std::move(sender);
    if (waitForPiece) finishing.reset();
    ByteString said = "Sent file " + sendingName + ": " + sent + " bytes";
    if (!failure.empty())
        said = "Sending file " + sendingName + " stopped after " + sent + " of " + total + " bytes: " + failure;
    else if (!whole)
        said = "Sending file " + sendingName + " cancelled after " + sent + " of " + total + " bytes";
    AddShownLine(Stamp() + ' ' + said, SentColor, FreeAfterReceiving);
}
