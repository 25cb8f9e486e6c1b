// The terminal commands: connect and disconnect on one button, send on Enter, clear.
#include "platform/window/message_box.h"
#include "platform/window/application.h"
#include "ui/cleared_history.h"
#include "ui/entry_layout.h"
#include "ui/line_sender.h"
#include "ui/line_setup.h"
#include "ui/paced_sends.h"
#include "ui/main_form.h"
#include "ui/port_session.h"
#include "ui/str_to_int.h"

void TMainForm::ConnectButtonClick() {
    if (connected)
        DisconnectClick();
    else
        ConnectClick();
}

// A port on another machine may take seconds to answer: the window goes on meanwhile,
// and the button does nothing until the attempt ends.
void TMainForm::ConnectClick() {
    if (session->Opening()) return;
    const auto port = static_cast<uint8_t>(StrToInt(PortEdit->Text()));
    lineSetup->BeforeConnect(port);
    session->Open(port, [this, port](bool opened) {
        if (!opened) {
            platform::MessageBox("Could not connect. Please check your Com port settings.", "Com Error",
                                 platform::MessageBoxOk);
            AddNote(session->ConnectFailure());  // why, where a user looks once the box is closed
            return;
        }
        const int32_t baud = BaudCombo->ItemIndex() >= 0 ? StrToInt(BaudCombo->Text()) : 0;
        if ((baud || ComPort->FixedLine) && !ComPort->SetBaud(baud)) {  // only settings chosen for the port are refused
            const std::string refused = lineSetup->RefusedText(port);
            platform::Diagnose("comterm: " + refused);
            ComPort->Close();
            platform::MessageBox("Could not connect. Please check your Com port settings.", "Com Error",
                                 platform::MessageBoxOk);
            AddNote(refused);
            return;
        }
        layout->Restart();
        session->Connected(port, baud);
        lineSetup->AfterConnect(port);
        ConnectButton->SetCaption("Disconnect");
        connected = true;
    });
}

void TMainForm::DisconnectClick() {
    session->Disconnected();
    sender->EndSend();
    paced->End();
    ComPort->Close();
    ConnectButton->SetCaption("Connect");
    connected = false;
}

void TMainForm::LineEditKeyPress(char& Key) {
    if (Key != '\r') return;
    Key = 0;
    sender->SendLine(LineEdit->Text());
}

void TMainForm::Button1Click() {
    cleared->KeepBeforeClear();
    MainRich->Clear();
    layout->Restart();
}
