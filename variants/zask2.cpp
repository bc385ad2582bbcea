// zask2: identity and scene choice.
#include "variants/variant.h"

static const int sceneTable[] = {2, 3, 4, 8, 10, 11, 12, 13, 18, 43, 50};

const VariantDefinition variant = {
    2,
    "Zask2",
    "2.0",
    "$Id: Zask2 2.0 2015/11/10 00:00:00 Zask Titles $",
    "src\\Zask2",
    0xBDD0000,
    "/programs/zask/zask2",
    -4,
    -4,
    -1,
    sceneTable,
    11,
    false,
};
