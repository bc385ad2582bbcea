// zask1: identity and scene choice.
#include "variants/variant.h"

static const int sceneTable[] = {1, 9, 14, 15, 20, 25, 26, 34, 35};

const VariantDefinition variant = {
    1,
    "Zask1",
    "1.1",
    "$Id: Zask1 1.1 2015/11/10 00:00:00 Zask Titles $",
    "src\\Zask1",
    0xBDC0000,
    "/programs/zask/zask1",
    6,
    6,
    6,
    sceneTable,
    9,
    false,
};
