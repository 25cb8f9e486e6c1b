#include "platform/device/serial_device.h"

namespace platform {

int BitsPerCharacter(const LineSettings& settings) {
    return 1 + settings.ByteSize + (settings.Parity != LineSettings::NoParity ? 1 : 0) +
           (settings.StopBits == LineSettings::TwoStopBits ? 2 : 1);
}

std::chrono::milliseconds WriteBound(const LineSettings& settings, uint32_t size) {
    const int64_t rate = settings.BaudRate == 0 ? 9600 : settings.BaudRate;
    const int64_t onTheLineMs = static_cast<int64_t>(size) * BitsPerCharacter(settings) * 1000 / rate;
    return std::chrono::milliseconds(2 * onTheLineMs + 1000);
}

std::chrono::milliseconds SerialDevice::WriteBoundNow(uint32_t size) {
    LineSettings line;
    if (!GetLineSettings(line)) line = LineSettings();
    return WriteBound(line, size);
}

namespace {
thread_local std::string lastOpenFailure;
}

std::nullptr_t RefuseOpen(uint8_t port, const std::string& device, const std::string& reason) {
    lastOpenFailure = "port " + std::to_string(port) + (device.empty() ? "" : " (" + device + ")") + ": " + reason;
    return nullptr;
}

std::string LastOpenFailure() { return lastOpenFailure; }

}  // namespace platform
