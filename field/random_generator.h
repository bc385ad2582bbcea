// The plug-ins' own pseudo-random generator, the same on every platform.
#pragma once

#include <cstdint>

void srandZask(uint32_t seed);
int32_t randZask();   // 0 .. 32767
