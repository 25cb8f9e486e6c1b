#include "platform/device/telnet.h"

namespace platform {
namespace {

constexpr uint8_t Iac = 255, Dont = 254, Do = 253, Wont = 252, Will = 251, Sb = 250, Se = 240;
constexpr uint8_t Binary = 0, SuppressGoAhead = 3, ComPortOption = 44;

ByteString Negotiation(uint8_t verb, uint8_t option) {
    return {static_cast<char>(Iac), static_cast<char>(verb), static_cast<char>(option)};
}

}  // namespace

ByteString TelnetLink::Greeting() {
    return Negotiation(Will, Binary) + Negotiation(Do, Binary) + Negotiation(Will, SuppressGoAhead) +
           Negotiation(Do, SuppressGoAhead) + Negotiation(Will, ComPortOption);
}

ByteString TelnetLink::Escaped(const ByteString& data) {
    ByteString wire;
    wire.reserve(data.size());
    for (char byte : data) {
        wire += byte;
        if (static_cast<uint8_t>(byte) == Iac) wire += byte;
    }
    return wire;
}

size_t TelnetLink::DataBytesSent(const ByteString& wire, size_t sent, bool& midPair) {
    size_t data = 0;
    midPair = false;
    for (size_t at = 0; at < sent && at < wire.size(); ++at, ++data) {
        if (static_cast<uint8_t>(wire[at]) != Iac) continue;
        if (at + 1 >= sent) {
            midPair = true;
            break;
        }
        ++at;  // the pair's second byte
    }
    return data;
}

ByteString TelnetLink::ComPortCommand(uint8_t command, const ByteString& value) {
    return ByteString{static_cast<char>(Iac), static_cast<char>(Sb), static_cast<char>(ComPortOption),
                      static_cast<char>(command)} +
           Escaped(value) + ByteString{static_cast<char>(Iac), static_cast<char>(Se)};
}

void TelnetLink::Receive(const char* bytes, size_t size, ByteString& data, ByteString& reply) {
    for (size_t at = 0; at < size; ++at) {
        const auto byte = static_cast<uint8_t>(bytes[at]);
        switch (state) {
            case State::Data:
                if (byte == Iac) state = State::Iac;
                else data += static_cast<char>(byte);
                break;
            case State::Iac:
                Command(byte, data);
                break;
            case State::Verb:
                Negotiate(heardVerb, byte, reply);
                state = State::Data;
                break;
            case State::Sub:
                if (byte == Iac) state = State::SubIac;
                else SubByte(byte);
                break;
            case State::SubIac:
                if (byte == Iac) {
                    state = State::Sub;
                    SubByte(byte);
                } else if (byte == Se) {
                    SubNegotiation();
                    state = State::Data;
                } else {  // a command where only IAC SE may stand: the broken one is dropped
                    Command(byte, data);
                }
                break;
            case State::SubSkip:
                if (byte == Iac) state = State::SubSkipIac;
                break;
            case State::SubSkipIac:
                if (byte == Iac) state = State::SubSkip;
                else Command(byte, data);  // SE ends it; another command ends it too
                break;
        }
    }
}

void TelnetLink::SubByte(uint8_t byte) {
    if (sub.size() < LongestSubnegotiation) {
        sub += static_cast<char>(byte);
        return;
    }
    ++overlongDropped;
    sub.clear();
    state = State::SubSkip;
}

void TelnetLink::Command(uint8_t byte, ByteString& data) {
    state = State::Data;
    if (byte == Iac) {
        data += static_cast<char>(byte);
    } else if (byte >= Will && byte <= Dont) {
        heardVerb = byte;
        state = State::Verb;
    } else if (byte == Sb) {
        sub.clear();
        state = State::Sub;
    }  // SE, NOP, GA and the like: nothing to do
}

// Agrees to what it asked for and refuses everything else. An answer goes out only when
// the option changes, so two sides never echo each other for ever.
void TelnetLink::Negotiate(uint8_t verb, uint8_t option, ByteString& reply) {
    const bool on = verb == Will || verb == Do;
    const bool ours = verb == Do || verb == Dont;  // they speak of our side
    if (ours && option == ComPortOption) {
        const Agreed now = on ? Agreed::Yes : Agreed::No;
        if (now == Agreed::No && comPort == Agreed::Yes) reply += Negotiation(Wont, option);
        comPort = now;
        return;
    }
    bool* side = nullptr;
    if (option == Binary) side = ours ? &ourBinary : &theirBinary;
    if (option == SuppressGoAhead) side = ours ? &ourNoGoAhead : &theirNoGoAhead;
    if (!side) {  // not one of ours: refuse what is offered or asked, once
        std::bitset<256>& refused = ours ? refusedOurs : refusedTheirs;
        if (on && !refused[option]) reply += Negotiation(ours ? Wont : Dont, option);
        refused[option] = true;
        return;
    }
    if (*side == on) return;
    *side = on;
    reply += Negotiation(ours ? (on ? Will : Wont) : (on ? Do : Dont), option);
}

void TelnetLink::SubNegotiation() {
    if (sub.size() < 2 || static_cast<uint8_t>(sub[0]) != ComPortOption) return;
    const int command = static_cast<uint8_t>(sub[1]) - ServerOffset;
    if (command < 0 || command >= 16) return;
    int64_t value = 0;
    for (size_t at = 2; at < sub.size() && at < 6; ++at) value = value << 8 | static_cast<uint8_t>(sub[at]);
    answers[command] = value;
    if (command == SetControl && value >= NoFlow && value <= HardwareFlow) flowAnswer = static_cast<int>(value);
    if (command == NotifyModemState && sub.size() >= 3) modemState = static_cast<uint8_t>(sub[2]);
    if (command == NotifyLineState && sub.size() >= 3) {
        const auto state = static_cast<uint8_t>(sub[2]);
        lineErrors.Overruns += (state & 0x02) ? 1 : 0;
        lineErrors.Parity += (state & 0x04) ? 1 : 0;
        lineErrors.Framing += (state & 0x08) ? 1 : 0;
        lineErrors.Breaks += (state & 0x10) ? 1 : 0;
    }
}

}  // namespace platform
