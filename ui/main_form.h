#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/byte_string.h"
#include "platform/controls.h"
#include "platform/find_box.h"
#include "platform/history_pane.h"
#include "platform/locale.h"
#include "platform/periodic_timer.h"
#include "platform/record_file.h"
#include "platform/settings.h"
#include "platform/window.h"
#include "serial/com.h"
#include "ui/display.h"


// The terminal's only window: port settings, display format, the history of sent and
// received texts, and the input line.
class TMainForm : public TComSettings {
public:
    TMainForm();
    ~TMainForm() override;

    void Show() { window->Show(); }
    platform::Window& Window() { return *window; }

    // Appends Text as one time-stamped history line in Color, in the display format
    // selected now; raises "RichEdit line insertion error" when the history is full.
    // A received text first removes the oldest lines to keep a quarter of the history free.
    void AddHistoryLine(const ByteString& Text, TColor Color);
    void ComReceive(const ByteString& Text);

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
    void ConnectButtonClick();  // Connect or Disconnect, by the button's state
    void MakeHistoryMenu();
    platform::FindBox& ShownFindBox();
    // A log that failed ends with one box, whatever the number of entries it refused.
    void WatchLog();

    std::unique_ptr<platform::Window> window;
    bool connected = false;
    std::string lastConnectFailure;
    platform::LocaleTimeSettings localeTime;
    std::unique_ptr<TCom> com;
    platform::Settings settings;
    bool milliseconds = false;
    std::unique_ptr<platform::FindBox> findBox;
    std::unique_ptr<platform::RecordWriter> log;
    LogKind logKind = LogKind::Text;
    platform::PeriodicTimer logWatch;
};

extern TMainForm* MainForm;
extern TCom* ComPort;
