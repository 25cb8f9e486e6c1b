#pragma once
#include "platform/byte_string.h"

// A typed line with its escapes turned into the bytes they name: \r \n \t \0 \\ and \xHH
// (two hexadecimal digits). Throws std::invalid_argument naming a malformed escape and
// its column (from 1), so that nothing of the line is sent.
ByteString InterpretEscapes(const ByteString& line);
