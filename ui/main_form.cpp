#include "ui/main_form.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <chrono>

#include "platform/error_handler.h"
#include "platform/history_pane.h"
#include "platform/keys.h"
#include "platform/port_scan.h"
#include "ui/display.h"

TMainForm* MainForm = nullptr;
TCom* ComPort = nullptr;

namespace {

// A received text makes room for itself by removing the oldest lines, and always leaves
// this much of the history free, so a typed line of ordinary length fits between two.
constexpr int FreeAfterReceiving = platform::HistoryPane::Capacity / 4;
// What one received text may be so that it fits in the rest with its time stamp in any
// format: three characters a byte in hexadecimal.
constexpr size_t LargestReceivedText = (platform::HistoryPane::Capacity - FreeAfterReceiving - 512) / 3;

QFont NearestFont(const char* family, QFont::StyleHint hint, int pixelSize) {
    QFont font(family);
    font.setStyleHint(hint);
    font.setPixelSize(pixelSize);
    return font;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QWidget(parent) {
    MainForm = this;
    setWindowTitle(" ");
    setWindowIconText(QCoreApplication::applicationName());  // the task bar's name, not the caption
    // The 8-point system font is narrow: a semi-condensed face keeps captions such as
    // "Baud Rate:" within their controls where one is installed.
    QFont system = NearestFont("MS Sans Serif", QFont::SansSerif, 11);
    system.setStretch(QFont::SemiCondensed);
    setFont(system);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    resize(ClientWidth, ClientHeight);
    CreateControls();
    FormCreate();
    LineEdit->setFocus();
}

TMainForm::~TMainForm() {
    if (ComPort == com.get()) ComPort = nullptr;
    if (MainForm == this) MainForm = nullptr;
}

template <typename Control>
Control* TMainForm::Place(Control* control, int left, int top, int width, int height, int anchors) {
    control->setGeometry(left, top, width, height);
    placements.push_back({control, QRect(left, top, width, height), anchors});
    return control;
}

void TMainForm::CreateControls() {
    Label1 = Place(new QLabel("Com:", this), 8, 8, 33, 21);
    Label2 = Place(new QLabel("Baud Rate:", this), 88, 8, 57, 21);
    for (QLabel* label : {Label1, Label2}) label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    LineEdit = Place(new QLineEdit(this), 8, 412, 990, 21, Left | Right | Bottom);
    platform::SetKeyPressHandler(LineEdit, [this](char& key) { LineEditKeyPress(key); });

    MainRich = Place(new platform::HistoryPane(this), 8, 72, 990, 333, Left | Top | Right | Bottom);
    QFont terminal = NearestFont("DejaVu Sans Mono", QFont::Monospace, 12);
    terminal.setStyleStrategy(QFont::NoAntialias);  // crisp box drawing, as a bitmap terminal font
    MainRich->setFont(terminal);
    QPalette white = MainRich->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Text, palette().color(QPalette::WindowText));
    MainRich->setPalette(white);
    connect(MainRich->document(), &QTextDocument::contentsChange, this, [this](int, int removed, int) {
        if (removed > 0 && com) com->ResumeDelivery();  // room again for what waits
    });

    PortEdit = Place(new QLineEdit("5", this), 40, 8, 33, 21);
    PortEdit->installEventFilter(this);  // its tooltip lists the ports present when it is shown
    BaudCombo = Place(new QComboBox(this), 144, 8, 97, 21);
    BaudCombo->addItems({"9600", "14400", "19200", "28800", "38400", "57600", "115200", "128000", "256000"});
    BaudCombo->setCurrentIndex(-1);

    ConnectButton = Place(new QPushButton("Connect", this), 250, 8, 113, 21);
    connect(ConnectButton, &QPushButton::clicked, this, [this] { platform::RunGuarded([this] { ConnectButtonClick(); }); });

    FormatRadios = Place(new QGroupBox("Format", this), 376, 0, 505, 33, Top | Right);
    FormatButtons = new QButtonGroup(this);
    const char* formats[] = {"8-Bit ASCII", "8-Bit Hex", "7-Bit ASCII", "7-Bit Hex", "9-Bit ASCII", "9-bit Hex"};
    const int columnWidth = (505 - 8) / 6;
    for (int index = 0; index < 6; ++index) {
        auto* radio = new QRadioButton(formats[index], FormatRadios);
        radio->setGeometry(6 + index * columnWidth, 14, columnWidth, 17);
        FormatButtons->addButton(radio, index);
    }
    FormatButtons->button(1)->setChecked(true);

    Button1 = Place(new QPushButton("Clear History", this), 892, 8, 105, 21, Top | Right);
    connect(Button1, &QPushButton::clicked, this, [this] { platform::RunGuarded([this] { Button1Click(); }); });
    platform::SetCancelButton(this, Button1);

    TwoStopBits = Place(new QCheckBox("Two Stop Bits", this), 16, 40, 97, 17);

    QWidget* tabOrder[] = {LineEdit, MainRich, PortEdit, BaudCombo, ConnectButton, FormatRadios, Button1, TwoStopBits};
    for (size_t i = 0; i + 1 < std::size(tabOrder); ++i) setTabOrder(tabOrder[i], tabOrder[i + 1]);
}

void TMainForm::FormCreate() {
    PortEdit->setToolTip(QString::fromStdString(PresentPortsText()));  // also numbers the adapters present
    localeTime = platform::ReadLocaleTimeSettings();
    com = std::make_unique<TCom>(*this);
    ComPort = com.get();
    com->SplitAtCR = false;
    com->MaxDelivery = LargestReceivedText;
    com->OnReceive = [this](const ByteString& text) { ComReceive(text); };
    BaudCombo->setCurrentIndex(0);
}

void TMainForm::AddHistoryLine(const ByteString& Text, TColor Color) { AddLine(Text, Color, 0); }

// Received text never waits for the user to clear: the oldest lines make way for it.
void TMainForm::ComReceive(const ByteString& Text) { AddLine(Text, ReceivedColor, FreeAfterReceiving); }

// keepFree > 0: remove the oldest lines first so that this much stays free after the line.
void TMainForm::AddLine(const ByteString& Text, TColor Color, int keepFree) {
    MainRich->SetInsertionPoint(MainRich->TextLength());
    MainRich->SetSelectionColor(Color);
    ByteString stamp = FormatTimeStamp(localeTime, platform::ToLocalDateTime(std::chrono::system_clock::now()));
    ByteString line = BuildHistoryLine(Text, FormatIndex(), stamp);
    if (keepFree > 0) MainRich->MakeRoom(platform::HistoryPane::AddedLength(line), keepFree);
    MainRich->AddLine(line);
    MainRich->setFocus();
    LineEdit->setFocus();
}

bool TMainForm::TwoStopBitsChecked() const { return TwoStopBits->isChecked(); }

int TMainForm::FormatIndex() const { return FormatButtons->checkedId(); }

void TMainForm::resizeEvent(QResizeEvent* event) {
    const int dx = width() - ClientWidth;
    const int dy = height() - ClientHeight;
    for (const Placement& p : placements) {
        QRect r = p.design;
        if (p.anchors & Right) (p.anchors & Left) ? r.setWidth(r.width() + dx) : r.moveLeft(r.left() + dx);
        if (p.anchors & Bottom) (p.anchors & Top) ? r.setHeight(r.height() + dy) : r.moveTop(r.top() + dy);
        p.control->setGeometry(r);
    }
    QWidget::resizeEvent(event);
}

void TMainForm::showEvent(QShowEvent* event) {
    if (!centred && screen()) {
        const QRect area = screen()->geometry();
        move(std::max(0, (area.width() - OuterWidth) / 2), std::max(0, (area.height() - OuterHeight) / 2));
        centred = true;
    }
    QWidget::showEvent(event);
}

std::string TMainForm::PresentPortsText() const {
    const platform::PortRoots roots = platform::PortRoots::System();
    return platform::DescribePorts(platform::ScanPorts(roots), roots.ports);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == PortEdit && event->type() == QEvent::ToolTip)
        PortEdit->setToolTip(QString::fromStdString(PresentPortsText()));
    return QWidget::eventFilter(watched, event);
}

void TMainForm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) localeTime = platform::ReadLocaleTimeSettings();
    QWidget::changeEvent(event);
}
