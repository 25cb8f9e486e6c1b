// The terminal commands: connect and disconnect on one button, send on Enter, clear.
#include "platform/application.h"
#include "platform/message_box.h"
#include "platform/port_scan.h"
#include "platform/serial_device.h"
#include "ui/escapes.h"
#include "ui/file_sender.h"
#include "ui/main_form.h"
#include "ui/str_to_int.h"

void TMainForm::ConnectButtonClick() {
    if (connected)
        DisconnectClick();
    else
        ConnectClick();
}

void TMainForm::ConnectClick() {
    int32_t port = StrToInt(PortEdit->Text());
    if (!ComPort->Open(static_cast<uint8_t>(port))) {
        lastConnectFailure = platform::LastOpenFailure();
        platform::Diagnose(platform::Application::Instance()->Title() + ": " + lastConnectFailure);
        platform::MessageBox("Could not connect. Please check your Com port settings.", "Com Error",
                             platform::MessageBoxOk);
        return;
    }
    lastConnectFailure.clear();
    connectedPort = static_cast<uint8_t>(port);
    connectedBaud = BaudCombo->ItemIndex() >= 0 ? StrToInt(BaudCombo->Text()) : 0;
    if (connectedBaud) ComPort->SetBaud(connectedBaud);
    lineDtr = dtrChoice && !lowAtConnect;
    lineRts = rtsChoice && !lowAtConnect;
    ApplyModemLines(true);
    ConnectButton->SetCaption("Disconnect");
    connected = true;
}

void TMainForm::DisconnectClick() {
    reconnectTimer.SetEnabled(false);
    FinishSend(true);
    ComPort->Close();
    ConnectButton->SetCaption("Connect");
    connected = false;
}

void TMainForm::LineEditKeyPress(char& Key) {
    if (Key != '\r') return;
    Key = 0;
    const ByteString typed = LineEdit->Text();
    // A malformed escape stops here: nothing echoed, nothing sent.
    const ByteString bytes = interpretEscapes ? InterpretEscapes(typed) : typed;
    AddHistoryLine(bytes, SentColor);
    ComPort->SendBytes(bytes + LineEndBytes());
    RememberSent(typed);
}

void TMainForm::Button1Click() { MainRich->Clear(); }
