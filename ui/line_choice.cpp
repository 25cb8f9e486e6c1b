#include "ui/line_choice.h"

#include <algorithm>
#include <cstring>
#include <sstream>

using platform::LineSettings;

namespace {

const char ParityLetters[] = "NOEMS";
const char* const StopTexts[] = {"1", "1.5", "2"};
const char* const KeptFlows[] = {"none", "rtscts", "xonxoff"};

template <typename Words>
int IndexOf(const Words& words, const std::string& word) {
    const auto found = std::find(std::begin(words), std::end(words), word);
    return found == std::end(words) ? -1 : static_cast<int>(found - std::begin(words));
}

// A whole number of decimal digits alone, within the rates a port may be asked for.
bool ParseRate(const std::string& text, uint32_t& rate) {
    if (text.empty() || text.size() > 7 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const unsigned long value = std::stoul(text);
    if (value < LowestRate || value > HighestRate) return false;
    rate = static_cast<uint32_t>(value);
    return true;
}

// "8E1": data bits, parity letter, stop bits.
bool ParseFrame(const std::string& text, LineSettings& line) {
    if (text.size() < 3 || text[0] < '5' || text[0] > '8') return false;
    const char* parity = std::strchr(ParityLetters, text[1]);
    const int stop = IndexOf(StopTexts, text.substr(2));
    if (!parity || text[1] == '\0' || stop < 0) return false;
    line.ByteSize = static_cast<uint8_t>(text[0] - '0');
    line.Parity = static_cast<uint8_t>(parity - ParityLetters);
    line.StopBits = static_cast<uint8_t>(stop);
    return true;
}

// With 5 data bits the stop bits are 1 or 1.5; with more, 1 or 2: what ports can send.
std::string StopBitsRefusal(const LineSettings& line) {
    if (line.ByteSize == 5 && line.StopBits == LineSettings::TwoStopBits)
        return "with 5 data bits the stop bits are 1 or 1.5";
    if (line.ByteSize != 5 && line.StopBits == LineSettings::OneAndHalfStopBits)
        return "1.5 stop bits go with 5 data bits only";
    return "";
}

}  // namespace

bool ParseLineChoice(const std::string& text, LineChoice& choice) {
    std::istringstream words(text);
    std::string use, rate, frame, flow, extra;
    if (!(words >> use >> rate >> frame >> flow) || (words >> extra)) return false;
    LineChoice parsed;
    const int flowIndex = IndexOf(KeptFlows, flow);
    if ((use != "use" && use != "off") || !ParseRate(rate, parsed.Line.BaudRate) || !ParseFrame(frame, parsed.Line) ||
        flowIndex < 0 || !StopBitsRefusal(parsed.Line).empty())
        return false;
    parsed.Use = use == "use";
    parsed.Line.Flow = static_cast<uint8_t>(flowIndex);
    choice = parsed;
    return true;
}

// "use 921600 8E1 none": FrameText's words, the flow's kept word after them.
std::string KeptText(const LineChoice& choice) {
    return std::string(choice.Use ? "use " : "off ") + FrameText(choice.Line) + " " +
           KeptFlows[std::min<int>(choice.Line.Flow, 2)];
}

std::string FrameText(const LineSettings& line) {
    return std::to_string(line.BaudRate) + " " + std::to_string(line.ByteSize) + ParityLetters[std::min<int>(line.Parity, 4)] +
           StopTexts[std::min<int>(line.StopBits, 2)];
}

std::string FlowText(uint8_t flow) {
    switch (flow) {
        case LineSettings::RtsCtsFlow: return "RTS/CTS flow control";
        case LineSettings::XonXoffFlow: return "XON/XOFF flow control";
        default: return "no flow control";
    }
}

std::string LineText(const LineSettings& line) { return FrameText(line) + ", " + FlowText(line.Flow); }

std::string LineDifference(const LineSettings& asked, const LineSettings& actual) {
    if (asked == actual) return "";
    LineSettings rateOnly = asked;
    rateOnly.BaudRate = actual.BaudRate;
    if (rateOnly == actual)
        return "asked for " + std::to_string(asked.BaudRate) + ", the port runs at " + std::to_string(actual.BaudRate);
    return "asked for " + LineText(asked) + "; the port runs at " + LineText(actual);
}

std::string LineErrorsText(const platform::LineErrors& errors) {
    std::string text;
    auto add = [&text](unsigned count, const char* one, const char* many) {
        if (!count) return;
        text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + (count == 1 ? one : many);
    };
    add(errors.Parity, "parity error", "parity errors");
    add(errors.Framing, "framing error", "framing errors");
    add(errors.Overruns, "overrun", "overruns");
    add(errors.Breaks, "break", "breaks");
    return text;
}

const std::vector<std::string>& CommonRates() {
    static const std::vector<std::string> rates = {
        "300",    "600",    "1200",   "2400",    "4800",    "9600",    "14400",   "19200",   "38400",
        "57600",  "74880",  "115200", "230400",  "250000",  "460800",  "500000",  "921600",  "1000000",
        "1500000", "2000000", "3000000", "4000000"};
    return rates;
}

const std::vector<std::string>& DataBitsWords() {
    static const std::vector<std::string> words = {"5", "6", "7", "8"};
    return words;
}

const std::vector<std::string>& ParityWords() {
    static const std::vector<std::string> words = {"None", "Odd", "Even", "Mark", "Space"};
    return words;
}

const std::vector<std::string>& StopBitsWords() {
    static const std::vector<std::string> words = {"1", "1.5", "2"};
    return words;
}

const std::vector<std::string>& FlowWords() {
    static const std::vector<std::string> words = {"None", "RTS/CTS", "XON/XOFF"};
    return words;
}

std::string LineFromWords(const std::vector<std::string>& words, LineSettings& line) {
    if (words.size() != 5) return "the line settings are incomplete";
    LineSettings asked;
    if (!ParseRate(words[0], asked.BaudRate))
        return "the baud rate must be a whole number from " + std::to_string(LowestRate) + " to " +
               std::to_string(HighestRate) + ", not \"" + words[0] + "\"";
    const int size = IndexOf(DataBitsWords(), words[1]), parity = IndexOf(ParityWords(), words[2]),
              stop = IndexOf(StopBitsWords(), words[3]), flow = IndexOf(FlowWords(), words[4]);
    if (size < 0 || parity < 0 || stop < 0 || flow < 0) return "choose data bits, parity, stop bits and flow control from their lists";
    asked.ByteSize = static_cast<uint8_t>(5 + size);
    asked.Parity = static_cast<uint8_t>(parity);
    asked.StopBits = static_cast<uint8_t>(stop);
    asked.Flow = static_cast<uint8_t>(flow);
    const std::string refusal = StopBitsRefusal(asked);
    if (refusal.empty()) line = asked;
    return refusal;
}

std::vector<std::string> WordsOfLine(const LineSettings& line) {
    return {std::to_string(line.BaudRate), std::to_string(line.ByteSize), ParityWords()[std::min<int>(line.Parity, 4)],
            StopBitsWords()[std::min<int>(line.StopBits, 2)], FlowWords()[std::min<int>(line.Flow, 2)]};
}
