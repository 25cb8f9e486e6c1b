#pragma once
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/byte_string.h"
#include "platform/locale.h"
#include "serial/com.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
namespace platform {
class HistoryPane;
}

using TColor = uint32_t;  // 0x00BBGGRR
constexpr TColor SentColor = 0xFF0000;     // blue
constexpr TColor ReceivedColor = 0x000000;  // black

// The terminal's only window: port settings, display format, the history of sent and
// received texts, and the input line.
class TMainForm : public QWidget, public TComSettings {
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

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

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* LineEdit;
    platform::HistoryPane* MainRich;
    QLineEdit* PortEdit;
    QComboBox* BaudCombo;
    QPushButton* ConnectButton;
    QGroupBox* FormatRadios;
    QPushButton* Button1;
    QCheckBox* TwoStopBits;
    QButtonGroup* FormatButtons;

    static constexpr int ClientWidth = 1007;  // the client area of a 1015 x 476 window
    static constexpr int ClientHeight = 442;
    static constexpr int OuterWidth = 1015;
    static constexpr int OuterHeight = 476;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum Anchor { Left = 1, Top = 2, Right = 4, Bottom = 8 };
    struct Placement {
        QWidget* control;
        QRect design;
        int anchors;
    };

    void CreateControls();
    template <typename Control>
    Control* Place(Control* control, int left, int top, int width, int height, int anchors = Left | Top);
    void FormCreate();
    std::string PresentPortsText() const;  // numbers the adapters present, then lists the ports
    void AddLine(const ByteString& Text, TColor Color, int keepFree);
    void ConnectButtonClick();  // Connect or Disconnect, by the button's state

    std::vector<Placement> placements;
    bool centred = false;
    bool connected = false;
    platform::LocaleTimeSettings localeTime;
    std::unique_ptr<TCom> com;
};

extern TMainForm* MainForm;
extern TCom* ComPort;
