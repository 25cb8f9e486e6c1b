// The far end is COM6, joined to COM5 by the harness's null-modem pair, opened through
// the platform's own serial device.
#include <windows.h>

#include "platform/device/serial_device.h"
#include "tests/far_end.h"

struct FarEnd::Link {
    void Open() {
        port.reset();
        port = platform::OpenSerialPort(6);
        if (!port) throw std::runtime_error("no far end at COM6: " + platform::LastOpenFailure());
        port->SetReadIntervalTimeout(5);
    }
    std::unique_ptr<platform::SerialDevice> port;
};

FarEnd::FarEnd() : link(std::make_unique<Link>()) { link->Open(); }

FarEnd::~FarEnd() = default;

bool FarEnd::Write(const ByteString& bytes) {
    const auto size = static_cast<uint32_t>(bytes.size());
    return link->port->Write(reinterpret_cast<const uint8_t*>(bytes.data()), size) == static_cast<int32_t>(size);
}

ByteString FarEnd::Read(size_t want, std::chrono::milliseconds timeout) {
    ByteString heard;
    const DWORD start = GetTickCount();
    uint8_t buffer[255];
    uint32_t count = 0;
    bool reading = false;
    while (heard.size() < want && GetTickCount() - start < static_cast<DWORD>(timeout.count())) {
        platform::IoStatus status = reading ? link->port->CheckRead(count)
                                            : link->port->StartRead(buffer, sizeof buffer, count);
        reading = status == platform::IoStatus::Pending;
        if (status == platform::IoStatus::Completed) heard.append(reinterpret_cast<char*>(buffer), count);
        if (status == platform::IoStatus::Failed) break;
        if (reading) Sleep(2);
    }
    if (reading) link->Open();  // ends the read in flight
    return heard;
}

int FarEnd::UnusedPort() { return 7; }

bool FarEnd::ExclusiveOpenEnforced() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr;
}
