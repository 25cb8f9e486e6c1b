#pragma once
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/byte_string.h"
#include "platform/window/controls.h"
#include "platform/window/menu.h"
#include "platform/window/periodic_timer.h"
#include "platform/window/progress_box.h"
#include "serial/com.h"
#include "ui/choices.h"
#include "ui/history_lines.h"
#include "ui/recall.h"

class SendEngine;

// What goes to the device from the input line: the line end, escapes, recall of lines
// sent before, and Send File with its progress box.
class PacedSends;

class LineSender {
public:
    enum class LineEnd { CR, LF, CRLF, None };

    // input: the line typed in, whose menu and Up and Down keys this takes.
    LineSender(TCom& port, platform::Edit& input, Choices& choices, HistoryLines& history);
    ~LineSender();

    // The input line's menu.
    std::vector<platform::MenuCommand> Commands();

    // Echoes and sends a typed line with the line end, and keeps it for recall. A
    // malformed escape stops it: nothing echoed, nothing sent. A text of several lines (a
    // paste) goes as one line each, each with the line end and its own echo; with send
    // pacing chosen, paced. Recall keeps it as one.
    void SendLine(const ByteString& typed);
    // Where paced sends go: lines and files while pacing is chosen.
    void SetPacing(PacedSends* sends) { paced = sends; }

    void SetLineEnd(LineEnd end);
    LineEnd CurrentLineEnd() const { return lineEnd; }
    void InterpretEscapesClick();
    // Unchecked, lines sent are not echoed, for devices that echo what they receive.
    void EchoClick();
    bool Echo() const { return echo; }
    bool InterpretingEscapes() const { return interpretEscapes; }
    void RecallKey(bool older);  // Up and Down in the input line
    const std::vector<ByteString>& SentLines() const { return recall.Lines(); }

    // Send File: the file's bytes go to the device unchanged while the window goes on.
    void SendFileClick();                    // asks which file, then sends it
    void SendFile(const std::string& path);  // throws when it cannot be read
    bool SendingFile() const { return sender != nullptr; }
    platform::ProgressBox* SendProgress() const { return progress.get(); }
    // Counts in the progress box are written with the locale's digit grouping.
    void SetDigitGroupSeparator(ByteString separator) { digitGroup = std::move(separator); }
    // The port is closing or gone: a file on its way ends, and says how far it got; typed
    // lines still going end too.
    void EndSend();

private:
    ByteString LineEndBytes() const;
    void HandOver(const ByteString& line);
    void RememberSent(const ByteString& line);
    void WatchSend();
    // Ends a file being sent and says how it went.
    void FinishSend(bool waitForPiece);

    TCom& port;
    platform::Edit& input;
    Choices& choices;
    HistoryLines& history;
    LineEnd lineEnd = LineEnd::CR;
    bool interpretEscapes;
    bool echo;
    LineRecall recall;
    std::unique_ptr<SendEngine> sender;
    std::unique_ptr<SendEngine> finishing;  // cancelled, its last piece on its way
    std::unique_ptr<SendEngine> typed;      // lines typed while no file goes
    std::string sendingName;
    std::unique_ptr<platform::ProgressBox> progress;
    ByteString digitGroup;
    PacedSends* paced = nullptr;
    std::chrono::steady_clock::time_point sendStart;
    platform::PeriodicTimer sendWatch;
};
