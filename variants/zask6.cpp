// zask6: identity and scene choice.
#include "variants/variant.h"

const VariantDefinition variant = {
    6,
    "Zask6",
    "2.0",
    "$Id: Zask6 2.0 2015/11/10 00:00:00 Zask Titles $",
    "src\\Zask6",
    0xBE10000,
    "/programs/zask/zask6",
    -4,
    -6,
    -55,
    nullptr,
    0,
    true,
};
