#pragma once
#include "platform/byte_string.h"

namespace platform {

// The glyph that code page 437 draws for a byte (0xBA: U+2551, 0x7F: U+2302). The
// carriage return stays a carriage return; 0x00 draws as a blank.
char16_t Cp437Glyph(unsigned char byte);

// The byte whose glyph this is; '?' for a character code page 437 lacks.
unsigned char Cp437Byte(char16_t glyph);

// Text in UTF-8 as code page 437 bytes; characters it lacks become '?'.
ByteString Cp437FromUtf8(const std::string& utf8);

// Code page 437 bytes as the UTF-8 of their glyphs.
std::string Utf8FromCp437(const ByteString& bytes);

}  // namespace platform
