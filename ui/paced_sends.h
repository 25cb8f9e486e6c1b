#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/byte_string.h"
#include "platform/window/controls.h"
#include "platform/window/form_box.h"
#include "platform/window/menu.h"
#include "platform/window/periodic_timer.h"
#include "platform/window/progress_box.h"
#include "serial/com.h"
#include "ui/choices.h"
#include "ui/history_lines.h"
#include "ui/send_engine.h"
#include "ui/pacing.h"

// Send Pacing: the input line's choice of delays and a reply to wait for, kept, and the
// paced sends it makes of lines and files. A send that takes longer than a second shows
// the progress box, whose Cancel ends it at once; a reply that does not come ends it with
// one note. The window goes on meanwhile.
class PacedSends {
public:
    // showEarlier: shows what the device sent before, so that an echo goes below it.
    PacedSends(TCom& port, Choices& choices, HistoryLines& history, const platform::Control& owner,
               std::function<void()> showEarlier = {});
    ~PacedSends();

    std::vector<platform::MenuCommand> Commands();
    const Pacing& Current() const { return pacing; }
    void ShowBox();
    platform::FormBox* Box() { return box.get(); }

    bool Busy() const { return sender != nullptr; }
    // Lines, each followed by lineEnd; echoed (without it) as each starts to go when echo
    // is on. When the history would refuse one's echo, nothing is sent: throws "RichEdit
    // line insertion error" as Enter does.
    void SendLines(const std::vector<ByteString>& lines, const ByteString& lineEnd, bool echo);
    // A file line by line, each with its own line end; throws when it cannot be read.
    void SendFile(const std::string& path);
    // What the device sent, for a reply being waited on. The echoes of lines that went
    // before it are shown first: a line's echo always stands above the reply to it.
    void Heard(const ByteString& bytes);
    // The port is closing or gone: a send under way ends, and says what was not sent.
    void End();
    platform::ProgressBox* Progress() const { return progress.get(); }

private:
    ByteString Accept(const std::vector<ByteString>& values);
    void Start(std::unique_ptr<SendEngine> paced, const std::string& name);
    void Watch();
    void Echo(const std::vector<ByteString>& lines);
    void Finish(const char* how);

    TCom& port;
    Choices& choices;
    HistoryLines& history;
    const platform::Control& owner;
    std::function<void()> showEarlier;
    Pacing pacing;
    std::unique_ptr<platform::FormBox> box;
    std::unique_ptr<SendEngine> sender;
    ByteString lineEnd;
    bool echo = false;
    std::string fileName;  // "" for lines
    size_t lineCount = 0;  // of a list of lines
    std::chrono::steady_clock::time_point started;
    std::unique_ptr<platform::ProgressBox> progress;
    platform::PeriodicTimer watch;
};
