// The terminal commands: connect and disconnect on one button, send on Enter, clear.
#include "platform/window/application.h"
#include "platform/window/message_box.h"
#include "ui/features.h"
#include "ui/line_sender.h"
#include "ui/line_setup.h"
#include "ui/main_form.h"
#include "ui/port_session.h"
#include "ui/str_to_int.h"

namespace {

// The box as Connect has always shown it, then why, where a user looks once it is closed.
void SayConnectFailed(HistoryLines& history, const std::string& why) {
    platform::MessageBox("Could not connect. Please check your Com port settings.", "Com Error", platform::MessageBoxOk);
    history.AddNote(why);
}

}  // namespace

void TMainForm::ConnectButtonClick() {
    if (connected)
        DisconnectClick();
    else
        ConnectClick();
}

// A port on another machine may take seconds to answer: the window goes on meanwhile,
// and the button does nothing until the attempt ends.
void TMainForm::ConnectClick() {
    PortSession& session = features->Session();
    if (session.Opening()) return;
    const auto port = static_cast<uint8_t>(StrToInt(PortEdit->Text()));
    const int32_t baud = BaudCombo->ItemIndex() >= 0 ? StrToInt(BaudCombo->Text()) : 0;
    session.Connect(port, baud, [this, &session](bool opened) {
        if (!opened) {
            SayConnectFailed(*this, session.ConnectFailure());
            return;
        }
        features->Connected();
        ConnectButton->SetCaption("Disconnect");
        connected = true;
    });
}

void TMainForm::DisconnectClick() {
    features->Disconnected();
    ComPort->Close();
    ConnectButton->SetCaption("Connect");
    connected = false;
}

void TMainForm::LineEditKeyPress(char& Key) {
    if (Key != '\r') return;
    Key = 0;
    features->Sender().SendLine(LineEdit->Text());
}

void TMainForm::Button1Click() {
    features->BeforeClear();
    MainRich->Clear();
    features->AfterClear();
}
