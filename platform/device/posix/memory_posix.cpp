#include <malloc.h>

#include "platform/device/memory.h"

namespace platform {

void ReturnFreedMemory() { malloc_trim(0); }

}  // namespace platform
