#include <windows.h>

#include "platform/device/memory.h"

namespace platform {

void ReturnFreedMemory() { HeapCompact(GetProcessHeap(), 0); }

}  // namespace platform
