// The terminal commands: connect and disconnect on one button, send on Enter, clear.
#include "platform/window/message_box.h"
#include "ui/line_sender.h"
#include "ui/main_form.h"
#include "ui/port_session.h"
#include "ui/str_to_int.h"

void TMainForm::ConnectButtonClick() {
    if (connected)
        DisconnectClick();
    else
        ConnectClick();
}

void TMainForm::ConnectClick() {
    int32_t port = StrToInt(PortEdit->Text());
    if (!session->Open(static_cast<uint8_t>(port))) {
        platform::MessageBox("Could not connect. Please check your Com port settings.", "Com Error",
                             platform::MessageBoxOk);
        return;
    }
    const int32_t baud = BaudCombo->ItemIndex() >= 0 ? StrToInt(BaudCombo->Text()) : 0;
    if (baud) ComPort->SetBaud(baud);
    session->Connected(static_cast<uint8_t>(port), baud);
    ConnectButton->SetCaption("Disconnect");
    connected = true;
}

void TMainForm::DisconnectClick() {
    session->Disconnected();
    sender->EndSend();
    ComPort->Close();
    ConnectButton->SetCaption("Connect");
    connected = false;
}

void TMainForm::LineEditKeyPress(char& Key) {
    if (Key != '\r') return;
    Key = 0;
    sender->SendLine(LineEdit->Text());
}

void TMainForm::Button1Click() { MainRich->Clear(); }
