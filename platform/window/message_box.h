#pragma once
#include "platform/byte_string.h"

namespace platform {

constexpr int MessageBoxOk = 0;          // an OK button only
constexpr int MessageBoxStopIcon = 0x10;  // an OK button and a stop icon

// A modal box over the whole application. The message loop keeps running while it is
// open (timer ticks go on); afterwards the window that was active is active again.
void MessageBox(const ByteString& text, const ByteString& caption, int flags);

}  // namespace platform
