// The features beyond the window, made and wired together.
#include "ui/features.h"

#include <vector>

#include "platform/device/port_scan.h"
#include "platform/window/message_box.h"
#include "ui/choices.h"
#include "ui/cleared_history.h"
#include "ui/entry_layout.h"
#include "ui/history_record.h"
#include "ui/keys_help.h"
#include "ui/line_sender.h"
#include "ui/line_setup.h"
#include "ui/main_form.h"
#include "ui/paced_sends.h"
#include "ui/port_session.h"
#include "ui/quick_sends.h"
#include "ui/str_to_int.h"

namespace {

// The most a received entry may hold so that it fits with a quarter of the history free:
// three characters a byte in hexadecimal, four and two blanks with the text beside it.
size_t LargestReceivedText(bool textBesideHex) {
    constexpr size_t room = platform::HistoryPane::Capacity - TMainForm::FreeAfterReceiving - 512;
    return textBesideHex ? (room - 2) / 4 : room / 3;
}

void Append(std::vector<platform::MenuCommand>& menu, std::vector<platform::MenuCommand> more) {
    for (platform::MenuCommand& command : more) menu.push_back(std::move(command));
}

}  // namespace

FormFeatures::FormFeatures(TMainForm& form, TCom& port, platform::Window& window, const ByteString& digitGroup)
    : form(form),
      port(port),
      choices(std::make_unique<Choices>()),
      record(std::make_unique<HistoryRecord>(*form.MainRich, *choices, form)),
      session(std::make_unique<PortSession>(port, *choices, form)),
      sender(std::make_unique<LineSender>(port, *form.LineEdit, *choices, form)),
      lineSetup(std::make_unique<LineSetup>(port, *choices, form, *form.MainRich, [this] { return PortInField(); },
                                            [&form] { return form.BaudCombo->Text(); })),
      cleared(std::make_unique<ClearedHistory>(*form.MainRich, form)),
      layout(std::make_unique<EntryLayout>(*choices)),
      paced(std::make_unique<PacedSends>(port, *choices, form, *form.LineEdit, [&form] { form.ShowGathered(); })),
      quick(std::make_unique<QuickSends>(*choices, *form.LineEdit, [this](const ByteString& line) { sender->SendLine(line); },
                                         [this] { return sender->InterpretingEscapes(); })) {
    sender->SetPacing(paced.get());
    record->SetDigitGroupSeparator(digitGroup);
    sender->SetDigitGroupSeparator(digitGroup);
    session->RtsDriven = [this] { return lineSetup->DriverDrivesRts(); };
    session->Line = {[this](uint8_t number) { lineSetup->BeforeConnect(number); },
                     [this](uint8_t number) { lineSetup->AfterConnect(number); },
                     [this](uint8_t number) { return lineSetup->RefusedText(number); }};
    port.MaxDelivery = LargestReceivedText(layout->TextBesideHex());
    layout->OnTextBesideHexChanged = [this] { this->port.MaxDelivery = LargestReceivedText(layout->TextBesideHex()); };
    port.OnDeliveryDone = [this] {
        this->form.ShowGathered();
        lineSetup->NoteLineErrors(session->ConnectedPort());
    };
    port.OnLost = [this] {
        sender->EndSend();
        paced->End();
        session->PortLost();
    };
    form.BaudCombo->SetHint([this] { return lineSetup->BaudHint(); });
    form.PortEdit->SetHint([this] { return session->PresentPortsText(); });
    MakeMenus(window);
}

// The senders first: their threads write to the port, which outlives this.
FormFeatures::~FormFeatures() {
    port.OnLost = nullptr;
    port.OnDeliveryDone = nullptr;
    sender.reset();
    paced.reset();
}

void FormFeatures::MakeMenus(platform::Window& window) {
    std::vector<platform::MenuCommand> history = record->Commands();
    Append(history, layout->Commands());
    Append(history, cleared->Commands());
    std::vector<platform::MenuCommand> portMenu = lineSetup->Commands();
    Append(portMenu, session->Commands());
    history.push_back({"P&ort", "", {}, {}, portMenu});
    history.push_back(platform::Described({"&Keys and Menus", "F1", [this] { ShowKeysAndMenus(); }, {}}, "this list"));
    form.MainRich->SetContextCommands(history);
    window.SetSystemMenuCommands(history);
    std::vector<platform::MenuCommand> input = sender->Commands();
    Append(input, paced->Commands());
    Append(input, quick->Commands());
    form.LineEdit->SetContextCommands(input);
    form.MainRich->SetPlaceholder(EmptyHistoryHint(form.MainRich->ContextCommands(), form.LineEdit->ContextCommands()));
}

void FormFeatures::ShowKeysAndMenus() {
    platform::MessageBox(KeysAndMenusText(form.MainRich->ContextCommands(), form.LineEdit->ContextCommands(),
                                          choices->Path(), platform::PortRoots::System().ports),
                         "Keys and Menus", platform::MessageBoxOk);
}

// As Connect takes it; 0 for what is not a number.
unsigned FormFeatures::PortInField() const {
    try {
        return static_cast<uint8_t>(StrToInt(form.PortEdit->Text()));
    } catch (const std::exception&) {
        return 0;
    }
}

void FormFeatures::Connected() { layout->Restart(); }

void FormFeatures::Disconnected() {
    session->Disconnected();
    sender->EndSend();
    paced->End();
}

void FormFeatures::BeforeClear() { cleared->KeepBeforeClear(); }

void FormFeatures::AfterClear() { layout->Restart(); }

void FormFeatures::Received(const ByteString& text) {
    record->LogReceivedBytes(text);
    paced->Heard(text);
}
