#pragma once
#include <cstdint>

#include "platform/byte_string.h"

// A typed number as a 32-bit signed integer. Accepted: leading blanks (0x20 only), then
// an optional + or - and decimal digits within the signed 32-bit range, or a
// hexadecimal prefix ($, x, X, 0x, 0X; no sign) and hexadecimal digits fitting 32 bits,
// taken as the bit pattern. Nothing may follow. Anything else raises
// "'<text>' is not a valid integer value".
int32_t StrToInt(const ByteString& Text);
