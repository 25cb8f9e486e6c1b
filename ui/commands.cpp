// The terminal commands: connect and disconnect on one button, send on Enter, clear.
#include <QComboBox>
#include <QCoreApplication>
#include <iostream>
#include <QLineEdit>
#include <QPushButton>

#include "platform/history_pane.h"
#include "platform/message_box.h"
#include "platform/port_scan.h"
#include "platform/serial_device.h"
#include "ui/main_form.h"
#include "ui/str_to_int.h"

namespace {

ByteString Latin1(const QString& text) {
    QByteArray bytes = text.toLatin1();  // a character above U+00FF becomes '?'
    return ByteString(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

void TMainForm::ConnectButtonClick() {
    if (connected)
        DisconnectClick();
    else
        ConnectClick();
}

void TMainForm::ConnectClick() {
    platform::NumberAdapters(platform::PortRoots::System());  // an adapter plugged in meanwhile gets its number
    int32_t port = StrToInt(Latin1(PortEdit->text()));
    if (!ComPort->Open(static_cast<uint8_t>(port))) {
        std::cerr << QCoreApplication::applicationName().toStdString() << ": " << platform::LastOpenFailure() << std::endl;
        platform::MessageBox("Could not connect. Please check your Com port settings.", "Com Error",
                             platform::MessageBoxOk);
        return;
    }
    if (BaudCombo->currentIndex() >= 0) ComPort->SetBaud(StrToInt(Latin1(BaudCombo->currentText())));
    ConnectButton->setText("Disconnect");
    connected = true;
}

void TMainForm::DisconnectClick() {
    ComPort->Close();
    ConnectButton->setText("Connect");
    connected = false;
}

void TMainForm::LineEditKeyPress(char& Key) {
    if (Key != '\r') return;
    Key = 0;
    AddHistoryLine(Latin1(LineEdit->text()), SentColor);
    ComPort->Send(Latin1(LineEdit->text()));
}

void TMainForm::Button1Click() { MainRich->Clear(); }
