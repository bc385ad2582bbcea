// zask4: identity and scene choice.
#include "variants/variant.h"

static const int sceneTable[] = {21, 23, 28, 36, 37, 38, 41, 42, 48};

const VariantDefinition variant = {
    4,
    "Zask4",
    "1.1",
    "$Id: Zask4 1.1 2015/11/10 00:00:00 Zask Titles $",
    "src\\Zask4",
    0xBDF0000,
    "/programs/zask/zask4",
    0,
    0,
    0,
    sceneTable,
    9,
    false,
};
