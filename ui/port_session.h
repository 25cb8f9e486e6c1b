#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/byte_string.h"
#include "platform/window/menu.h"
#include "platform/window/periodic_timer.h"
#include "serial/com.h"
#include "ui/choices.h"
#include "ui/history_lines.h"

// The connected port beyond opening it: why the last Connect failed, DTR and RTS, a
// break, the modem lines, and what happens when the port goes away and comes back.
// The window's commands tell it when they connect and disconnect.
class PortSession {
public:
    PortSession(TCom& port, Choices& choices, HistoryLines& history);
    ~PortSession();

    // The Port menu.
    std::vector<platform::MenuCommand> Commands();

    // What Connect does beyond the port's own steps, told by whoever owns the line
    // settings: which settings the port number uses, what was applied (its notes, the
    // read-back, the line errors' baseline), and how a refusal is said.
    struct LineSteps {
        std::function<void(uint8_t port)> choose;
        std::function<void(uint8_t port)> applied;
        std::function<std::string(uint8_t port)> refused;
    };
    LineSteps Line;

    // The one Connect sequence, for Connect and for a port that came back alike: open
    // (off the GUI thread for a port on another machine), the line settings in use, what
    // the driver took and the line errors' baseline, the modem lines. Why it failed is
    // kept for the port list and said on standard error; a port that refused its
    // settings is closed again. A second Connect while one runs is ignored.
    void Connect(uint8_t port, int32_t baud, std::function<void(bool opened)> done);
    bool Opening() const { return port.Opening(); }
    // Whether a port number leads to a device now; the system's answer unless a test's.
    std::function<bool(uint8_t port)> IsPresent;
    // Connected to this port at this rate (0: none chosen), its modem lines as chosen.
    void Connected(uint8_t port, int32_t baud);
    void Disconnected();
    uint8_t ConnectedPort() const { return connectedPort; }
    // The ports present, after why the last Connect failed where it did.
    std::string PresentPortsText() const;
    // Why the last Connect failed, as a note says it: "port 3 (/dev/ttyUSB0): ...".
    const std::string& ConnectFailure() const { return lastConnectFailure; }

    void DtrClick();
    void RtsClick();
    bool DtrOn() const;
    bool RtsOn() const;
    // Whether the driver has RTS (RTS/CTS flow control): the RTS item is then greyed.
    std::function<bool()> RtsDriven;
    bool DriverDrivesRts() const;
    void LowAtConnectClick();
    void SendBreakClick();
    ByteString ModemLinesText();
    void ReconnectClick();
    bool Reconnecting() const { return reconnectTimer.Enabled() || port.Opening(); }
    // The port reported itself gone.
    void PortLost();

private:
    // fresh: a Connect, whose modem lines start from the choices; otherwise a port that
    // came back, whose lines stay as they stood.
    void Sequence(uint8_t number, int32_t baud, bool fresh, std::function<void(bool opened, const std::string& failure)> done);
    void ApplyModemLines(bool atConnect);
    void EndBreak();
    // A port on another machine is asked its settings and answers later: a moment after
    // Connect, what it runs at is compared with what was asked, and a difference said.
    void CompareWithFarPort();
    void TryReconnect();
    void Reconnected(bool opened, const std::string& failure);
    // Tries again after the interval, longer after each failure up to the longest.
    void ReconnectAfter(int intervalMs);

    TCom& port;
    Choices& choices;
    HistoryLines& history;
    std::string lastConnectFailure;
    bool connected = false;
    bool dtrChoice, rtsChoice, lowAtConnect, reconnect;
    bool lineDtr = true, lineRts = true;  // as the lines stand while connected
    uint8_t connectedPort = 0;
    int32_t connectedBaud = 0;  // 0: none chosen
    std::string lastReconnectFailure;
    int reconnectInterval = 0;  // ms
    platform::PeriodicTimer reconnectTimer;
    platform::PeriodicTimer breakTimer;  // ends a break: the window goes on meanwhile
    platform::PeriodicTimer farPortTimer;
};
