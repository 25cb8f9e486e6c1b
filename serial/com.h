#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/byte_string.h"
#include "platform/window/periodic_timer.h"
#include "platform/device/serial_device.h"

// The two window settings the port reads at the moment it is called.
class TComSettings {
public:
    virtual ~TComSettings() = default;
    virtual bool TwoStopBitsChecked() const = 0;  // read by Open
    virtual int FormatIndex() const = 0;   // read by SetBaud: bit 2 asks for 9 data bits
};

// The one serial port of the terminal: open by number, line settings, send, close, and
// the receive pump that a 25 ms timer drives on the GUI thread.
class TCom {
public:
    using TReceiveEvent = std::function<void(const ByteString& text)>;
    using TPortOpener = std::function<std::unique_ptr<platform::SerialDevice>(uint8_t port, bool modemLinesLow)>;

    explicit TCom(const TComSettings& settings, TPortOpener openPort = DefaultOpener());
    ~TCom();
    TCom(const TCom&) = delete;
    TCom& operator=(const TCom&) = delete;

    bool Open(uint8_t Port);
    // Opens without holding the GUI thread: a port on another machine is opened on a
    // thread of its own, any other at once; `done` is told at a later turn of the loop
    // either way, never before this returns. `failure` says why it did not open.
    using TOpenDone = std::function<void(bool opened, const std::string& failure)>;
    void OpenInBackground(uint8_t Port, TOpenDone done);
    bool Opening() const { return Attempt != nullptr; }
    // Forgets an attempt: a device it still brings is closed, and `done` is not told.
    void CancelOpen();
    // The window's rules for the line at this rate, or the line settings in force instead
    // when FixedLine holds some. False only when the port refused FixedLine: it then runs
    // as it did.
    bool SetBaud(int32_t Rate);
    // Settings the user chose for the port, which SetBaud applies instead of the window's.
    std::optional<platform::LineSettings> FixedLine;
    void Close();
    int32_t Send(const ByteString& Text);
    // Writes exactly these bytes; the count written.
    int32_t SendBytes(const ByteString& bytes);
    // The same from another thread, which the owner stops before the port closes or
    // opens again. Writes from two threads go one after the other, each whole.
    int32_t SendBytesFromAnyThread(const ByteString& bytes);
    // Drops what the driver holds to be sent, ending a send that waits on it.
    void DiscardPendingOutput();
    // Returns once the driver says what was written has left the port, where it can say;
    // from the thread that sends with SendBytesFromAnyThread.
    void WaitUntilSent();

    // The modem lines, while open: false where the device cannot do it.
    bool SetModemControl(bool dtr, bool rts);
    bool GetModemStatus(platform::SerialDevice::ModemStatus& status);
    bool SetBreak(bool on);
    // What the port reported wrong on the line since last asked; none while closed.
    platform::LineErrors TakeLineErrors();
    // Opens with DTR and RTS low rather than raised.
    bool ModemLinesLowAtOpen = false;

    // The open port's device has gone away (unplugged, its far end closed): told once,
    // after what it sent has been delivered. The port stays open, and deaf, until closed.
    std::function<void()> OnLost;

    bool StartRead();
    void PollTick();

    // The receiver has room again after it refused a delivery: offer what waits.
    void ResumeDelivery() { ReceiverRefused = false; }
    // The timer's running state is the port-open state.
    bool IsOpen() const { return PollTimer.Enabled(); }
    const platform::LineSettings& LineState() const { return PortState; }
    // What the device says it runs at now, which a port on another machine learns from
    // its server some time after the settings were asked.
    bool ReadBackLineSettings(platform::LineSettings& actual);

    TReceiveEvent OnReceive;
    // Told after the texts a tick delivered, so a receiver can show them together.
    std::function<void()> OnDeliveryDone;
    bool SplitAtCR = true;
    // Chunk mode hands over pieces of at most this many bytes (0: all gathered as one),
    // so that each fits the receiver. A tick hands over pieces for DeliveryBudget at
    // most: a flood is shown as fast as the receiver goes, yet never holds the GUI
    // thread for long.
    size_t MaxDelivery = 0;
    static constexpr std::chrono::milliseconds DeliveryBudget{10};

    static constexpr int PollInterval = 25;        // ms
    static constexpr uint32_t ReadSize = 255;      // bytes per read
    static constexpr uint32_t ReadGap = 5;         // ms between bytes that ends a read
    // What waits here for delivery is bounded: past it ticks only deliver, and the
    // port's own queue, then the device, are held back.
    static constexpr size_t HoldLimit = 2 << 20;
    static constexpr size_t MaxHeldAfterFlood = 64 << 10;  // kept for the next burst

private:
    static TPortOpener DefaultOpener();
    // The port's device as an opener gave it: set up, and its first read started.
    bool Adopt(std::unique_ptr<platform::SerialDevice> device);
    void WatchOpen();
    void AppendRead();
    bool NoticeLoss(bool readFailed);
    void Deliver();
    void DeliverChunk();
    void DeliverLines();
    void ParkWhileQuiet();

    const TComSettings& Settings;
    TPortOpener OpenPort;
    std::unique_ptr<platform::SerialDevice> Device;
    std::mutex WriteLock;  // a line typed never lands inside a file's piece
    platform::LineSettings PortState;
    uint8_t ReadBuffer[ReadSize] = {};
    uint32_t BytesRead = 0;
    bool ReadDone = false;  // the outstanding read completed as it started; not yet collected
    ByteString Received;
    bool ReceiverRefused = false;  // the receiver raised: hold deliveries until resumed
    int CollectingTicks = 0;  // ticks in a row that collected
    static constexpr int MaxCollectingTicks = 4;
    bool lost = false;
    platform::PeriodicTimer PollTimer;
    struct OpenAttempt;
    std::shared_ptr<OpenAttempt> Attempt;  // shared with the thread that opens
    TOpenDone AttemptDone;
    platform::PeriodicTimer OpenWatch;
};
