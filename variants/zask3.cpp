// zask3: identity and scene choice.
#include "variants/variant.h"

static const int sceneTable[] = {5, 6, 16, 17, 19, 22, 24, 31, 32, 39, 47};

const VariantDefinition variant = {
    3,
    "Zask3",
    "2.0",
    "$Id: Zask3 2.0 2015/11/10 00:00:00 Zask Titles $",
    "src\\Zask3",
    0xBDE0000,
    "/programs/zask/zask3",
    -4,
    -4,
    -1,
    sceneTable,
    11,
    false,
};
