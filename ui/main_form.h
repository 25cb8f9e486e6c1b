#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/byte_string.h"
#include "platform/controls.h"
#include "platform/find_box.h"
#include "platform/history_pane.h"
#include "platform/locale.h"
#include "platform/periodic_timer.h"
#include "platform/progress_box.h"
#include "platform/record_file.h"
#include "platform/settings.h"
#include "platform/window.h"
#include "serial/com.h"
#include "ui/display.h"

// The terminal's only window: port settings, display format, the history of sent and
// received texts, and the input line.
class TMainForm : public TComSettings {
public:
    // A received text makes room for itself by removing the oldest lines, and always
    // leaves this much of the history free, so a typed line of ordinary length fits.
    static constexpr int FreeAfterReceiving = platform::HistoryPane::Capacity / 4;

    // openPort: how the port is opened (the system's serial ports unless given).
    explicit TMainForm(TCom::TPortOpener openPort = {});
    ~TMainForm() override;

    void Show() { window->Show(); }
    platform::Window& Window() { return *window; }

    // Appends Text as one time-stamped history line in Color, in the display format
    // selected now; raises "RichEdit line insertion error" when the history is full.
    // A received text first removes the oldest lines to keep a quarter of the history free.
    void AddHistoryLine(const ByteString& Text, TColor Color);
    void ComReceive(const ByteString& Text);
    // The port's receiver: each text becomes its own entry, stamped and formatted as it
    // comes, and the entries of one tick are shown together when it ends. Those that the
    // newer ones would push straight out again go only to the text log, if any.
    void GatherReceived(const ByteString& Text);
    void ShowGathered();

    // The terminal commands.
    void ConnectClick();
    void DisconnectClick();
    void LineEditKeyPress(char& Key);
    void Button1Click();

    // The history's menu: find, save, log, millisecond stamps.
    void FindClick();               // the find box, with the last find
    void FindAgain(bool forward);   // the last find again, or the find box for a first
    void Find(const platform::FindRequest& request);
    void SaveHistoryClick();        // asks where, then saves
    void SaveHistory(const std::string& path);  // as text, or as a web page for .html
    enum class LogKind { Text, Bytes };
    void LogToFileClick();          // asks where and starts logging, or stops it
    // From now on every entry (Text) or every received byte (Bytes) is appended to the
    // file; throws, logging nothing, when it cannot be opened.
    void StartLog(const std::string& path, LogKind kind);
    void StartLog(std::unique_ptr<platform::RecordFile> file, const std::string& path, LogKind kind);
    void StopLog();
    bool Logging() const { return log != nullptr; }
    void MillisecondsClick();
    bool Milliseconds() const { return milliseconds; }
    platform::FindBox* FindBoxShown() const { return findBox.get(); }

    // Talking to the device: the input line's menu, recall, and the Port menu.
    enum class LineEnd { CR, LF, CRLF, None };
    void SetLineEnd(LineEnd end);
    LineEnd CurrentLineEnd() const { return lineEnd; }
    void InterpretEscapesClick();
    bool InterpretingEscapes() const { return interpretEscapes; }
    void RecallKey(bool older);  // Up and Down in the input line
    const std::vector<ByteString>& SentLines() const;
    void DtrClick();
    void RtsClick();
    bool DtrOn() const;
    bool RtsOn() const;
    void LowAtConnectClick();
    void SendBreakClick();
    ByteString ModemLinesText();
    void ReconnectClick();
    bool Reconnecting() const { return reconnectTimer.Enabled(); }
    // Send File: the file's bytes go to the device unchanged while the window goes on.
    void SendFileClick();                       // asks which file, then sends it
    void SendFile(const std::string& path);     // throws when it cannot be read
    bool SendingFile() const { return sender != nullptr; }
    platform::ProgressBox* SendProgress() const { return progress.get(); }
    // A grey, stamped note of comterm's own in the history (and the text log).
    void AddNote(const ByteString& Text);

    bool TwoStopBitsChecked() const override;
    int FormatIndex() const override;

    platform::Label* Label1;
    platform::Label* Label2;
    platform::Edit* LineEdit;
    platform::HistoryPane* MainRich;
    platform::Edit* PortEdit;
    platform::DropDownList* BaudCombo;
    platform::Button* ConnectButton;
    platform::RadioGroup* FormatRadios;
    platform::Button* Button1;
    platform::CheckBox* TwoStopBits;

private:
    void FormCreate();
    // The ports present, after why the last Connect failed where it did.
    std::string PresentPortsText() const;
    void AddLine(const ByteString& Text, TColor Color, int keepFree);
    // Adds a line built already, and logs it.
    void AddShownLine(const ByteString& line, TColor Color, int keepFree);
    // afterPassedOver: entries were passed over before these (logged from passedOverLines
    // when logging text), so nothing older stays in the history.
    void AddShownLines(const std::vector<ByteString>& lines, TColor Color, int keepFree, bool afterPassedOver = false,
                       const std::vector<ByteString>& passedOverLines = {});
    size_t FirstGatheredThatStays() const;
    ByteString Stamp() const;  // for a line added now
    void ConnectButtonClick();  // Connect or Disconnect, by the button's state
    void MakeHistoryMenu();
    void MakeTalkMenus();
    std::vector<platform::MenuCommand> PortCommands();
    void ApplyModemLines(bool atConnect);
    void PortLost();
    void TryReconnect();
    ByteString LineEndBytes() const;
    void RememberSent(const ByteString& line);
    void WatchSend();
    // Ends a file being sent and says how it went.
    void FinishSend(bool waitForPiece);
    platform::FindBox& ShownFindBox();
    // A log that failed ends with one box, whatever the number of entries it refused.
    void WatchLog();

    std::unique_ptr<platform::Window> window;
    bool connected = false;
    std::string lastConnectFailure;
    platform::LocaleTimeSettings localeTime;
    TCom::TPortOpener portOpener;  // empty: the system's
    std::unique_ptr<TCom> com;
    struct GatheredText {
        ByteString text, stamp;
        int format;
        ByteString Line() const { return BuildHistoryLine(text, format, stamp); }
    };
    std::vector<GatheredText> gathered;  // received entries not yet shown
    platform::Settings settings;
    bool milliseconds = false;
    std::unique_ptr<platform::FindBox> findBox;
    std::unique_ptr<platform::RecordWriter> log;
    LogKind logKind = LogKind::Text;
    platform::PeriodicTimer logWatch;
    LineEnd lineEnd = LineEnd::CR;
    bool interpretEscapes = false;
    std::unique_ptr<class LineRecall> recall;
    bool dtrChoice = true, rtsChoice = true, lowAtConnect = false, reconnect = false;
    bool lineDtr = true, lineRts = true;  // as the lines stand while connected
    uint8_t connectedPort = 0;
    int32_t connectedBaud = 0;            // 0: none chosen
    std::string lastReconnectFailure;
    platform::PeriodicTimer reconnectTimer;
    std::unique_ptr<class FileSender> sender;
    std::unique_ptr<class FileSender> finishing;  // cancelled, its last piece on its way
    std::string sendingName;
    std::unique_ptr<platform::ProgressBox> progress;
    std::chrono::steady_clock::time_point sendStart;
    platform::PeriodicTimer sendWatch;
};

extern TMainForm* MainForm;
extern TCom* ComPort;
