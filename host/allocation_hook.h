// A host may make the plug-in's own working allocations fail on purpose, to
// exercise the plug-in's failure paths: when the host defines this function
// and it answers non-zero, the allocation being made fails as if memory had
// run out. The reference is weak: a host without the function loads the
// plug-in as before, and then no allocation ever fails on purpose.
#pragma once

#include <cstdint>

extern "C" int32_t hostAllocationFails(void) __attribute__((weak));
