// The Line Settings box of the Port menu, and the settings a port keeps per number.
#include "ui/line_setup.h"

#include "platform/device/serial_device.h"
#include "platform/window/application.h"

namespace {

ByteString PortName(unsigned port) { return "port " + std::to_string(port); }

constexpr size_t UseField = 0;  // then rate, data bits, parity, stop bits, flow

}  // namespace

LineSetup::LineSetup(TCom& port, Choices& choices, HistoryLines& history, const platform::Control& owner,
                     std::function<unsigned()> portInField, std::function<std::string()> windowRate)
    : port(port),
      choices(choices),
      history(history),
      owner(owner),
      portInField(std::move(portInField)),
      windowRate(std::move(windowRate)) {}

std::vector<platform::MenuCommand> LineSetup::Commands() {
    return {platform::Described({"Line &Settings...", "", [this] { ShowBox(); }, {}},
                                "any baud rate, data bits, parity, stop bits and flow control, kept for each port number")};
}

LineChoice LineSetup::ChoiceFor(unsigned number) const {
    LineChoice choice;
    const std::string kept = choices.NumberedText(Choice::LineSettings, number);
    if (kept.empty() || ParseLineChoice(kept, choice)) return choice;
    if (toldDamaged.insert(number).second)
        platform::Diagnose("comterm: the line settings kept for " + PortName(number) + " are damaged (\"" + kept +
                           "\"); the port runs by the window's rules");
    return LineChoice();
}

void LineSetup::ShowBox() {
    const unsigned number = portInField();
    if (number == 0) {
        history.AddNote("Line Settings are kept for each port number: type one in the Com field first");
        return;
    }
    LineChoice choice = ChoiceFor(number);
    if (choice.Line.BaudRate == 0) {  // none kept: the window's rate, 8N1
        const int windowBaud = std::atoi(windowRate().c_str());
        choice.Line.BaudRate = windowBaud > 0 ? static_cast<uint32_t>(windowBaud) : 9600;
    }
    std::vector<ByteString> values = WordsOfLine(choice.Line);
    values.insert(values.begin(), choice.Use ? "1" : "0");
    using Kind = platform::FormField::Kind;
    const std::vector<platform::FormField> fields = {
        {"&Use these settings at Connect", Kind::Check, {}, values[0]},
        {"&Baud rate:", Kind::EditableList, CommonRates(), values[1]},
        {"&Data bits:", Kind::List, DataBitsWords(), values[2]},
        {"&Parity:", Kind::List, ParityWords(), values[3]},
        {"&Stop bits:", Kind::List, StopBitsWords(), values[4]},
        {"&Flow control:", Kind::List, FlowWords(), values[5]},
    };
    box = platform::ShowFormBox(owner, "Line Settings: " + PortName(number), fields);
    if (platform::NetworkAddressOf(static_cast<uint8_t>(number)).rfind("tcp://", 0) == 0)
        box->SetStatus(PortName(number) + " is a tcp:// port: it carries bytes alone and has no line settings");
    box->SetOnAccept([this, number](const std::vector<ByteString>& given) { return Accept(number, given); });
}

ByteString LineSetup::Accept(unsigned number, const std::vector<ByteString>& values) {
    LineChoice choice;
    choice.Use = values.at(UseField) == "1";
    const std::string refusal = LineFromWords({values.begin() + 1, values.end()}, choice.Line);
    if (!refusal.empty()) return refusal;
    choices.SetNumberedText(Choice::LineSettings, number, KeptText(choice));
    return "";
}

void LineSetup::BeforeConnect(unsigned number) {
    const LineChoice choice = ChoiceFor(number);
    port.FixedLine.reset();
    if (choice.Use) port.FixedLine = choice.Line;
}

void LineSetup::AfterConnect(unsigned number) {
    if (!port.FixedLine) return;
    port.TakeLineErrors();  // what came before Connect is not this port's news
    history.AddNote(PortName(number) + ": " + LineText(*port.FixedLine));
    platform::LineSettings actual;
    if (platform::OpensOverNetwork(static_cast<uint8_t>(number)) || !port.ReadBackLineSettings(actual)) return;
    const std::string difference = LineDifference(*port.FixedLine, actual);
    if (!difference.empty()) history.AddNote(PortName(number) + ": " + difference);
}

void LineSetup::NoteLineErrors(unsigned number) {
    if (!port.FixedLine || !port.IsOpen()) return;
    const platform::LineErrors errors = port.TakeLineErrors();
    if (errors.Any()) history.AddNote(PortName(number) + ": " + LineErrorsText(errors) + " in the entry above");
}

std::string LineSetup::RefusedText(unsigned number) const {
    if (!port.FixedLine) return "";
    return PortName(number) + ": the port refused " + LineText(*port.FixedLine) + " (Line Settings in the Port menu)";
}

std::string LineSetup::BaudHint() const {
    const LineChoice choice = ChoiceFor(portInField());
    if (!choice.Use) return "";
    return "Connect uses " + FrameText(choice.Line) + " from Line Settings (Port menu)";
}

bool LineSetup::DriverDrivesRts() const {
    if (port.IsOpen()) return port.LineState().Flow == platform::LineSettings::RtsCtsFlow;
    const LineChoice next = ChoiceFor(portInField());
    return next.Use && next.Line.Flow == platform::LineSettings::RtsCtsFlow;
}
