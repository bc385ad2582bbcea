#include "operator/engine_memory.h"

#include <cstdlib>

#include "host/allocation_hook.h"

namespace {

bool hostWantsFailure()
{
    return hostAllocationFails != nullptr && hostAllocationFails() != 0;
}

}  // namespace

void* allocateMemory(size_t bytes)
{
    if (hostWantsFailure())
        return nullptr;
    return std::malloc(bytes);
}

void* allocateZeroedMemory(size_t count, size_t size)
{
    if (hostWantsFailure())
        return nullptr;
    return std::calloc(count, size);
}
