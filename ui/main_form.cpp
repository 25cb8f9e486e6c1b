#include "ui/main_form.h"

#include <chrono>

#include "ui/choices.h"
#include "ui/cleared_history.h"
#include "ui/display.h"
#include "ui/entry_layout.h"
#include "platform/device/port_scan.h"
#include "platform/window/message_box.h"
#include "ui/history_record.h"
#include "ui/keys_help.h"
#include "ui/line_sender.h"
#include "ui/line_setup.h"
#include "ui/str_to_int.h"
#include "ui/port_session.h"
#include "ui/paced_sends.h"
#include "ui/quick_sends.h"
#include "ui/record.h"
#include "ui/window_table.h"

TMainForm* MainForm = nullptr;
TCom* ComPort = nullptr;

namespace {

// What one received text may be so that it fits in the rest with its time stamp in any
// format: three characters a byte in hexadecimal.
// The most a received entry may hold so that it fits with a quarter of the history free:
// three characters a byte in hexadecimal, four and two blanks with the text beside it.
size_t LargestReceivedText(bool textBesideHex) {
    constexpr size_t room = platform::HistoryPane::Capacity - TMainForm::FreeAfterReceiving - 512;
    return textBesideHex ? (room - 2) / 4 : room / 3;
}

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
    MakeFeatures();
    LineEdit->SetFocus();
}

TMainForm::~TMainForm() {
    MainRich->SetOnTextRemoved(nullptr);
    sender.reset();  // before the port it writes to
    paced.reset();
    lineSetup.reset();
    cleared.reset();
    layout.reset();
    quick.reset();
    session.reset();
    record.reset();
    if (ComPort == com.get()) ComPort = nullptr;
    com.reset();
    if (MainForm == this) MainForm = nullptr;
}

void TMainForm::FormCreate() {
    localeTime = platform::ReadLocaleTimeSettings();
    com = portOpener ? std::make_unique<TCom>(*this, portOpener) : std::make_unique<TCom>(*this);
    ComPort = com.get();
    com->SplitAtCR = false;
    com->MaxDelivery = LargestReceivedText(false);
    com->OnReceive = [this](const ByteString& text) { GatherReceived(text); };
    com->OnDeliveryDone = [this] { ShowGathered(); };
    BaudCombo->SetItemIndex(0);
}

void TMainForm::MakeFeatures() {
    choices = std::make_unique<Choices>();
    record = std::make_unique<HistoryRecord>(*MainRich, *choices, *this);
    session = std::make_unique<PortSession>(*com, *choices, *this);
    sender = std::make_unique<LineSender>(*com, *LineEdit, *choices, *this);
    lineSetup = std::make_unique<LineSetup>(
        *com, *choices, *this, *MainRich, [this] { return PortInField(); },
        [this] { return BaudCombo->Text(); });
    cleared = std::make_unique<ClearedHistory>(*MainRich, *this);
    layout = std::make_unique<EntryLayout>(*choices);
    paced = std::make_unique<PacedSends>(*com, *choices, *this, *LineEdit);
    sender->SetPacing(paced.get());
    quick = std::make_unique<QuickSends>(
        *choices, *LineEdit, [this](const ByteString& line) { sender->SendLine(line); },
        [this] { return sender->InterpretingEscapes(); });
    com->MaxDelivery = LargestReceivedText(layout->TextBesideHex());
    layout->OnTextBesideHexChanged = [this] { com->MaxDelivery = LargestReceivedText(layout->TextBesideHex()); };
    session->RtsDriven = [this] { return lineSetup->DriverDrivesRts(); };
    record->SetDigitGroupSeparator(localeTime.DigitGroupSeparator);
    sender->SetDigitGroupSeparator(localeTime.DigitGroupSeparator);
    com->OnDeliveryDone = [this] {
        ShowGathered();
        lineSetup->NoteLineErrors(session->ConnectedPort());
    };
    BaudCombo->SetHint([this] { return lineSetup->BaudHint(); });
    com->OnLost = [this] {
        sender->EndSend();
        paced->End();
        session->PortLost();
    };
    PortEdit->SetHint([this] { return session->PresentPortsText(); });
    std::vector<platform::MenuCommand> history = record->Commands();
    for (platform::MenuCommand& command : layout->Commands()) history.push_back(std::move(command));
    for (platform::MenuCommand& command : cleared->Commands()) history.push_back(std::move(command));
    std::vector<platform::MenuCommand> portMenu = lineSetup->Commands();
    for (platform::MenuCommand& command : session->Commands()) portMenu.push_back(std::move(command));
    history.push_back({"P&ort", "", {}, {}, portMenu});
    history.push_back(platform::Described({"&Keys and Menus", "F1", [this] { ShowKeysAndMenus(); }, {}}, "this list"));
    MainRich->SetContextCommands(history);
    window->SetSystemMenuCommands(history);
    std::vector<platform::MenuCommand> input = sender->Commands();
    for (platform::MenuCommand& command : paced->Commands()) input.push_back(std::move(command));
    for (platform::MenuCommand& command : quick->Commands()) input.push_back(std::move(command));
    LineEdit->SetContextCommands(input);
    MainRich->SetPlaceholder(EmptyHistoryHint(MainRich->ContextCommands(), LineEdit->ContextCommands()));
}

// As Connect takes it; 0 for what is not a number.
unsigned TMainForm::PortInField() const {
    try {
        return static_cast<uint8_t>(StrToInt(PortEdit->Text()));
    } catch (const std::exception&) {
        return 0;
    }
}

void TMainForm::ShowKeysAndMenus() {
    platform::MessageBox(KeysAndMenusText(MainRich->ContextCommands(), LineEdit->ContextCommands(), choices->Path(),
                                          platform::PortRoots::System().ports),
                         "Keys and Menus", platform::MessageBoxOk);
}

void TMainForm::AddHistoryLine(const ByteString& Text, TColor Color) { AddLine(Text, Color, 0); }

void TMainForm::ComReceive(const ByteString& Text) {
    GatherReceived(Text);
    ShowGathered();
}

void TMainForm::GatherReceived(const ByteString& Text) {
    record->LogReceivedBytes(Text);
    paced->Heard(Text);
    gathered.push_back({Text, Stamp(), FormatIndex(), layout->TextBesideHex()});
}

// Received text never waits for the user to clear: the oldest lines make way for it.
// Entries the history refuses stay gathered for the next try.
void TMainForm::ShowGathered() {
    if (gathered.empty()) return;
    const size_t first = FirstGatheredThatStays();
    std::vector<ByteString> passedOver, lines;
    if (record->LoggingText())
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
    AddShownLines({BuildHistoryLine(Text, FormatIndex(), Stamp(), layout->TextBesideHex())}, Color, keepFree);
}

void TMainForm::AddNote(const ByteString& Text, TColor Color) {
    AddShownLines({Stamp() + ' ' + Text}, Color, FreeAfterReceiving);
}

ByteString TMainForm::Stamp() const {
    const auto now = Now();
    return layout->Stamp(FormatTimeStamp(localeTime, platform::ToLocalDateTime(now), record->Milliseconds()), now,
                         localeTime.DecimalSeparator);
}

void TMainForm::AddShownLines(const std::vector<ByteString>& lines, TColor Color, int keepFree, bool afterPassedOver,
                              const std::vector<ByteString>& passedOverLines) {
    record->CatchUp();
    MainRich->AddHistoryLines(lines, Color, keepFree, afterPassedOver);
    // Logged before the lines can be drawn, so nothing shown is missing from the log.
    record->LogLines(passedOverLines, Color);
    record->LogLines(lines, Color);
    MainRich->SetFocus();
    LineEdit->SetFocus();
}

bool TMainForm::TwoStopBitsChecked() const { return TwoStopBits->Checked(); }

int TMainForm::FormatIndex() const { return FormatRadios->ItemIndex(); }

