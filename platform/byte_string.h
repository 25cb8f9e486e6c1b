#pragma once
#include <string>

// A counted string of 8-bit bytes that may hold any value, 0 included. Every text in
// the program (typed, sent, received, shown) is one, passed without charset conversion.
using ByteString = std::string;
