// The Port menu (DTR, RTS, break, modem lines, reconnecting), and what happens when the
// port goes away and comes back.
#include "ui/port_session.h"

#include <algorithm>
#include <stdexcept>

#include "platform/window/application.h"
#include "platform/device/port_scan.h"
#include "platform/device/serial_device.h"
#include "ui/line_choice.h"

namespace {

constexpr int BreakMs = 250;
// A device that is not there is looked for a few times a second; one that is there but
// will not open (a server switched off) is asked less and less often.
constexpr int ReconnectCheckMs = 300;
constexpr int LongestReconnectMs = 10000;
constexpr int FarPortAnswerMs = 500;  // the server's answers are in by then

ByteString PortName(uint8_t port) { return "port " + std::to_string(port); }

}  // namespace

PortSession::PortSession(TCom& port, Choices& choices, HistoryLines& history)
    : port(port),
      choices(choices),
      history(history),
      dtrChoice(choices.Flag(Choice::Dtr)),
      rtsChoice(choices.Flag(Choice::Rts)),
      lowAtConnect(choices.Flag(Choice::LowAtConnect)),
      reconnect(choices.Flag(Choice::Reconnect)) {
    IsPresent = platform::PortPresent;
    port.ModemLinesLowAtOpen = lowAtConnect;
    reconnectTimer.SetEnabled(false);
    reconnectTimer.SetOnTimer([this] { TryReconnect(); });
    breakTimer.SetEnabled(false);
    breakTimer.SetInterval(BreakMs);
    breakTimer.SetOnTimer([this] {
        EndBreak();
        this->history.AddNote("break sent (" + std::to_string(BreakMs) + " ms)");
    });
    farPortTimer.SetEnabled(false);
    farPortTimer.SetInterval(FarPortAnswerMs);
    farPortTimer.SetOnTimer([this] { CompareWithFarPort(); });
}

PortSession::~PortSession() { Disconnected(); }

std::vector<platform::MenuCommand> PortSession::Commands() {
    using platform::Described;
    return {
        Described({"&DTR", "", [this] { DtrClick(); }, [this] { return DtrOn(); }}, "raises or lowers DTR, now and at Connect"),
        Described({"&RTS", "", [this] { RtsClick(); }, [this] { return RtsOn(); }, {}, {}, false, "",
                   [this] { return DriverDrivesRts() ? ByteString("&RTS (RTS/CTS flow control drives it)") : ByteString("&RTS"); },
                   [this] { return !DriverDrivesRts(); }},
                  "raises or lowers RTS, now and at Connect"),
        Described({"DTR and RTS &Low at Connect", "", [this] { LowAtConnectClick(); }, [this] { return lowAtConnect; }},
                  "opens the port with both lines low, for boards that reset"),
        Described({"Send &Break", "", [this] { SendBreakClick(); }, {}}, "holds the line in the break condition for 250 ms"),
        Described({"", "", {}, {}, {}, [this] { return ModemLinesText(); }}, "the modem lines CTS, DSR, CD and RI"),
        Described({"Reconnect &Automatically", "", [this] { ReconnectClick(); }, [this] { return reconnect; }},
                  "opens the port again when a lost device comes back"),
    };
}

void PortSession::Connect(uint8_t number, int32_t baud, std::function<void(bool opened)> done) {
    Sequence(number, baud, true, [this, done](bool opened, const std::string& failure) {
        lastConnectFailure = failure;
        done(opened);
    });
}

void PortSession::Sequence(uint8_t number, int32_t baud, bool fresh,
                           std::function<void(bool opened, const std::string& failure)> done) {
    if (port.Opening()) return;
    if (Line.choose) Line.choose(number);
    port.OpenInBackground(number, [this, number, baud, fresh, done](bool opened, const std::string& failure) {
        // Only settings chosen for the port are refused: the window's rules never fail.
        const bool refused = opened && (baud || port.FixedLine) && !port.SetBaud(baud);
        const std::string why = !opened ? failure : refused && Line.refused ? Line.refused(number) : "";
        if (!opened || refused) {
            if (refused) port.Close();
            if (fresh) platform::Diagnose(platform::Application::Instance()->Title() + ": " + why);
            done(false, why);
            return;
        }
        if (fresh) Connected(number, baud);
        ApplyModemLines(true);
        farPortTimer.SetEnabled(platform::OpensOverNetwork(connectedPort));
        done(true, "");
        if (Line.applied) Line.applied(number);  // its notes follow Connect's or "port N back"
    });
}

void PortSession::Connected(uint8_t number, int32_t baud) {
    connectedPort = number;
    connectedBaud = baud;
    lineDtr = dtrChoice && !lowAtConnect;
    lineRts = rtsChoice && !lowAtConnect;
    connected = true;
}

void PortSession::CompareWithFarPort() {
    farPortTimer.SetEnabled(false);
    const platform::LineSettings& asked = port.LineState();
    platform::LineSettings actual;
    if (!port.IsOpen() || !port.ReadBackLineSettings(actual)) return;
    platform::LineSettings askedAtActualRate = asked;
    askedAtActualRate.BaudRate = actual.BaudRate;
    const bool onlyRate = askedAtActualRate == actual;
    if (asked == actual) return;
    history.AddNote(PortName(connectedPort) + ": the far port runs at " +
                    (onlyRate ? std::to_string(actual.BaudRate) + ", not " + std::to_string(asked.BaudRate)
                              : LineText(actual) + ", not " + LineText(asked)));
}

void PortSession::Disconnected() {
    EndBreak();
    farPortTimer.SetEnabled(false);
    reconnectTimer.SetEnabled(false);
    port.CancelOpen();
    connected = false;
}

std::string PortSession::PresentPortsText() const {
    const std::string ports = platform::ListPorts(platform::PortRoots::System());
    return lastConnectFailure.empty() ? ports : "Connect failed: " + lastConnectFailure + "\n\n" + ports;
}

// While connected the marks show the lines as they stand; otherwise what Connect will do.
bool PortSession::DtrOn() const { return connected ? lineDtr : dtrChoice && !lowAtConnect; }
bool PortSession::RtsOn() const { return connected ? lineRts : rtsChoice && !lowAtConnect; }
bool PortSession::DriverDrivesRts() const { return RtsDriven && RtsDriven(); }

void PortSession::DtrClick() {
    dtrChoice = lineDtr = !DtrOn();
    choices.SetFlag(Choice::Dtr, dtrChoice);
    ApplyModemLines(false);
}

void PortSession::RtsClick() {
    if (DriverDrivesRts()) return;
    rtsChoice = lineRts = !RtsOn();
    choices.SetFlag(Choice::Rts, rtsChoice);
    ApplyModemLines(false);
}

// A port opens with both lines raised: at Connect only a choice otherwise asks anything
// of it. Under RTS/CTS flow control the driver has RTS, raised while it can take more.
void PortSession::ApplyModemLines(bool atConnect) {
    const bool rts = lineRts || DriverDrivesRts();
    if (!port.IsOpen() || (atConnect && lineDtr && rts && !lowAtConnect)) return;
    if (!port.SetModemControl(lineDtr, rts)) history.AddNote(PortName(connectedPort) + " cannot set DTR and RTS");
}

void PortSession::LowAtConnectClick() {
    lowAtConnect = port.ModemLinesLowAtOpen = !lowAtConnect;
    choices.SetFlag(Choice::LowAtConnect, lowAtConnect);
}

// Said in a note either way, so a click never goes unanswered.
void PortSession::SendBreakClick() {
    if (!port.IsOpen() || breakTimer.Enabled()) return;
    if (!port.SetBreak(true)) {
        history.AddNote(PortName(connectedPort) + ": this device cannot send a break");
        return;
    }
    breakTimer.SetEnabled(true);
}

void PortSession::EndBreak() {
    if (!breakTimer.Enabled()) return;
    breakTimer.SetEnabled(false);
    port.SetBreak(false);
}

ByteString PortSession::ModemLinesText() {
    if (!port.IsOpen()) return "Modem lines: not connected";
    platform::SerialDevice::ModemStatus status;
    if (!port.GetModemStatus(status)) return "Modem lines: not available on this device";
    if (!status.known) return "Modem lines: not known yet";
    auto line = [](const char* name, bool on) { return ByteString(name) + (on ? " on" : " off"); };
    return line("CTS", status.cts) + "  " + line("DSR", status.dsr) + "  " + line("CD", status.cd) + "  " +
           line("RI", status.ri);
}

void PortSession::ReconnectClick() {
    reconnect = !reconnect;
    choices.SetFlag(Choice::Reconnect, reconnect);
    if (reconnect) return;
    reconnectTimer.SetEnabled(false);
    port.CancelOpen();
}

// Without reconnecting the port stays open and deaf, as a stalled port always has; with
// it, the dead device is let go, so that the same number can be opened when it is back.
void PortSession::PortLost() {
    history.AddNote(PortName(connectedPort) + " lost: the device went away");
    if (!reconnect || !connected) return;
    port.Close();
    lastReconnectFailure.clear();
    ReconnectAfter(ReconnectCheckMs);
}

void PortSession::ReconnectAfter(int intervalMs) {
    reconnectInterval = std::min(intervalMs, LongestReconnectMs);
    reconnectTimer.SetInterval(reconnectInterval);
    reconnectTimer.SetEnabled(true);
}

// Disconnect, and turning reconnecting off, stop the timer that calls this and forget
// an attempt on its way. The attempt runs off the GUI thread where it may take a while.
void PortSession::TryReconnect() {
    if (port.Opening() || !IsPresent(connectedPort)) return;
    reconnectTimer.SetEnabled(false);
    Sequence(connectedPort, connectedBaud, false, [this](bool opened, const std::string& failure) { Reconnected(opened, failure); });
}

void PortSession::Reconnected(bool opened, const std::string& failure) {
    if (!opened) {
        if (failure != lastReconnectFailure) history.AddNote(PortName(connectedPort) + " is back but cannot be opened: " + failure);
        lastReconnectFailure = failure;
        // A server is asked less and less often; a port of this machine fails to open at
        // once, so it is tried as often as it is looked for (Wine, for one, says a COM
        // port is there while its link leads nowhere yet).
        ReconnectAfter(platform::OpensOverNetwork(connectedPort) ? reconnectInterval * 2 : ReconnectCheckMs);
        return;
    }
    history.AddNote(PortName(connectedPort) + " back");
}
