#pragma once
#include <string>
#include <vector>

#include "platform/device/serial_device.h"

// Line settings a user chose for one port: whether Connect uses them, and what they are.
// Kept in the settings file as one text, "use 921600 8E1 none" (or "off ..."), checked
// before use: a damaged text gives nothing.
struct LineChoice {
    bool Use = false;
    platform::LineSettings Line;
};

bool ParseLineChoice(const std::string& text, LineChoice& choice);
std::string KeptText(const LineChoice& choice);

// "921600 8E1", "300 5N1.5"
std::string FrameText(const platform::LineSettings& line);
// "no flow control", "RTS/CTS flow control", "XON/XOFF flow control"
std::string FlowText(uint8_t flow);
// "921600 8N1, no flow control"
std::string LineText(const platform::LineSettings& line);
// What the port runs at against what was asked: "" when the same, else
// "asked for 250000, the port runs at 249600" or, beyond the rate,
// "asked for 19200 8E1, no flow control; the port runs at 19200 8N1, no flow control".
std::string LineDifference(const platform::LineSettings& asked, const platform::LineSettings& actual);

// "3 parity errors, 1 break"; "" for none.
std::string LineErrorsText(const platform::LineErrors& errors);

// The choices the line settings box offers, in its order.
const std::vector<std::string>& CommonRates();
const std::vector<std::string>& DataBitsWords();
const std::vector<std::string>& ParityWords();   // "None", "Odd", "Even", "Mark", "Space"
const std::vector<std::string>& StopBitsWords(); // "1", "1.5", "2"
const std::vector<std::string>& FlowWords();     // "None", "RTS/CTS", "XON/XOFF"

constexpr uint32_t LowestRate = 50, HighestRate = 4000000;

// The box's words as settings: "" when they make one the port can be asked for, else
// why not ("the baud rate must be a whole number from 50 to 4000000").
std::string LineFromWords(const std::vector<std::string>& words, platform::LineSettings& line);
// The settings as the box shows them: rate, data bits, parity, stop bits, flow.
std::vector<std::string> WordsOfLine(const platform::LineSettings& line);
