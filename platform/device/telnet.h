#pragma once
// The telnet side of a serial port served over the network (RFC 854, RFC 2217): the data
// escaped both ways, the options negotiated, and the COM-PORT-OPTION's commands and the
// server's answers. Bytes in, bytes out: no socket here.
#include <algorithm>
#include <bitset>
#include <cstdint>
#include <iterator>

#include "platform/byte_string.h"
#include "platform/device/serial_device.h"

namespace platform {

class TelnetLink {
public:
    // What the client asks for at once: binary data and no go-aheads both ways, and the
    // COM-PORT-OPTION.
    static ByteString Greeting();
    // Data as the wire carries it: every 0xFF doubled.
    static ByteString Escaped(const ByteString& data);
    // A COM-PORT-OPTION command with its value, ready for the wire.
    static ByteString ComPortCommand(uint8_t command, const ByteString& value);

    // Takes bytes as they came off the wire, in any pieces: appends the data among them
    // to `data` and what must be answered to `reply`. Answers are owed once an option,
    // so a server that floods negotiations is answered a bounded number of bytes.
    void Receive(const char* bytes, size_t size, ByteString& data, ByteString& reply);

    // A subnegotiation longer than any the COM-PORT-OPTION needs is dropped whole, so a
    // server that never ends one costs neither memory nor the data after it.
    static constexpr size_t LongestSubnegotiation = 64;
    // How many were dropped so far, and what the one in progress holds.
    int OverlongDropped() const { return overlongDropped; }
    size_t SubnegotiationHeld() const { return sub.size(); }

    // The server took the COM-PORT-OPTION, or refused it.
    bool ComPortAccepted() const { return comPort == Agreed::Yes; }
    bool ComPortRefused() const { return comPort == Agreed::No; }
    // The modem lines as the server last told them (NOTIFY-MODEMSTATE): CTS 0x10,
    // DSR 0x20, RI 0x40, CD 0x80. -1 before the first.
    int ModemState() const { return modemState; }
    // The server's last answer to a command (by the command's own code), -1 for none
    // since the answers were last forgotten (as new settings go out).
    int64_t Answer(uint8_t command) const { return command < 16 ? answers[command] : -1; }
    void ForgetAnswers() {
        std::fill(std::begin(answers), std::end(answers), -1);
        flowAnswer = -1;
    }
    // The line errors the server told of (NOTIFY-LINESTATE) since the last call.
    LineErrors TakeLineErrors() {
        const LineErrors told = lineErrors;
        lineErrors = {};
        return told;
    }
    // The server's last answer on outbound flow control (NoFlow, XonXoffFlow or
    // HardwareFlow), apart from its answers on DTR, RTS and break; -1 for none.
    int FlowAnswer() const { return flowAnswer; }
    // How many data bytes of `wire` (as Escaped made it) its first `sent` bytes carry,
    // and whether they end between the two bytes of a doubled 0xFF.
    static size_t DataBytesSent(const ByteString& wire, size_t sent, bool& midPair);

    enum Command : uint8_t {
        SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, SetControl = 5,
        NotifyLineState = 6, NotifyModemState = 7, SetLineStateMask = 10, SetModemStateMask = 11, PurgeData = 12
    };
    enum Control : uint8_t { NoFlow = 1, XonXoffFlow = 2, HardwareFlow = 3, BreakOn = 5, BreakOff = 6, DtrOn = 8, DtrOff = 9, RtsOn = 11, RtsOff = 12 };
    static constexpr uint8_t ServerOffset = 100;  // an answer's code: the command's plus this

private:
    enum class State { Data, Iac, Verb, Sub, SubIac, SubSkip, SubSkipIac };
    enum class Agreed { Asked, Yes, No };
    void Command(uint8_t byte, ByteString& data);  // the byte after an IAC outside a subnegotiation
    void SubByte(uint8_t byte);
    void Negotiate(uint8_t verb, uint8_t option, ByteString& reply);
    void SubNegotiation();

    State state = State::Data;
    uint8_t heardVerb = 0;
    ByteString sub;
    // Options on our side (we WILL) and theirs (they WILL): binary, go-ahead suppression,
    // and the COM-PORT-OPTION, ours only. All asked for in the greeting.
    bool ourBinary = true, ourNoGoAhead = true, theirBinary = true, theirNoGoAhead = true;
    Agreed comPort = Agreed::Asked;
    std::bitset<256> refusedOurs, refusedTheirs;  // options not ours, refused once each
    int overlongDropped = 0;
    int modemState = -1;
    int flowAnswer = -1;
    LineErrors lineErrors;
    int64_t answers[16] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};

}  // namespace platform
