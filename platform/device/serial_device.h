#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// Line settings as the port object edits them: rate, data bits, parity, stop bits and
// flow control.
struct LineSettings {
    uint32_t BaudRate = 0;
    uint8_t ByteSize = 8;
    uint8_t Parity = NoParity;
    uint8_t StopBits = OneStopBit;
    uint8_t Flow = NoFlow;

    static constexpr uint8_t NoParity = 0, OddParity = 1, EvenParity = 2, MarkParity = 3, SpaceParity = 4;
    static constexpr uint8_t OneStopBit = 0, OneAndHalfStopBits = 1, TwoStopBits = 2;
    // XON/XOFF: the device's XOFF holds what we send until its XON, and the two bytes are
    // the driver's. RTS/CTS: the driver holds sending while CTS is low, and drives RTS.
    static constexpr uint8_t NoFlow = 0, RtsCtsFlow = 1, XonXoffFlow = 2;

    bool operator==(const LineSettings& other) const {
        return BaudRate == other.BaudRate && ByteSize == other.ByteSize && Parity == other.Parity &&
               StopBits == other.StopBits && Flow == other.Flow;
    }
    bool operator!=(const LineSettings& other) const { return !(*this == other); }
};

// Bits one character takes on the line: start bit, data bits, parity, stop bits.
int BitsPerCharacter(const LineSettings& settings);

// How long a write may wait for the driver to take its bytes: a device that takes
// nothing (halted, or a terminal nobody reads) must not freeze the window. Twice the
// time the bytes need on the line (at 9600 baud when the rate is unknown), plus a second.
std::chrono::milliseconds WriteBound(const LineSettings& settings, uint32_t size);

// What the port reported wrong on the line since it was last asked.
struct LineErrors {
    unsigned Parity = 0, Framing = 0, Overruns = 0, Breaks = 0;
    bool Any() const { return Parity || Framing || Overruns || Breaks; }
    LineErrors& operator+=(const LineErrors& more) {
        Parity += more.Parity;
        Framing += more.Framing;
        Overruns += more.Overruns;
        Breaks += more.Breaks;
        return *this;
    }
};

enum class IoStatus { Completed, Pending, Failed };

// One open serial port: exclusive for as long as the object lives, closed by its
// destructor. Calls come from one thread; the outstanding read proceeds in the background.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Linux has no driver queues to size: the request is accepted and changes nothing.
    virtual bool SetupQueues(uint32_t inputBytes, uint32_t outputBytes) = 0;
    // A read completes when full, or when more than this many ms pass between two bytes
    // after the first; it waits without limit for the first byte. 0: only when full.
    virtual bool SetReadIntervalTimeout(uint32_t milliseconds) = 0;
    virtual bool GetLineSettings(LineSettings& settings) = 0;
    // Fails, leaving the settings in force, when the port cannot take them.
    virtual bool SetLineSettings(const LineSettings& settings) = 0;

    // Starts the one outstanding read into buffer, which must stay valid until the read
    // completes or the device closes. Completed: bytesRead holds the count at once.
    virtual IoStatus StartRead(uint8_t* buffer, uint32_t size, uint32_t& bytesRead) = 0;
    // Non-blocking check of the outstanding read. A device that has gone away (once
    // what it sent has been read), or a check with no read outstanding, reports Failed.
    virtual IoStatus CheckRead(uint32_t& bytesRead) = 0;

    // With the outstanding read still waiting for its first byte: calls `arrived` once,
    // from another thread, when a byte arrives or the device goes away, and returns
    // true. False, and no call, when there is something already.
    virtual bool NotifyOnArrival(std::function<void()> arrived) = 0;

    // Returns once the driver has taken every byte, or on failure; the count written. With
    // flow control on, what the driver took stays queued when the bound passes: the device
    // may be holding it legitimately, and the count says how far it got.
    virtual int32_t Write(const uint8_t* data, uint32_t size) = 0;

    // The modem lines: DTR and RTS out, CTS, DSR, CD and RI in. False where the device
    // has none to set or tell (a pseudo-terminal).
    struct ModemStatus {
        bool cts = false, dsr = false, cd = false, ri = false;
        bool known = true;  // false: the lines are there but not yet told (a port on another machine)
    };
    virtual bool SetModemControl(bool dtr, bool rts) = 0;
    virtual bool GetModemStatus(ModemStatus& status) = 0;
    // Puts the line in the break condition, or ends it; the caller times the break.
    virtual bool SetBreak(bool on) = 0;
    // The errors the port reported since the last call (none where it cannot tell, as a
    // pseudo-terminal).
    virtual LineErrors TakeLineErrors() { return {}; }
    // Drops what waits in the driver to be sent, and ends a write waiting on it; any
    // thread may call it while the device is open.
    virtual void DiscardPendingOutput() {}
    // Returns once the driver says what was written has left the port, where it can say
    // (a UART); at once where it cannot (a pseudo-terminal, a port on another machine),
    // so a caller that needs the bytes gone also allows for their time on the line. A
    // discard ends the wait. Any thread may call it while the device is open.
    virtual void WaitUntilSent() {}

protected:
    // WriteBound for size bytes at the line settings in force (the defaults when they
    // cannot be read).
    std::chrono::milliseconds WriteBoundNow(uint32_t size);
};

// Opens serial port number `port` (COM<port> on Windows; on Linux see posix/port_map.h);
// nullptr when it cannot be had. With modemLinesLow, DTR and RTS go low as the port
// opens, before anything else is done with it.
std::unique_ptr<SerialDevice> OpenSerialPort(uint8_t port, bool modemLinesLow = false);

// Whether port number `port` leads to a device now, found without opening it.
bool PortPresent(uint8_t port);
// The address port number `port` leads to on another machine ("rfc2217://HOST:PORT"),
// whose opening may take seconds (a name lookup, a connection, the server's answer);
// "" for a port of this machine.
std::string NetworkAddressOf(uint8_t port);
inline bool OpensOverNetwork(uint8_t port) { return !NetworkAddressOf(port).empty(); }

// Why the last OpenSerialPort on this thread failed, for whoever reads standard error:
// "port 3 (/dev/ttyUSB0): Permission denied: join the dialout group (...)".
std::string LastOpenFailure();

// For the backends' OpenSerialPort: records why port (device, when known) cannot be
// had, for LastOpenFailure; nullptr.
std::nullptr_t RefuseOpen(uint8_t port, const std::string& device, const std::string& reason);

}  // namespace platform
