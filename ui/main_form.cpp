#include "ui/main_form.h"

#include <chrono>

#include "ui/entry_layout.h"
#include "ui/features.h"
#include "ui/history_record.h"
#include "ui/window_table.h"

TMainForm* MainForm = nullptr;
TCom* ComPort = nullptr;

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
    features = std::make_unique<FormFeatures>(*this, *com, *window, localeTime.DigitGroupSeparator);
    LineEdit->SetFocus();
}

TMainForm::~TMainForm() {
    MainRich->SetOnTextRemoved(nullptr);
    features.reset();  // before the port they write to
    if (ComPort == com.get()) ComPort = nullptr;
    com.reset();
    if (MainForm == this) MainForm = nullptr;
}

void TMainForm::FormCreate() {
    localeTime = platform::ReadLocaleTimeSettings();
    com = portOpener ? std::make_unique<TCom>(*this, portOpener) : std::make_unique<TCom>(*this);
    ComPort = com.get();
    com->SplitAtCR = false;
    com->OnReceive = [this](const ByteString& text) { GatherReceived(text); };
    BaudCombo->SetItemIndex(0);
}

void TMainForm::AddHistoryLine(const ByteString& Text, TColor Color) { AddLine(Text, Color, 0); }

void TMainForm::ComReceive(const ByteString& Text) {
    GatherReceived(Text);
    ShowGathered();
}

void TMainForm::GatherReceived(const ByteString& Text) {
    features->Received(Text);
    gathered.push_back({Text, Stamp(), FormatIndex(), features->Layout().TextBesideHex()});
}

// Received text never waits for the user to clear: the oldest lines make way for it.
// Entries the history refuses stay gathered for the next try.
void TMainForm::ShowGathered() {
    if (gathered.empty()) return;
    const size_t first = FirstGatheredThatStays();
    std::vector<ByteString> passedOver, lines;
    if (features->Record().LoggingText())
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
        const int length = static_cast<int>(HistoryLineLength(entry.text.size(), entry.format, entry.stamp.size(), entry.textBeside)) + 2;
        if (length > room && first < gathered.size()) break;
        room -= length;
    }
    return first;
}

// keepFree > 0: remove the oldest lines first so that this much stays free after the line.
void TMainForm::AddLine(const ByteString& Text, TColor Color, int keepFree) {
    AddShownLines({BuildHistoryLine(Text, FormatIndex(), Stamp(), features->Layout().TextBesideHex())}, Color, keepFree);
}

bool TMainForm::Fits(const ByteString& Text) const {
    return MainRich->Takes(BuildHistoryLine(Text, FormatIndex(), Stamp(), features->Layout().TextBesideHex()), 0);
}

void TMainForm::AddNote(const ByteString& Text, TColor Color) {
    AddShownLines({Stamp() + ' ' + Text}, Color, FreeAfterReceiving);
}

ByteString TMainForm::Stamp() const {
    const auto now = Now();
    return features->Layout().Stamp(
        FormatTimeStamp(localeTime, platform::ToLocalDateTime(now), features->Record().Milliseconds()), now,
        localeTime.DecimalSeparator);
}

void TMainForm::AddShownLines(const std::vector<ByteString>& lines, TColor Color, int keepFree, bool afterPassedOver,
                              const std::vector<ByteString>& passedOverLines) {
    HistoryRecord& record = features->Record();
    record.CatchUp();
    MainRich->AddHistoryLines(lines, Color, keepFree, afterPassedOver);
    // Logged before the lines can be drawn, so nothing shown is missing from the log.
    record.LogLines(passedOverLines, Color);
    record.LogLines(lines, Color);
    MainRich->SetFocus();
    LineEdit->SetFocus();
}

bool TMainForm::TwoStopBitsChecked() const { return TwoStopBits->Checked(); }

int TMainForm::FormatIndex() const { return FormatRadios->ItemIndex(); }

