#pragma once

namespace platform {

// Hands the memory the process has freed back to the system, where the allocator keeps
// it otherwise: after a flood the port's buffers have gone, but the heap they grew stays.
void ReturnFreedMemory();

}  // namespace platform
