// zask5: identity and scene choice.
#include "variants/variant.h"

static const int sceneTable[] = {7, 27, 29, 30, 33, 40, 44, 45, 46, 49};

const VariantDefinition variant = {
    5,
    "Zask5",
    "1.1",
    "$Id: Zask5 1.1 2015/11/10 00:00:00 Zask Titles $",
    "src\\Zask5",
    0xBE00000,
    "/programs/zask/zask5",
    0,
    0,
    1,
    sceneTable,
    10,
    false,
};
