// The serial device on Win32: overlapped I/O on \\.\COM<N>; the driver does the
// interval time-out, so no thread of ours reads.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "platform/device/network_port.h"
#include "platform/device/serial_device.h"
#include "platform/device/win32/dcb_win32.h"
#include "platform/files/settings.h"

namespace platform {
namespace {

std::string SystemMessage(DWORD error) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text, nullptr);
    std::string message = text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
}

class Win32SerialDevice : public SerialDevice {
public:
    explicit Win32SerialDevice(HANDLE port) : port(port), readDone(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

    ~Win32SerialDevice() override {
        EndArrivalWait();
        if (reading) {  // the buffer must outlive the read: cancel it and see it end
            CancelIoEx(port, &readOverlap);
            DWORD count;
            GetOverlappedResult(port, &readOverlap, &count, TRUE);
        }
        CloseHandle(port);
        CloseHandle(readDone);
    }

    bool SetupQueues(uint32_t inputBytes, uint32_t outputBytes) override {
        return SetupComm(port, inputBytes, outputBytes);
    }

    bool SetReadIntervalTimeout(uint32_t milliseconds) override {
        COMMTIMEOUTS timeouts{milliseconds, 0, 0, 0, 0};
        return SetCommTimeouts(port, &timeouts);
    }

    bool GetLineSettings(LineSettings& settings) override {
        DCB state;
        if (!ReadState(state)) return false;
        settings = ReadLineSettings(state);
        return true;
    }

    bool SetLineSettings(const LineSettings& settings) override {
        DCB state;
        return ReadState(state) && ApplyLineSettings(settings, state) && SetCommState(port, &state);
    }

    IoStatus StartRead(uint8_t* buffer, uint32_t size, uint32_t& bytesRead) override {
        readBuffer = buffer;
        readSize = size;
        IoStatus status = IssueRead(bytesRead);
        // A line error with the driver's abort-on-error set fails reads until cleared.
        if (status == IoStatus::Failed && ClearLineErrors()) status = IssueRead(bytesRead);
        return status;
    }

    IoStatus CheckRead(uint32_t& bytesRead) override {
        if (!reading) return IoStatus::Failed;
        DWORD count = 0;
        if (GetOverlappedResult(port, &readOverlap, &count, FALSE)) {
            reading = false;
            bytesRead = count;
            return IoStatus::Completed;
        }
        if (GetLastError() == ERROR_IO_INCOMPLETE) return IoStatus::Pending;
        reading = false;
        // A read ended by a line error goes on once the error is cleared; a port that has
        // gone away fails to clear.
        if (ClearLineErrors()) {
            const IoStatus again = IssueRead(bytesRead);
            if (again != IoStatus::Failed) return again;
        }
        return IoStatus::Failed;
    }

    // The read's own event, watched by the thread pool: it completes a few milliseconds
    // after the first byte, when the line falls quiet.
    bool NotifyOnArrival(std::function<void()> arrived) override {
        if (!reading || HasOverlappedIoCompleted(&readOverlap)) return false;
        EndArrivalWait();
        onArrival = std::move(arrived);
        return RegisterWaitForSingleObject(&arrivalWait, readDone, Arrived, this, INFINITE, WT_EXECUTEONLYONCE);
    }

    // Waits for the driver to take the bytes, but not beyond WriteBound; then the write
    // is cancelled, what is queued for output discarded, and the count taken returned.
    // The write has an event of its own: waiting on the port's handle would also wake
    // when the outstanding read completes.
    // Under RTS/CTS flow control the driver has RTS: it is left to it.
    bool SetModemControl(bool dtr, bool rts) override {
        const bool dtrSet = EscapeCommFunction(port, dtr ? SETDTR : CLRDTR);
        DCB state;
        if (ReadState(state) && state.fRtsControl == RTS_CONTROL_HANDSHAKE) return dtrSet;
        return EscapeCommFunction(port, rts ? SETRTS : CLRRTS) && dtrSet;
    }
    bool GetModemStatus(ModemStatus& status) override {
        DWORD lines = 0;
        if (!GetCommModemStatus(port, &lines)) return false;
        status = {(lines & MS_CTS_ON) != 0, (lines & MS_DSR_ON) != 0, (lines & MS_RLSD_ON) != 0, (lines & MS_RING_ON) != 0};
        return true;
    }
    bool SetBreak(bool on) override { return (on ? SetCommBreak(port) : ClearCommBreak(port)) != 0; }

    // The write waiting on the device sees the count change within DiscardCheckMs and
    // cancels itself: not every driver (Wine's, for one) ends it at the purge alone.
    void DiscardPendingOutput() override {
        ++discards;
        PurgeComm(port, PURGE_TXABORT | PURGE_TXCLEAR);
    }
    void WaitUntilSent() override { FlushFileBuffers(port); }

    // The driver says which errors came since it was last asked, not how many: one each.
    LineErrors TakeLineErrors() override {
        DWORD errors = 0;
        if (!ClearCommError(port, &errors, nullptr)) return {};
        LineErrors taken = pendingErrors;
        pendingErrors = {};
        taken += ErrorsOf(errors);
        return taken;
    }

    int32_t Write(const uint8_t* data, uint32_t size) override {
        const DWORD bound = static_cast<DWORD>(WriteBoundNow(size).count());
        OVERLAPPED writeOverlap{};
        writeOverlap.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD written = 0;
        SetLastError(0);
        if (!WriteFile(port, data, size, &written, &writeOverlap)) {
            if (GetLastError() == ERROR_IO_PENDING) {
                if (!WaitForWrite(writeOverlap.hEvent, bound)) {
                    CancelIoEx(port, &writeOverlap);
                    LineSettings line;
                    if (!GetLineSettings(line) || line.Flow == LineSettings::NoFlow)
                        PurgeComm(port, PURGE_TXABORT | PURGE_TXCLEAR);
                }
                GetOverlappedResult(port, &writeOverlap, &written, TRUE);
            }
        }
        CloseHandle(writeOverlap.hEvent);
        return static_cast<int32_t>(written);
    }

private:
    static constexpr DWORD DiscardCheckMs = 50;

    // True once the write's event is set; false when the bound passed or a discard came.
    bool WaitForWrite(HANDLE done, DWORD bound) {
        const unsigned discardsBefore = discards;
        for (DWORD waited = 0; waited < bound; waited += DiscardCheckMs) {
            if (WaitForSingleObject(done, std::min(DiscardCheckMs, bound - waited)) == WAIT_OBJECT_0) return true;
            if (discards != discardsBefore) return false;
        }
        return false;
    }

    IoStatus IssueRead(uint32_t& bytesRead) {
        EndArrivalWait();
        ResetEvent(readDone);
        readOverlap = OVERLAPPED{};
        readOverlap.hEvent = readDone;
        DWORD count = 0;
        if (ReadFile(port, readBuffer, readSize, &count, &readOverlap)) {
            bytesRead = count;
            return IoStatus::Completed;
        }
        if (GetLastError() != ERROR_IO_PENDING) return IoStatus::Failed;
        reading = true;
        return IoStatus::Pending;
    }

    // True when the port answered: its line errors are then cleared, and kept to be told.
    bool ClearLineErrors() {
        DWORD errors = 0;
        if (!ClearCommError(port, &errors, nullptr)) return false;
        pendingErrors += ErrorsOf(errors);
        return true;
    }

    static LineErrors ErrorsOf(DWORD errors) {
        LineErrors said;
        said.Parity = (errors & CE_RXPARITY) ? 1 : 0;
        said.Framing = (errors & CE_FRAME) ? 1 : 0;
        said.Overruns = (errors & (CE_OVERRUN | CE_RXOVER)) ? 1 : 0;
        said.Breaks = (errors & CE_BREAK) ? 1 : 0;
        return said;
    }

    bool ReadState(DCB& state) {
        state = DCB{};
        state.DCBlength = sizeof state;
        return GetCommState(port, &state);
    }

    static void CALLBACK Arrived(void* self, BOOLEAN) {
        auto* device = static_cast<Win32SerialDevice*>(self);
        if (device->onArrival) device->onArrival();
    }

    // Blocks until a callback under way has returned.
    void EndArrivalWait() {
        if (arrivalWait) UnregisterWaitEx(arrivalWait, INVALID_HANDLE_VALUE);
        arrivalWait = nullptr;
    }

    std::atomic<unsigned> discards{0};
    HANDLE port;
    HANDLE readDone;
    OVERLAPPED readOverlap{};
    uint8_t* readBuffer = nullptr;
    uint32_t readSize = 0;
    bool reading = false;
    HANDLE arrivalWait = nullptr;
    std::function<void()> onArrival;
    LineErrors pendingErrors;
};

}  // namespace

// A number in the [Ports] section of the settings file leads to a port on the network.
std::string NetworkAddressOf(uint8_t port) {
    const std::map<std::string, std::string> ports = Settings().Section("Ports");
    const auto found = ports.find(std::to_string(port));
    return found == ports.end() ? "" : found->second;
}

bool PortPresent(uint8_t port) {
    if (OpensOverNetwork(port)) return true;  // as far as we can tell without asking it
    char target[512];
    if (QueryDosDeviceA(("COM" + std::to_string(port)).c_str(), target, sizeof target) != 0) return true;
    // Wine names no device for a COM port that opens all the same: the port is asked,
    // without access, and let go at once. Held by another program, it is there.
    HANDLE probe = CreateFileA(("\\\\.\\COM" + std::to_string(port)).c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        return true;
    }
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

std::unique_ptr<SerialDevice> OpenSerialPort(uint8_t port, bool modemLinesLow) {
    const std::string network = NetworkAddressOf(port);
    if (!network.empty()) return OpenNetworkPort(port, network);
    const std::string name = "\\\\.\\COM" + std::to_string(port);
    HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool busy = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;  // a COM port is one program's
        return RefuseOpen(port, name, busy ? "busy: another program has it open" : SystemMessage(error));
    }
    if (modemLinesLow) {
        EscapeCommFunction(handle, CLRDTR);
        EscapeCommFunction(handle, CLRRTS);
    }
    PurgeComm(handle, PURGE_RXCLEAR);  // a port opens empty, whatever waited in the driver
    // What another program left behind must not drop, alter or hold back bytes here.
    DCB state{};
    state.DCBlength = sizeof state;
    if (GetCommState(handle, &state)) {
        const DCB before = state;
        ResetLeftoverState(state, modemLinesLow);
        if (std::memcmp(&before, &state, sizeof state) != 0) SetCommState(handle, &state);
    }
    return std::make_unique<Win32SerialDevice>(handle);
}

}  // namespace platform
