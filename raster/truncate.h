// Float-to-integer conversion as the arithmetic requires it: toward zero, and
// INT_MIN for NaN or a value outside the 32-bit range (what the x86 conversion
// instruction gives; a bare cast of such a value is undefined).
#pragma once

#include <climits>
#include <cstdint>

inline int32_t truncateToInt(double value)
{
    if (!(value > -2147483649.0 && value < 2147483648.0))
        return INT_MIN;
    return static_cast<int32_t>(value);
}
