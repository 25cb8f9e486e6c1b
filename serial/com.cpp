#include "serial/com.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/device/memory.h"

namespace {

// A delivery is running: no delivery starts inside another (a receiver that runs the
// message loop lets ticks in). Shared by the process, as deliveries are.
bool Delivering = false;

class DeliveryGuard {
public:
    DeliveryGuard() { Delivering = true; }
    ~DeliveryGuard() { Delivering = false; }
};

constexpr int OpenWatchInterval = 1;  // ms after the opening thread wakes it

}  // namespace

// The opening thread's result: it may outlive the wait for it, and its device then
// closes with it. It wakes the port's watch, unless the attempt was forgotten.
struct TCom::OpenAttempt {
    std::atomic<bool> done{false};
    std::unique_ptr<platform::SerialDevice> device;
    std::string failure;
    std::mutex lock;
    std::function<void()> wake;  // empty once forgotten
};

TCom::TCom(const TComSettings& settings, TPortOpener openPort)
    : Settings(settings), OpenPort(std::move(openPort)) {
    PollTimer.SetEnabled(false);
    PollTimer.SetInterval(PollInterval);
    PollTimer.SetOnTimer([this] { PollTick(); });
    OpenWatch.SetEnabled(false);
    OpenWatch.SetInterval(OpenWatchInterval);
    OpenWatch.SetOnTimer([this] { WatchOpen(); });
}

TCom::~TCom() {
    CancelOpen();
    Close();
}

TCom::TPortOpener TCom::DefaultOpener() {
    return [](uint8_t port, bool modemLinesLow) { return platform::OpenSerialPort(port, modemLinesLow); };
}

bool TCom::Open(uint8_t Port) {
    if (PollTimer.Enabled() || Attempt) return false;
    return Adopt(OpenPort(Port, ModemLinesLowAtOpen));
}

void TCom::OpenInBackground(uint8_t Port, TOpenDone done) {
    if (PollTimer.Enabled() || Attempt) return;
    Attempt = std::make_shared<OpenAttempt>();
    AttemptDone = std::move(done);
    OpenWatch.SetEnabled(true);
    // A port of this machine opens at once; it is told at the next turn of the loop all
    // the same, so that a caller always hears after its call has returned.
    if (!platform::OpensOverNetwork(Port)) {
        Attempt->device = OpenPort(Port, ModemLinesLowAtOpen);
        if (!Attempt->device) Attempt->failure = platform::LastOpenFailure();
        Attempt->done = true;
        return;
    }
    Attempt->wake = [this] { OpenWatch.Wake(); };
    OpenWatch.Park();  // until the opening thread is done
    std::thread([attempt = Attempt, open = OpenPort, Port, low = ModemLinesLowAtOpen] {
        attempt->device = open(Port, low);
        if (!attempt->device) attempt->failure = platform::LastOpenFailure();
        attempt->done = true;
        const std::lock_guard<std::mutex> guard(attempt->lock);
        if (attempt->wake) attempt->wake();
    }).detach();
}

void TCom::WatchOpen() {
    if (!Attempt || !Attempt->done) return;
    const std::shared_ptr<OpenAttempt> attempt = std::move(Attempt);
    const TOpenDone done = std::move(AttemptDone);
    CancelOpen();
    const bool opened = Adopt(std::move(attempt->device));
    if (opened)
        done(true, "");
    else
        done(false, attempt->failure.empty() ? "the port opened but could not be read" : attempt->failure);
}

void TCom::CancelOpen() {
    OpenWatch.SetEnabled(false);
    if (Attempt) {
        const std::lock_guard<std::mutex> guard(Attempt->lock);
        Attempt->wake = nullptr;
    }
    Attempt.reset();
    AttemptDone = nullptr;
}

bool TCom::Adopt(std::unique_ptr<platform::SerialDevice> device) {
    Device = std::move(device);
    if (!Device) return false;
    lost = false;

    // Refusals here are not fatal: the port runs with what it accepted.
    Device->SetupQueues(1026, 255);
    Device->SetReadIntervalTimeout(ReadGap);
    Device->GetLineSettings(PortState);
    PortState.BaudRate = 9600;
    PortState.ByteSize = 7;
    PortState.Parity = platform::LineSettings::EvenParity;
    PortState.StopBits =
        Settings.TwoStopBitsChecked() ? platform::LineSettings::TwoStopBits : platform::LineSettings::OneStopBit;
    PortState.Flow = platform::LineSettings::NoFlow;  // whatever another program, or Line Settings, left
    Device->SetLineSettings(PortState);

    if (StartRead()) return true;
    Device.reset();
    return false;
}

bool TCom::SetBaud(int32_t Rate) {
    if (!PollTimer.Enabled()) return false;
    if (FixedLine) {
        if (Device->SetLineSettings(*FixedLine)) {
            PortState = *FixedLine;
            return true;
        }
        Device->GetLineSettings(PortState);
        return false;
    }
    PortState.BaudRate = static_cast<uint32_t>(Rate);
    PortState.ByteSize = (Settings.FormatIndex() & 4) ? 9 : 8;
    PortState.Parity = platform::LineSettings::NoParity;
    PortState.StopBits = platform::LineSettings::OneStopBit;
    PortState.Flow = platform::LineSettings::NoFlow;
    if (!Device->SetLineSettings(PortState)) Device->GetLineSettings(PortState);
    return true;
}

void TCom::Close() {
    PollTimer.SetEnabled(false);
    ReadDone = false;
    Device.reset();  // ends the outstanding read with it
}

int32_t TCom::Send(const ByteString& Text) { return SendBytes(Text + '\r'); }

int32_t TCom::SendBytes(const ByteString& bytes) { return PollTimer.Enabled() ? SendBytesFromAnyThread(bytes) : 0; }

int32_t TCom::SendBytesFromAnyThread(const ByteString& bytes) {
    platform::SerialDevice* device = Device.get();
    const std::lock_guard<std::mutex> whole(WriteLock);
    return device ? device->Write(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size())) : 0;
}

void TCom::DiscardPendingOutput() {
    if (Device) Device->DiscardPendingOutput();
}

void TCom::WaitUntilSent() {
    if (platform::SerialDevice* device = Device.get()) device->WaitUntilSent();
}

bool TCom::SetModemControl(bool dtr, bool rts) { return Device && Device->SetModemControl(dtr, rts); }

bool TCom::GetModemStatus(platform::SerialDevice::ModemStatus& status) {
    return Device && Device->GetModemStatus(status);
}

bool TCom::ReadBackLineSettings(platform::LineSettings& actual) { return Device && Device->GetLineSettings(actual); }

bool TCom::SetBreak(bool on) { return Device && Device->SetBreak(on); }

platform::LineErrors TCom::TakeLineErrors() { return Device ? Device->TakeLineErrors() : platform::LineErrors(); }

bool TCom::StartRead() {
    PollTimer.SetEnabled(false);
    for (;;) {
        platform::IoStatus status = Device->StartRead(ReadBuffer, ReadSize, BytesRead);
        if (status == platform::IoStatus::Failed) return false;
        if (status == platform::IoStatus::Pending) break;
        // A port that refills as fast as it is read would keep this loop going: past the
        // limit the read counts as outstanding, and the next collecting tick takes it.
        if (Received.size() >= HoldLimit) {
            ReadDone = true;
            break;
        }
        AppendRead();
    }
    try {
        PollTimer.SetEnabled(true);
    } catch (...) {
        Device.reset();  // without ticks the port would stay open but deaf
        throw;
    }
    return true;
}

void TCom::PollTick() {
    // A stream fast enough to complete a read before every tick would never be shown,
    // and would pile up here: after a few ticks in a row that collected, or while whole
    // pieces wait, deliver first.
    const bool backlog = MaxDelivery != 0 && Received.size() >= MaxDelivery;
    const bool deliverFirst = (CollectingTicks >= MaxCollectingTicks || backlog) && !Received.empty() &&
                              !Delivering && !ReceiverRefused;
    const bool holdingEnough = Received.size() >= HoldLimit;
    bool failed = false;
    if (!deliverFirst && !holdingEnough) {
        platform::IoStatus status = ReadDone ? platform::IoStatus::Completed
                                    : Device ? Device->CheckRead(BytesRead)
                                             : platform::IoStatus::Failed;
        ReadDone = false;
        failed = status == platform::IoStatus::Failed;
        if (status == platform::IoStatus::Completed) {
            AppendRead();
            ++CollectingTicks;
            StartRead();
            return;
        }
    }
    // Still waiting, or a port that has gone away: offer what has gathered.
    CollectingTicks = 0;
    if (Delivering || ReceiverRefused) return;
    {
        DeliveryGuard guard;
        Deliver();
        if (OnDeliveryDone) {
            try {
                OnDeliveryDone();
            } catch (...) {
                ReceiverRefused = true;
                throw;
            }
        }
    }
    if (NoticeLoss(failed)) return;
    ParkWhileQuiet();
}

// A device gone for good: once all it sent is delivered, the owner hears of it, and the
// timer sleeps rather than ask a dead device 40 times a second.
bool TCom::NoticeLoss(bool readFailed) {
    if (!Device || !Received.empty()) return false;
    if (!lost) {
        if (!readFailed) return false;
        lost = true;
        PollTimer.Park();
        if (OnLost) OnLost();
    }
    return true;
}

// A tick on a quiet line finds nothing to collect and nothing to deliver: rather than
// wake 40 times a second for nothing, the timer sleeps until the port hears a byte.
void TCom::ParkWhileQuiet() {
    if (!Received.empty() || ReadDone || !Device || !PollTimer.Enabled()) return;
    if (!Device->NotifyOnArrival([this] { PollTimer.Wake(); })) return;
    PollTimer.Park();
    // A flood is over: what it made the port hold goes back to the system.
    if (Received.capacity() < MaxHeldAfterFlood) return;
    ByteString().swap(Received);
    platform::ReturnFreedMemory();
}

void TCom::AppendRead() {
    Received.append(reinterpret_cast<const char*>(ReadBuffer), BytesRead);
}

void TCom::Deliver() {
    if (Received.empty()) return;
    if (SplitAtCR)
        DeliverLines();
    else
        DeliverChunk();
}

// Pieces leave Received in one erase after the loop, so a backlog is not shifted once
// per piece; bytes collected by ticks inside the receiver only append behind them. What
// the receiver refuses stays in front. The first piece takes the odd bytes, so the last,
// the one a flood leaves in view, is whole.
void TCom::DeliverChunk() {
    const auto deadline = std::chrono::steady_clock::now() + DeliveryBudget;
    const size_t odd = MaxDelivery != 0 ? Received.size() % MaxDelivery : 0;
    size_t start = 0;
    do {
        const size_t left = Received.size() - start;
        const size_t size = MaxDelivery == 0 ? left : start == 0 && odd != 0 ? odd : std::min(MaxDelivery, left);
        const size_t end = start + size;
        if (OnReceive) {
            try {
                OnReceive(Received.substr(start, size));
            } catch (...) {
                Received.erase(0, start);
                ReceiverRefused = true;
                throw;
            }
        }
        start = end;
    } while (start < Received.size() && std::chrono::steady_clock::now() < deadline);
    Received.erase(0, start);
}

// The delivered lines leave Received in one erase after the loop, so a backlog of short
// lines is not shifted once per line; ticks inside the receiver only append behind them.
void TCom::DeliverLines() {
    size_t start = 0;
    for (size_t end; (end = Received.find('\r', start)) != ByteString::npos; start = end + 1) {
        if (!OnReceive) continue;
        try {
            OnReceive(Received.substr(start, end - start));
        } catch (...) {
            Received.erase(0, start);  // the refused line stays in front
            ReceiverRefused = true;
            throw;
        }
    }
    Received.erase(0, start);
}
