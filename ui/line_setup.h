#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/window/controls.h"
#include "platform/window/form_box.h"
#include "platform/window/menu.h"
#include "serial/com.h"
#include "ui/choices.h"
#include "ui/history_lines.h"
#include "ui/line_choice.h"

// Line settings the user chose for a port number (any rate, data bits, parity, stop bits,
// flow control), kept per number, used at Connect in place of the window's rules when
// the user says so, and what the port then really runs at.
class LineSetup {
public:
    // portInField: the number in the Com field now; windowRate: the Baud Rate list's text.
    LineSetup(TCom& port, Choices& choices, HistoryLines& history, const platform::Control& owner,
              std::function<unsigned()> portInField, std::function<std::string()> windowRate);

    // The Port menu's item.
    std::vector<platform::MenuCommand> Commands();
    // The box for the port number in the Com field now.
    void ShowBox();
    platform::FormBox* Box() { return box.get(); }

    // What this port number keeps, checked: nothing kept, or a damaged text (said once on
    // standard error), gives the window's rules.
    LineChoice ChoiceFor(unsigned port) const;
    // Connect's first step: the settings the port takes at this Connect, in its FixedLine.
    void BeforeConnect(unsigned port);
    // Once the port took them: a note of what it runs at, and of what it runs at
    // otherwise than asked.
    void AfterConnect(unsigned port);
    // After each delivery of received entries: while the settings are in use, a note of
    // the errors the port reported in them, so that a wrong rate or parity shows at once.
    void NoteLineErrors(unsigned port);
    // Why the port refused them, for the note after a failed Connect.
    std::string RefusedText(unsigned port) const;
    // The Baud Rate list's hint: which settings Connect uses instead, or "".
    std::string BaudHint() const;
    // The driver drives RTS: RTS/CTS flow control is in force.
    bool DriverDrivesRts() const;

private:
    ByteString Accept(unsigned port, const std::vector<ByteString>& values);

    TCom& port;
    Choices& choices;
    HistoryLines& history;
    const platform::Control& owner;
    std::function<unsigned()> portInField;
    std::function<std::string()> windowRate;
    std::unique_ptr<platform::FormBox> box;
    mutable std::set<unsigned> toldDamaged;
};
