// What the parameters of one filter instance ask of a render, checked: the
// effect's frames, the field order and the 68 bytes of settings.
#pragma once

#include <cstdint>
#include <string>

#include "frei0r/filter_params.h"

namespace zask::frei0r {

enum class FieldOrder { progressive, topFirst, bottomFirst };

struct RenderPlan {
    long long startFrame = 0;    // counted from the first update
    long long lengthFrames = 0;  // the effect spans 2 * lengthFrames fields
    FieldOrder order = FieldOrder::progressive;
    bool draft = false;
    uint8_t block[68] = {};
    std::string kthome;          // empty: the default tree
};

// The setting parameters, then the preset file replacing them all, then the
// "NAME=VALUE" edits of the settings parameter: the order of the host
// program's --settings and --set. The edits are separated by spaces, commas
// or semicolons; NAME:VALUE is taken for NAME=VALUE. Errors say which
// parameter is wrong.
bool makePlan(const FilterValues& values, int width, int height, RenderPlan& plan, std::string& error);

}  // namespace zask::frei0r
