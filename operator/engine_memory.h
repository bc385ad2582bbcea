// The operator's working allocations: the render buffers of the initialise
// action, the letter list entries and the preview's blocks. Plain malloc and
// calloc, except that the host may ask for a failure (host/allocation_hook.h).
#pragma once

#include <cstddef>

void* allocateMemory(size_t bytes);
void* allocateZeroedMemory(size_t count, size_t size);
