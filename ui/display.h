#pragma once
#include <cstdint>

#include "platform/byte_string.h"
#include "platform/window/locale.h"

// Display conversions: plain functions from byte string to byte string.

using TColor = uint32_t;  // 0x00BBGGRR
constexpr TColor SentColor = 0xFF0000;     // blue
constexpr TColor ReceivedColor = 0x000000;  // black
constexpr TColor NoteColor = 0x808080;      // grey: comterm's own notes

// Display format: the selected index of the format radios, read by its bits.
enum DisplayFormatBits : int {
    HexadecimalBit = 1,  // show bytes as hexadecimal pairs
    SevenBitBit = 2,     // reduce each byte to 7 bits first
    NineDataBitsBit = 4  // ask the port for 9 data bits; no effect on display
};

ByteString StripTo7Bit(const ByteString& Text);
char HexDigit(uint8_t Value);  // 0..15 to '0'..'9', 'A'..'F'
ByteString HexByte(uint8_t Value);
ByteString ToHexText(const ByteString& Text);  // "41 0D FF ": three bytes per input byte
ByteString MaskControlChars(const ByteString& Text);  // bytes below 0x20 but CR become 0xBA

// The history line for Text in display format Format: Stamp, a blank, then the text
// reduced to 7 bits and/or rendered in hexadecimal as the format says, control bytes masked.
// TextBeside: in the hexadecimal formats the hex is followed by two blanks and the same
// bytes as text on one line, every control byte (CR and LF too) masked.
ByteString BuildHistoryLine(const ByteString& Text, int Format, const ByteString& Stamp, bool TextBeside = false);
// Its length, without building it.
size_t HistoryLineLength(size_t TextSize, int Format, size_t StampSize, bool TextBeside = false);

// The time stamp: the date in the locale's short date picture, then unless it is
// exactly midnight a blank and the time. At most 256 bytes. With Milliseconds the
// seconds get three more digits after the locale's decimal separator.
ByteString FormatTimeStamp(const platform::LocaleTimeSettings& Locale, const platform::LocalDateTime& Moment,
                           bool Milliseconds = false);
