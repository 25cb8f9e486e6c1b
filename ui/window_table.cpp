#include "ui/window_table.h"

#include <algorithm>

#include "platform/window/history_pane.h"

using platform::ControlKind;

BuiltWindow BuildWindow(const WindowTable& table) {
    BuiltWindow built{platform::MakeWindow(table.Window), {}};
    std::vector<std::pair<int, platform::Control*>> tabStops;
    for (const platform::ControlEntry& entry : table.Controls) {
        platform::Control& control = built.Window->Add(entry);
        built.Controls[entry.Name] = &control;
        if (entry.TabOrder >= 0) tabStops.emplace_back(entry.TabOrder, &control);
    }
    std::sort(tabStops.begin(), tabStops.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<platform::Control*> order;
    for (const auto& stop : tabStops) order.push_back(stop.second);
    built.Window->SetTabOrder(order);
    return built;
}

const WindowTable& MainFormTable() {
    constexpr int L = platform::AnchorLeft, T = platform::AnchorTop, R = platform::AnchorRight, B = platform::AnchorBottom;
    static const WindowTable table{
        // Client area 1007 x 442 of a 1015 x 476 window, in the 8-point system font.
        {" ", 1007, 442, 1015, 476, {"MS Sans Serif", 11}},
        {
            // name            kind                        left top  width height  anchors    tab caption        text
            {"Label1",        ControlKind::Label,        {8, 8, 33, 21},      L | T,         -1, "Com:"},
            {"Label2",        ControlKind::Label,        {88, 8, 57, 21},     L | T,         -1, "Baud Rate:"},
            {"LineEdit",      ControlKind::Edit,         {8, 412, 990, 21},   L | R | B,      0, "", ""},
            {"MainRich",      ControlKind::HistoryPane,  {8, 72, 990, 333},   L | T | R | B,  1},
            {"PortEdit",      ControlKind::Edit,         {40, 8, 33, 21},     L | T,          2, "", "5"},
            {"BaudCombo",     ControlKind::DropDownList, {144, 8, 97, 21},    L | T,          3, "", "",
             {"9600", "14400", "19200", "28800", "38400", "57600", "115200", "128000", "256000"}, -1},
            {"ConnectButton", ControlKind::Button,       {250, 8, 113, 21},   L | T,          4, "Connect"},
            {"FormatRadios",  ControlKind::RadioGroup,   {376, 0, 505, 33},   T | R,          5, "Format", "",
             {"8-Bit ASCII", "8-Bit Hex", "7-Bit ASCII", "7-Bit Hex", "9-Bit ASCII", "9-bit Hex"}, 1, 6},
            {"Button1",       ControlKind::Button,       {892, 8, 105, 21},   T | R,          6, "Clear History"},
            {"TwoStopBits",   ControlKind::CheckBox,     {16, 40, 97, 17},    L | T,          7, "Two Stop Bits"},
        }};
    return table;
}
