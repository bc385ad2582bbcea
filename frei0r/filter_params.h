// The filters' parameters as a frei0r host sees them (name, kind,
// explanation) and the values one filter instance holds. Numbers are in their
// own units (pixels, seconds, frames per second, degrees), not the 0..1 range
// frei0r suggests: ffmpeg and MLT pass them through unchanged.
#pragma once

#include <cstdint>
#include <string>

namespace zask::frei0r {

// The order is ffmpeg's: its filter_params fills them in this order, '|'
// between values, and takes no empty ones, so the common ones come first.
enum ParamIndex : int {
    paramText,        // string: the title; "\n" breaks a line, "\p" starts a page
    paramLength,      // double: seconds the effect lasts
    paramStart,       // double: seconds from the first frame to the effect
    paramSettings,    // string: "NAME=VALUE ..." edits of the settings record
    paramSize,        // double: text height in pixels, 0 for height / 8
    paramColour,      // colour: text colour
    paramFont,        // string: font file
    paramAlign,       // string: left, centre, right
    paramPosition,    // string: top, middle, bottom or a row
    paramRate,        // double: frames per second
    paramFieldOrder,  // string: progressive, top, bottom
    paramPreset,      // string: 68-byte preset file
    paramKthome,      // string: the data tree
    paramDraft,       // bool: draft render
    paramFirstSetting,
    // One parameter per word of the settings record, except the reserved one.
    paramCount = paramFirstSetting + 16,
};

struct ParamInfo {
    const char* name;
    int kind;  // F0R_PARAM_*
    const char* explanation;
};

// The settings word (0..16) behind a setting parameter.
int settingWordOf(int param);
const ParamInfo& paramInfo(int param);

struct Colour {
    float r = 1.0f, g = 1.0f, b = 1.0f;
};

// A frei0r colour component (0..1) as a byte.
uint8_t unitToByte(float v);

struct FilterValues {
    std::string text = "Zask";
    std::string settings;
    std::string font;  // TextStyle's default when constructed
    double size = 0.0;
    Colour colour;
    std::string align = "centre";
    std::string position = "middle";
    double start = 0.0;
    double length = 5.0;
    double rate = 25.0;
    std::string fieldOrder = "progressive";
    std::string preset;
    std::string kthome;
    bool draft = false;
    uint8_t block[68] = {};  // the setting parameters, the plug-in's defaults at first
};

// Sets one parameter from the frei0r value behind `value` (double*, colour*,
// or char** for a string). Returns whether the value changed.
bool setParam(FilterValues& values, int param, const void* value);
// Writes the value into `value` as frei0r asks (a string as a pointer into
// `values`, valid until the parameter is set again).
void getParam(const FilterValues& values, int param, void* value);

}  // namespace zask::frei0r
