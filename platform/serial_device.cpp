#include "platform/serial_device.h"

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

}  // namespace platform
