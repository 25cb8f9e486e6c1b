#include "platform/device/win32/dcb_win32.h"

namespace platform {

bool ApplyLineSettings(const LineSettings& settings, DCB& state) {
    if (settings.Flow > LineSettings::XonXoffFlow) return false;
    state.BaudRate = settings.BaudRate;
    state.ByteSize = settings.ByteSize;
    state.Parity = settings.Parity;
    state.fParity = settings.Parity != LineSettings::NoParity;
    state.StopBits = settings.StopBits;
    const bool rtsCts = settings.Flow == LineSettings::RtsCtsFlow, xonXoff = settings.Flow == LineSettings::XonXoffFlow;
    state.fOutxCtsFlow = rtsCts;
    if (rtsCts || state.fRtsControl == RTS_CONTROL_HANDSHAKE)
        state.fRtsControl = rtsCts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    state.fOutX = state.fInX = xonXoff;
    if (xonXoff) {
        // Within the driver's input queue, which the port sets to about a kilobyte: a
        // limit past it is refused.
        state.XonChar = 0x11;
        state.XoffChar = 0x13;
        state.XonLim = 256;
        state.XoffLim = 256;
    }
    return true;
}

void ResetLeftoverState(DCB& state, bool linesLow) {
    state.fBinary = TRUE;
    state.fNull = FALSE;
    state.fErrorChar = FALSE;
    state.fAbortOnError = FALSE;
    state.fDsrSensitivity = FALSE;
    state.fOutxDsrFlow = FALSE;
    state.fTXContinueOnXoff = TRUE;
    state.fDtrControl = linesLow ? DTR_CONTROL_DISABLE : DTR_CONTROL_ENABLE;
    if (state.fRtsControl != RTS_CONTROL_HANDSHAKE) state.fRtsControl = linesLow ? RTS_CONTROL_DISABLE : RTS_CONTROL_ENABLE;
}

LineSettings ReadLineSettings(const DCB& state) {
    LineSettings settings;
    settings.BaudRate = state.BaudRate;
    settings.ByteSize = state.ByteSize;
    // A driver may report a parity it has no name for (Wine, for a terminal left with
    // odd but without parity): the line then has none.
    settings.Parity = state.Parity <= LineSettings::SpaceParity ? state.Parity : LineSettings::NoParity;
    settings.StopBits = state.StopBits;
    settings.Flow = state.fOutxCtsFlow && state.fRtsControl == RTS_CONTROL_HANDSHAKE ? LineSettings::RtsCtsFlow
                    : state.fOutX                                                   ? LineSettings::XonXoffFlow
                                                                                    : LineSettings::NoFlow;
    return settings;
}

}  // namespace platform
