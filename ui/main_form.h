#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "platform/byte_string.h"
#include "platform/window/controls.h"
#include "platform/window/history_pane.h"
#include "platform/window/locale.h"
#include "platform/window/window.h"
#include "serial/com.h"
#include "ui/display.h"
#include "ui/history_lines.h"

class FormFeatures;

// The terminal's only window: port settings, display format, the history of sent and
// received texts, and the input line. What goes beyond them is a feature object each,
// made and wired together by FormFeatures; the window tells them what its commands do.
class TMainForm : public TComSettings, public HistoryLines {
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
    void AddHistoryLine(const ByteString& Text, TColor Color) override;
    // A stamped note of comterm's own, in grey unless said otherwise; it makes room as a
    // received text does.
    void AddNote(const ByteString& Text, TColor Color = NoteColor) override;
    bool Fits(const ByteString& Text) const override;
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

    bool TwoStopBitsChecked() const override;
    int FormatIndex() const override;

    // The features beyond the window.
    FormFeatures& Features() { return *features; }

    // The clock the stamps read; tests set their own.
    std::function<std::chrono::system_clock::time_point()> Now = [] { return std::chrono::system_clock::now(); };

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
    void ConnectButtonClick();  // Connect or Disconnect, by the button's state
    // keepFree > 0: remove the oldest lines first so that this much stays free after the line.
    void AddLine(const ByteString& Text, TColor Color, int keepFree);
    // afterPassedOver: entries were passed over before these (logged from passedOverLines
    // when logging text), so nothing older stays in the history.
    void AddShownLines(const std::vector<ByteString>& lines, TColor Color, int keepFree, bool afterPassedOver = false,
                       const std::vector<ByteString>& passedOverLines = {});
    size_t FirstGatheredThatStays() const;
    ByteString Stamp() const;  // for a line added now

    std::unique_ptr<platform::Window> window;
    bool connected = false;
    platform::LocaleTimeSettings localeTime;
    TCom::TPortOpener portOpener;  // empty: the system's
    std::unique_ptr<TCom> com;
    struct GatheredText {
        ByteString text, stamp;
        int format;
        bool textBeside;
        ByteString Line() const { return BuildHistoryLine(text, format, stamp, textBeside); }
    };
    std::vector<GatheredText> gathered;  // received entries not yet shown
    std::unique_ptr<FormFeatures> features;  // declared after the port: ends before it
};

extern TMainForm* MainForm;
extern TCom* ComPort;
