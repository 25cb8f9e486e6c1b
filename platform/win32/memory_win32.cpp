#include <windows.h>

#include "platform/memory.h"

namespace platform {

void ReturnFreedMemory() { HeapCompact(GetProcessHeap(), 0); }

}  // namespace platform
