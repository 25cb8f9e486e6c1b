#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/byte_string.h"
#include "platform/window/window.h"
#include "serial/com.h"

class TMainForm;
class Choices;
class HistoryRecord;
class PortSession;
class LineSender;
class LineSetup;
class ClearedHistory;
class EntryLayout;
class QuickSends;
class PacedSends;

// What goes beyond the window: one object a feature, each owning its state and its menu
// table, made and wired together here. Their items go into the window's two context
// menus (and on Windows its system menu); the window's commands and the port tell them
// what happens through the calls below, so the window itself only wires.
class FormFeatures {
public:
    // digitGroup: how the locale groups the digits of a count.
    FormFeatures(TMainForm& form, TCom& port, platform::Window& window, const ByteString& digitGroup);
    ~FormFeatures();
    FormFeatures(const FormFeatures&) = delete;
    FormFeatures& operator=(const FormFeatures&) = delete;

    HistoryRecord& Record() { return *record; }
    PortSession& Session() { return *session; }
    LineSender& Sender() { return *sender; }
    LineSetup& Line() { return *lineSetup; }
    ClearedHistory& Cleared() { return *cleared; }
    EntryLayout& Layout() { return *layout; }
    QuickSends& Quick() { return *quick; }
    PacedSends& Paced() { return *paced; }

    // Connect's sequence is the session's; once it has connected, the entries start anew.
    void Connected();
    void Disconnected();  // and what was on its way ends
    void BeforeClear();   // Clear History: what it removes can be undone
    void AfterClear();
    // A received text, as it comes: the log has it whole, a paced send its reply.
    void Received(const ByteString& text);

private:
    void MakeMenus(platform::Window& window);
    void ShowKeysAndMenus();  // F1
    unsigned PortInField() const;

    TMainForm& form;
    TCom& port;
    std::unique_ptr<Choices> choices;
    std::unique_ptr<HistoryRecord> record;
    std::unique_ptr<PortSession> session;
    std::unique_ptr<LineSender> sender;
    std::unique_ptr<LineSetup> lineSetup;
    std::unique_ptr<ClearedHistory> cleared;
    std::unique_ptr<EntryLayout> layout;
    std::unique_ptr<PacedSends> paced;
    std::unique_ptr<QuickSends> quick;
};
