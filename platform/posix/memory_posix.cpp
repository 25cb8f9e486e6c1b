#include <malloc.h>

#include "platform/memory.h"

namespace platform {

void ReturnFreedMemory() { malloc_trim(0); }

}  // namespace platform
