#include "platform/device/network_port.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/window/application.h"
#include "platform/device/receive_queue.h"
#include "platform/device/socket.h"
#include "platform/device/telnet.h"

namespace platform {
namespace {

const char RfcScheme[] = "rfc2217://";
const char TcpScheme[] = "tcp://";

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

bool LooksLikeNetworkPort(const std::string& text) { return StartsWith(text, RfcScheme) || StartsWith(text, TcpScheme); }

bool ParseNetworkPort(const std::string& text, NetworkPort& address, std::string& error) {
    const bool rfc2217 = StartsWith(text, RfcScheme);
    if (!rfc2217 && !StartsWith(text, TcpScheme)) {
        error = text + ": not rfc2217://HOST:PORT or tcp://HOST:PORT";
        return false;
    }
    const std::string rest = text.substr(rfc2217 ? sizeof RfcScheme - 1 : sizeof TcpScheme - 1);
    std::string host;
    size_t colon;
    if (!rest.empty() && rest[0] == '[') {
        const size_t close = rest.find(']');
        host = close == std::string::npos ? "" : rest.substr(1, close - 1);
        colon = close == std::string::npos ? std::string::npos : close + 1;
        if (colon != std::string::npos && (colon >= rest.size() || rest[colon] != ':')) colon = std::string::npos;
    } else {
        colon = rest.rfind(':');
        host = colon == std::string::npos ? "" : rest.substr(0, colon);
        if (host.find_first_of(":/[]") != std::string::npos) host.clear();
    }
    const std::string digits = colon == std::string::npos ? "" : rest.substr(colon + 1);
    const bool numeric = !digits.empty() && digits.size() <= 5 && digits.find_first_not_of("0123456789") == std::string::npos;
    const long number = numeric ? std::strtol(digits.c_str(), nullptr, 10) : 0;
    if (host.empty() || host.find_first_of(" \t") != std::string::npos || number < 1 || number > 65535) {
        error = text + ": expected " + (rfc2217 ? RfcScheme : TcpScheme) + "HOST:PORT, PORT from 1 to 65535";
        return false;
    }
    address = {rfc2217, host, static_cast<uint16_t>(number)};
    return true;
}

// The device: the socket read by the receive queue's thread, through the telnet layer for
// rfc2217://, and written from the caller's.
namespace {

using Clock = std::chrono::steady_clock;

// The socket as the reader's source: telnet's own bytes taken out and answered, and
// whoever waits for the server's word woken.
class NetworkSource : public ByteSource {
public:
    NetworkSource(StreamSocket& socket, TelnetLink* telnet, std::mutex& telnetMutex, std::condition_variable& heard,
                  std::function<void(const ByteString&)> send)
        : socket(socket), telnet(telnet), telnetMutex(telnetMutex), heard(heard), send(std::move(send)) {}
    Wait WaitForBytes(const Clock::time_point* deadline) override { return socket.WaitForBytes(deadline); }
    bool NothingWaiting() override { return socket.NothingWaiting(); }
    void Wake() override { socket.Wake(); }

    // Telnet's data is never longer than what carried it, so it fits where the wire's went.
    long Read(char* buffer, size_t size) override {
        const long got = socket.Receive(buffer, size);
        if (got <= 0 || !telnet) return got;
        ByteString data, reply;
        int dropped;
        {
            std::lock_guard<std::mutex> guard(telnetMutex);
            telnet->Receive(buffer, static_cast<size_t>(got), data, reply);
            dropped = telnet->OverlongDropped();
        }
        if (dropped > saidDropped)
            Diagnose("comterm: the server sent a subnegotiation longer than " +
                     std::to_string(TelnetLink::LongestSubnegotiation) + " bytes; it was dropped");
        saidDropped = dropped;
        heard.notify_all();
        send(reply);  // with what an earlier turn could not send
        std::memcpy(buffer, data.data(), data.size());
        return static_cast<long>(data.size());
    }

private:
    StreamSocket& socket;
    TelnetLink* telnet;
    std::mutex& telnetMutex;
    std::condition_variable& heard;
    std::function<void(const ByteString&)> send;
    int saidDropped = 0;
};

// Asked of the far port at Connect: tell of break, framing, parity and overrun errors;
// drop what it read before (its receive buffer).
constexpr uint32_t LineErrorsMask = 0x1E;
constexpr uint32_t PurgeReceived = 1;
constexpr int PurgeAnswerMs = 500;

ByteString BigEndian(uint32_t value, int bytes) {
    ByteString encoded;
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) encoded += static_cast<char>((value >> shift) & 0xFF);
    return encoded;
}

class NetworkSerialDevice : public SerialDevice {
public:
    NetworkSerialDevice(const NetworkPort& address, std::unique_ptr<StreamSocket> connected)
        : rfc2217(address.rfc2217), name(address.host + ":" + std::to_string(address.port)), socket(std::move(connected)),
          source(*socket, rfc2217 ? &telnet : nullptr, telnetMutex, heard, [this](const ByteString& bytes) { Queue(bytes); }),
          received(source) {
        line.BaudRate = 9600;
        received.Start();
    }
    ~NetworkSerialDevice() override { received.Stop(); }

    // rfc2217: the greeting out, then the server's word on the COM-PORT-OPTION, by the
    // deadline. False when it never answers.
    // Then, where the server took the option, it is asked to tell of the modem lines and
    // line errors, and to drop what its port read before this Connect.
    bool Greet(Clock::time_point deadline) {
        if (!rfc2217) return true;
        SendCommands(TelnetLink::Greeting(), deadline);
        bool accepted;
        {
            std::unique_lock<std::mutex> guard(telnetMutex);
            if (!heard.wait_until(guard, deadline, [this] { return telnet.ComPortAccepted() || telnet.ComPortRefused(); }))
                return false;
            accepted = telnet.ComPortAccepted();
        }
        if (!accepted) return true;
        SendCommands(TelnetLink::ComPortCommand(TelnetLink::SetModemStateMask, BigEndian(0xF0, 1)) +
                         TelnetLink::ComPortCommand(TelnetLink::SetLineStateMask, BigEndian(LineErrorsMask, 1)) +
                         TelnetLink::ComPortCommand(TelnetLink::PurgeData, BigEndian(PurgeReceived, 1)),
                     deadline);
        // The port is ours once the old bytes are gone: what the device sends after
        // Connect must not fall to the purge. A server that does not answer it is waited
        // on briefly.
        std::unique_lock<std::mutex> guard(telnetMutex);
        heard.wait_until(guard, std::min(deadline, Clock::now() + std::chrono::milliseconds(PurgeAnswerMs)),
                         [this] { return telnet.Answer(TelnetLink::PurgeData) >= 0; });
        return true;
    }

    bool SetupQueues(uint32_t, uint32_t) override { return true; }
    bool SetReadIntervalTimeout(uint32_t milliseconds) override {
        received.SetInterval(milliseconds + ServerHoldMs + ServerLateMs);
        return true;
    }
    // What the far port said it took wins over what was asked.
    bool GetLineSettings(LineSettings& settings) override {
        settings = line;
        if (!rfc2217) return true;
        std::lock_guard<std::mutex> guard(telnetMutex);
        const int64_t rate = telnet.Answer(TelnetLink::SetBaudRate), size = telnet.Answer(TelnetLink::SetDataSize),
                      parity = telnet.Answer(TelnetLink::SetParity), stop = telnet.Answer(TelnetLink::SetStopSize);
        if (rate > 0) settings.BaudRate = static_cast<uint32_t>(rate);
        if (size >= 5 && size <= 8) settings.ByteSize = static_cast<uint8_t>(size);
        if (parity >= 1 && parity <= 5) settings.Parity = static_cast<uint8_t>(parity - 1);
        if (stop >= 1 && stop <= 3) settings.StopBits = stop == 1 ? LineSettings::OneStopBit : stop == 2 ? LineSettings::TwoStopBits : 1;
        const int flow = telnet.FlowAnswer();
        if (flow >= 1) settings.Flow = FlowOfControl(flow);
        return true;
    }
    // The far port takes 5 to 8 data bits; tcp:// carries bytes alone, settings kept for
    // the write bound only.
    bool SetLineSettings(const LineSettings& settings) override {
        if (!rfc2217) {
            line = settings;
            return true;
        }
        if (settings.ByteSize < 5 || settings.ByteSize > 8 || !ComPortUsable()) return false;
        {
            std::lock_guard<std::mutex> guard(telnetMutex);
            telnet.ForgetAnswers();  // an answer from here on is to these
        }
        SendCommands(TelnetLink::ComPortCommand(TelnetLink::SetBaudRate, BigEndian(settings.BaudRate, 4)) +
                         TelnetLink::ComPortCommand(TelnetLink::SetDataSize, BigEndian(settings.ByteSize, 1)) +
                         TelnetLink::ComPortCommand(TelnetLink::SetParity, BigEndian(settings.Parity + 1u, 1)) +
                         TelnetLink::ComPortCommand(TelnetLink::SetStopSize, BigEndian(StopSize(settings.StopBits), 1)) +
                         Control(ControlOfFlow(settings.Flow)),
                     Clock::now() + std::chrono::seconds(1));
        line = settings;
        return true;
    }
    IoStatus StartRead(uint8_t* buffer, uint32_t size, uint32_t& bytesRead) override {
        return received.StartRead(buffer, size, bytesRead);
    }
    IoStatus CheckRead(uint32_t& bytesRead) override { return received.CheckRead(bytesRead); }
    bool NotifyOnArrival(std::function<void()> arrived) override { return received.NotifyOnArrival(std::move(arrived)); }

    // Data goes in parts, each escaped on its own and sent whole before anything queued
    // meanwhile (a DTR change, an answer owed) goes: so a command never lands inside a
    // doubled 0xFF. The network and the server hold megabytes ahead of a far end that
    // reads slowly: a write gives up only when nothing at all went for its bound, not
    // while it moves, and a discard ends it between two slices of 50 ms. A write cut
    // short still ends the stream where a server can read on. It says how much data went.
    int32_t Write(const uint8_t* data, uint32_t size) override {
        const unsigned discardsBefore = discards;
        const std::chrono::milliseconds stall = WriteBoundNow(size);
        size_t went = 0;
        while (went < size && discards == discardsBefore) {
            const ByteString part(reinterpret_cast<const char*>(data) + went, std::min<size_t>(WritePart, size - went));
            const ByteString wire = rfc2217 ? TelnetLink::Escaped(part) : part;
            std::unique_lock<std::mutex> wireHeld(sendMutex);
            const size_t sent = SendQueued(Clock::now() + stall) ? SendPart(wire, Clock::now() + stall, discardsBefore) : 0;
            if (sent == wire.size()) {
                went += part.size();
                SendQueued(Clock::now());
                continue;
            }
            bool midPair = false;
            went += rfc2217 ? TelnetLink::DataBytesSent(wire, sent, midPair) : sent;
            if (midPair && socket->Send("\xFF", 1, Clock::now() + std::chrono::seconds(1)) == 1) ++went;
            break;
        }
        return static_cast<int32_t>(went);
    }

    bool SetModemControl(bool dtr, bool rts) override {
        if (!ComPortUsable()) return false;
        Queue(Control(dtr ? TelnetLink::DtrOn : TelnetLink::DtrOff) + Control(rts ? TelnetLink::RtsOn : TelnetLink::RtsOff));
        return true;
    }
    bool GetModemStatus(ModemStatus& status) override {
        if (!ComPortUsable()) return false;
        int state;
        {
            std::lock_guard<std::mutex> guard(telnetMutex);
            state = telnet.ModemState();
        }
        status = {(state & 0x10) != 0, (state & 0x20) != 0, (state & 0x80) != 0, (state & 0x40) != 0, state >= 0};
        return true;
    }
    bool SetBreak(bool on) override {
        if (!ComPortUsable()) return false;
        Queue(Control(on ? TelnetLink::BreakOn : TelnetLink::BreakOff));
        return true;
    }
    LineErrors TakeLineErrors() override {
        std::lock_guard<std::mutex> guard(telnetMutex);
        return telnet.TakeLineErrors();
    }
    // Ends a write in progress too: the server is asked to drop what it holds, and the
    // write stops at its next slice.
    void DiscardPendingOutput() override {
        ++discards;
        if (ComPortUsable()) Queue(TelnetLink::ComPortCommand(TelnetLink::PurgeData, BigEndian(2, 1)));
    }

private:
    static uint32_t StopSize(uint8_t stopBits) { return stopBits == LineSettings::TwoStopBits ? 2 : stopBits == 1 ? 3 : 1; }
    static uint8_t ControlOfFlow(uint8_t flow) {
        return flow == LineSettings::RtsCtsFlow ? TelnetLink::HardwareFlow
               : flow == LineSettings::XonXoffFlow ? TelnetLink::XonXoffFlow : TelnetLink::NoFlow;
    }
    static uint8_t FlowOfControl(int control) {
        return control == TelnetLink::HardwareFlow  ? LineSettings::RtsCtsFlow
               : control == TelnetLink::XonXoffFlow ? LineSettings::XonXoffFlow : LineSettings::NoFlow;
    }
    static ByteString Control(uint8_t value) { return TelnetLink::ComPortCommand(TelnetLink::SetControl, BigEndian(value, 1)); }

    // A server that refused the COM-PORT-OPTION keeps the settings it has: said once.
    bool ComPortUsable() {
        if (!rfc2217) return false;
        std::lock_guard<std::mutex> guard(telnetMutex);
        if (!telnet.ComPortRefused()) return true;
        if (!toldRefused)
            Diagnose("comterm: " + name + " does not take line settings or modem lines; the port works with the settings it has");
        toldRefused = true;
        return false;
    }

    // With the wire held: the whole part unless the deadline passes or a discard comes;
    // the count sent.
    size_t SendPart(const ByteString& wire, Clock::time_point deadline, unsigned discardsBefore) {
        size_t sent = 0;
        while (sent < wire.size() && discards == discardsBefore && Clock::now() < deadline) {
            const Clock::time_point slice = std::min(deadline, Clock::now() + std::chrono::milliseconds(DiscardCheckMs));
            const size_t went = socket->Send(wire.data() + sent, wire.size() - sent, slice);
            sent += went;
            if (went == 0 && Clock::now() < slice) break;  // the connection failed
        }
        return sent;
    }

    // Commands of our own: queued, so they go whole and in order, then waited on until
    // the deadline.
    void SendCommands(const ByteString& bytes, Clock::time_point deadline) {
        Queue(bytes);
        std::lock_guard<std::mutex> wireHeld(sendMutex);
        SendQueued(deadline);
    }

    // Answers owed to the server and the modem lines' commands never wait: the reader
    // must go on reading, and the window must not wait behind a file's part. They go now
    // if the wire is free and takes them, else between two parts of a write.
    void Queue(const ByteString& bytes) {
        {
            std::lock_guard<std::mutex> guard(queueMutex);
            queued += bytes;
        }
        std::unique_lock<std::mutex> wire(sendMutex, std::try_to_lock);
        if (wire.owns_lock()) SendQueued(Clock::now());
    }

    // With the wire held: true once nothing queued is left. What is queued is taken under
    // its lock and sent outside it, so whoever queues more never waits on the wire; what
    // did not go stays first in line.
    bool SendQueued(Clock::time_point deadline) {
        ByteString taking;
        {
            std::lock_guard<std::mutex> guard(queueMutex);
            taking.swap(queued);
        }
        if (taking.empty()) return true;
        const size_t went = socket->Send(taking.data(), taking.size(), deadline);
        if (went == taking.size()) return true;
        std::lock_guard<std::mutex> guard(queueMutex);
        queued.insert(0, taking, went, ByteString::npos);
        return false;
    }

    const bool rfc2217;
    const std::string name;
    std::unique_ptr<StreamSocket> socket;
    static constexpr size_t WritePart = 4096;  // data bytes a part
    static constexpr int DiscardCheckMs = 50;
    std::atomic<unsigned> discards{0};
    std::mutex sendMutex;  // the wire, one writer at a time
    std::mutex queueMutex;
    ByteString queued;     // owed to the server, not yet on the wire
    std::mutex telnetMutex;
    std::condition_variable heard;  // the reader took in something of the server's
    TelnetLink telnet;
    bool toldRefused = false;
    LineSettings line;
    NetworkSource source;
    ReceiveQueue received;
};

}  // namespace

std::unique_ptr<SerialDevice> OpenNetworkPort(uint8_t port, const std::string& text) {
    NetworkPort address;
    std::string error;
    if (!ParseNetworkPort(text, address, error)) return RefuseOpen(port, "", error);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(NetworkConnectLimitMs);
    std::unique_ptr<StreamSocket> socket = StreamSocket::Connect(address.host, address.port, deadline, error);
    if (!socket) return RefuseOpen(port, text, error);
    auto device = std::make_unique<NetworkSerialDevice>(address, std::move(socket));
    if (!device->Greet(deadline)) return RefuseOpen(port, text, "the server took the connection but never answered");
    return device;
}

}  // namespace platform
