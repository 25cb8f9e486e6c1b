#include "ui/main_form.h"

#include <chrono>

#include "platform/port_scan.h"
#include "ui/display.h"
#include "ui/file_sender.h"
#include "ui/recall.h"
#include "ui/record.h"
#include "ui/window_table.h"

TMainForm* MainForm = nullptr;
TCom* ComPort = nullptr;

namespace {

// What one received text may be so that it fits in the rest with its time stamp in any
// format: three characters a byte in hexadecimal.
constexpr size_t LargestReceivedText = (platform::HistoryPane::Capacity - TMainForm::FreeAfterReceiving - 512) / 3;

}  // namespace

TMainForm::TMainForm(TCom::TPortOpener openPort) {
    MainForm = this;
    BuiltWindow built = BuildWindow(MainFormTable());
    Label1 = &built.Find<platform::Label>("Label1");
    Label2 = &built.Find<platform::Label>("Label2");
    LineEdit = &built.Find<platform::Edit>("LineEdit");
    MainRich = &built.Find<platform::HistoryPane>("MainRich");
    PortEdit = &built.Find<platform::Edit>("PortEdit");
    BaudCombo = &built.Find<platform::DropDownList>("BaudCombo");
    ConnectButton = &built.Find<platform::Button>("ConnectButton");
    FormatRadios = &built.Find<platform::RadioGroup>("FormatRadios");
    Button1 = &built.Find<platform::Button>("Button1");
    TwoStopBits = &built.Find<platform::CheckBox>("TwoStopBits");
    window = std::move(built.Window);

    LineEdit->SetOnKeyPress([this](char& key) { LineEditKeyPress(key); });
    MainRich->SetOnTextRemoved([this] {
        if (com) com->ResumeDelivery();  // room again for what waits
    });
    ConnectButton->SetOnClick([this] { ConnectButtonClick(); });
    Button1->SetOnClick([this] { Button1Click(); });
    window->SetCancelButton(*Button1);
    window->SetOnSettingChange([this] { localeTime = platform::ReadLocaleTimeSettings(); });
    portOpener = std::move(openPort);
    FormCreate();
    MakeHistoryMenu();
    MakeTalkMenus();
    LineEdit->SetFocus();
}

TMainForm::~TMainForm() {
    MainRich->SetOnTextRemoved(nullptr);
    reconnectTimer.SetEnabled(false);
    sendWatch.SetEnabled(false);
    sender.reset();  // before the port they write to
    finishing.reset();
    log.reset();
    if (ComPort == com.get()) ComPort = nullptr;
    com.reset();
    if (MainForm == this) MainForm = nullptr;
}

void TMainForm::FormCreate() {
    PortEdit->SetHint([this] { return PresentPortsText(); });
    localeTime = platform::ReadLocaleTimeSettings();
    com = portOpener ? std::make_unique<TCom>(*this, portOpener) : std::make_unique<TCom>(*this);
    ComPort = com.get();
    com->SplitAtCR = false;
    com->MaxDelivery = LargestReceivedText;
    com->OnReceive = [this](const ByteString& text) { GatherReceived(text); };
    com->OnDeliveryDone = [this] { ShowGathered(); };
    BaudCombo->SetItemIndex(0);
}

void TMainForm::AddHistoryLine(const ByteString& Text, TColor Color) { AddLine(Text, Color, 0); }

void TMainForm::ComReceive(const ByteString& Text) {
    GatherReceived(Text);
    ShowGathered();
}

void TMainForm::GatherReceived(const ByteString& Text) {
    if (log && logKind == LogKind::Bytes) log->Append(Text);
    gathered.push_back({Text, Stamp(), FormatIndex()});
}

// Received text never waits for the user to clear: the oldest lines make way for it.
// Entries the history refuses stay gathered for the next try.
void TMainForm::ShowGathered() {
    if (gathered.empty()) return;
    const size_t first = FirstGatheredThatStays();
    std::vector<ByteString> passedOver, lines;
    if (log && logKind == LogKind::Text)
        for (size_t at = 0; at < first; ++at) passedOver.push_back(gathered[at].Line());
    for (size_t at = first; at < gathered.size(); ++at) lines.push_back(gathered[at].Line());
    AddShownLines(lines, ReceivedColor, FreeAfterReceiving, first > 0, passedOver);
    gathered.clear();
}

// The newest entries that fit in what a received text leaves of the history, the last
// always: the history would push older ones of the same tick out as it took the newer.
size_t TMainForm::FirstGatheredThatStays() const {
    int room = platform::HistoryPane::Capacity - FreeAfterReceiving;
    size_t first = gathered.size();
    for (; first > 0; --first) {
        const GatheredText& entry = gathered[first - 1];
        const int length = static_cast<int>(HistoryLineLength(entry.text.size(), entry.format, entry.stamp.size())) + 2;
        if (length > room && first < gathered.size()) break;
        room -= length;
    }
    return first;
}

// keepFree > 0: remove the oldest lines first so that this much stays free after the line.
void TMainForm::AddLine(const ByteString& Text, TColor Color, int keepFree) {
    AddShownLine(BuildHistoryLine(Text, FormatIndex(), Stamp()), Color, keepFree);
}

ByteString TMainForm::Stamp() const {
    return FormatTimeStamp(localeTime, platform::ToLocalDateTime(std::chrono::system_clock::now()), milliseconds);
}

void TMainForm::AddShownLine(const ByteString& line, TColor Color, int keepFree) {
    AddShownLines({line}, Color, keepFree);
}

void TMainForm::AddShownLines(const std::vector<ByteString>& lines, TColor Color, int keepFree, bool afterPassedOver,
                              const std::vector<ByteString>& passedOverLines) {
    if (log) log->CatchUp();
    MainRich->AddHistoryLines(lines, Color, keepFree, afterPassedOver);
    // Logged before the lines can be drawn, so nothing shown is missing from the log.
    if (log && logKind == LogKind::Text) {
        for (const ByteString& line : passedOverLines) log->Append(RecordedLine(line, Color));
        for (const ByteString& line : lines) log->Append(RecordedLine(line, Color));
    }
    MainRich->SetFocus();
    LineEdit->SetFocus();
}

bool TMainForm::TwoStopBitsChecked() const { return TwoStopBits->Checked(); }

int TMainForm::FormatIndex() const { return FormatRadios->ItemIndex(); }

std::string TMainForm::PresentPortsText() const {
    const std::string ports = platform::ListPorts(platform::PortRoots::System());
    return lastConnectFailure.empty() ? ports : "Connect failed: " + lastConnectFailure + "\n\n" + ports;
}
