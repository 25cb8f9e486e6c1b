#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/byte_string.h"
#include "platform/controls.h"
#include "platform/history_pane.h"
#include "platform/locale.h"
#include "platform/window.h"
#include "serial/com.h"

using TColor = uint32_t;  // 0x00BBGGRR
constexpr TColor SentColor = 0xFF0000;     // blue
constexpr TColor ReceivedColor = 0x000000;  // black

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

    std::unique_ptr<platform::Window> window;
    bool connected = false;
    std::string lastConnectFailure;
    platform::LocaleTimeSettings localeTime;
    std::unique_ptr<TCom> com;
};

extern TMainForm* MainForm;
extern TCom* ComPort;
