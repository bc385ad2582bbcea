#include "frei0r/filter_params.h"

// frei0r.h declares its functions without C linkage of its own.
extern "C" {
#include <frei0r.h>
}

#include <cmath>
#include <cstring>
#include <limits>

#include "tools/host/picture.h"
#include "tools/host/settings_names.h"

namespace zask::frei0r {

namespace {

const ParamInfo infos[paramCount] = {
    {"text", F0R_PARAM_STRING,
     "Title text: a newline or \\n breaks the line, \\p (or a form feed) starts a new page, \\\\ is a backslash"},
    {"length", F0R_PARAM_DOUBLE, "Length of the effect in seconds"},
    {"start", F0R_PARAM_DOUBLE, "Seconds from the first frame to the start of the effect"},
    {"settings", F0R_PARAM_STRING,
     "Settings as NAME=VALUE (or NAME:VALUE) separated by spaces or commas, e.g. 'inScene=3 outMirror=1' "
     "(the names of zask render --set); applied after the preset"},
    {"size", F0R_PARAM_DOUBLE, "Text height in pixels (0: frame height / 8)"},
    {"colour", F0R_PARAM_COLOR, "Text colour"},
    {"font", F0R_PARAM_STRING, "TrueType/OpenType font file"},
    {"align", F0R_PARAM_STRING, "Lines within the block: left, centre or right"},
    {"position", F0R_PARAM_STRING, "Where the block stands: top, middle, bottom or its top row in pixels"},
    {"rate", F0R_PARAM_DOUBLE, "Frame rate of the video in frames per second"},
    {"fieldOrder", F0R_PARAM_STRING,
     "progressive (both fields from each frame), top (top field first) or bottom (bottom field first)"},
    {"preset", F0R_PARAM_STRING, "Preset file (68 bytes) replacing the settings below"},
    {"kthome", F0R_PARAM_STRING, "Data tree with the letter objects and scenes (default: $KTHOME, else the build's)"},
    {"draft", F0R_PARAM_BOOL, "Draft render: no edge antialiasing"},
    {"shadingMode", F0R_PARAM_DOUBLE, "0 unlit, 1 flat light per polygon, 2 light per pixel"},
    {"lightIntensity", F0R_PARAM_DOUBLE, "Light strength in percent, 0 to 100"},
    {"lightPosition", F0R_PARAM_DOUBLE, "Light position: 0 in the centre, 1 to 8 the eight places around it"},
    {"lightColour", F0R_PARAM_COLOR, "Light colour"},
    {"thickness", F0R_PARAM_DOUBLE, "Letter object: 0 and 1 thin (0 leaves transparent texels undrawn), 2 normal, 3 thick"},
    {"antialiasing", F0R_PARAM_DOUBLE, "Edge antialiasing: 0 off, 1 4x4 samples, 2 8x8 samples"},
    {"rotationX", F0R_PARAM_DOUBLE, "Extra rotation of every letter about X, degrees (-180 to 180)"},
    {"rotationY", F0R_PARAM_DOUBLE, "Extra rotation about Y, degrees"},
    {"rotationZ", F0R_PARAM_DOUBLE, "Extra rotation about Z, degrees"},
    {"inScene", F0R_PARAM_DOUBLE, "Scene of the in animation (index into the variant's scene table)"},
    {"outScene", F0R_PARAM_DOUBLE, "Scene of the out animation"},
    {"inMirror", F0R_PARAM_DOUBLE, "Mirror mode of the in animation: 0 none, 1 left-right, 2 top-bottom, 3 both"},
    {"outMirror", F0R_PARAM_DOUBLE, "Mirror mode of the hold and the out animation"},
    {"randomSeed", F0R_PARAM_DOUBLE, "Seed of zask6's random scene choice, 0 to 1000"},
    {"inDuration", F0R_PARAM_DOUBLE, "Length of the in animation in frames"},
    {"outDuration", F0R_PARAM_DOUBLE, "Length of the out animation in frames"},
};

constexpr int lightColourWord = 3;

void putWord(uint8_t* block, int word, uint32_t value) {
    for (int k = 0; k < 4; ++k) block[4 * word + k] = static_cast<uint8_t>(value >> (8 * k));
}

int32_t roundToWord(double v) {
    if (!(v == v)) return 0;
    if (v <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    if (v >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::lround(v));
}

template <typename T>
bool assign(T& target, const T& value) {
    if (target == value) return false;
    target = value;
    return true;
}

bool assignNumber(double& target, double value) {
    if (target == value || (target != target && value != value)) return false;
    target = value;
    return true;
}

bool assignColour(Colour& target, const f0r_param_color_t& value) {
    if (target.r == value.r && target.g == value.g && target.b == value.b) return false;
    target = {value.r, value.g, value.b};
    return true;
}

}  // namespace

uint8_t unitToByte(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 1.0f) return 255;
    return static_cast<uint8_t>(v * 255.0f + 0.5f);
}

int settingWordOf(int param) {
    int k = param - paramFirstSetting;
    return k < 5 ? k : k + 1;  // word 5 is reserved
}

const ParamInfo& paramInfo(int param) { return infos[param]; }

bool setParam(FilterValues& values, int param, const void* value) {
    if (param < 0 || param >= paramCount || value == nullptr) return false;
    auto number = [&] { return *static_cast<const double*>(value); };
    auto text = [&]() -> std::string {
        const char* s = *static_cast<char* const*>(value);
        return s == nullptr ? std::string() : std::string(s);
    };
    switch (param) {
        case paramText: return assign(values.text, text());
        case paramSettings: return assign(values.settings, text());
        case paramFont: return assign(values.font, text());
        case paramSize: return assignNumber(values.size, number());
        case paramColour: return assignColour(values.colour, *static_cast<const f0r_param_color_t*>(value));
        case paramAlign: return assign(values.align, text());
        case paramPosition: return assign(values.position, text());
        case paramStart: return assignNumber(values.start, number());
        case paramLength: return assignNumber(values.length, number());
        case paramRate: return assignNumber(values.rate, number());
        case paramFieldOrder: return assign(values.fieldOrder, text());
        case paramPreset: return assign(values.preset, text());
        case paramKthome: return assign(values.kthome, text());
        case paramDraft: return assign(values.draft, number() >= 0.5);
        default: break;
    }
    const int word = settingWordOf(param);
    const int32_t before = settingWord(values.block, word);
    if (word == lightColourWord) {
        const auto& c = *static_cast<const f0r_param_color_t*>(value);
        YCbCr ycc = toYCbCr(Rgb{unitToByte(c.r), unitToByte(c.g), unitToByte(c.b)});
        // Byte 0 is not a colour: it keeps what it held.
        putWord(values.block, word,
                static_cast<uint32_t>(ycc.y) << 24 | static_cast<uint32_t>(ycc.cb) << 16 |
                    static_cast<uint32_t>(ycc.cr) << 8 | (static_cast<uint32_t>(before) & 0xFFu));
    } else {
        putWord(values.block, word, static_cast<uint32_t>(roundToWord(number())));
    }
    return settingWord(values.block, word) != before;
}

void getParam(const FilterValues& values, int param, void* value) {
    if (param < 0 || param >= paramCount || value == nullptr) return;
    auto text = [&](const std::string& s) { *static_cast<const char**>(value) = s.c_str(); };
    auto number = [&](double v) { *static_cast<double*>(value) = v; };
    auto colour = [&](float r, float g, float b) { *static_cast<f0r_param_color_t*>(value) = {r, g, b}; };
    switch (param) {
        case paramText: return text(values.text);
        case paramSettings: return text(values.settings);
        case paramFont: return text(values.font);
        case paramSize: return number(values.size);
        case paramColour: return colour(values.colour.r, values.colour.g, values.colour.b);
        case paramAlign: return text(values.align);
        case paramPosition: return text(values.position);
        case paramStart: return number(values.start);
        case paramLength: return number(values.length);
        case paramRate: return number(values.rate);
        case paramFieldOrder: return text(values.fieldOrder);
        case paramPreset: return text(values.preset);
        case paramKthome: return text(values.kthome);
        case paramDraft: return number(values.draft ? 1.0 : 0.0);
        default: break;
    }
    const int word = settingWordOf(param);
    const uint32_t w = static_cast<uint32_t>(settingWord(values.block, word));
    if (word == lightColourWord) {
        Rgb c = toRgb(YCbCr{static_cast<uint8_t>(w >> 24), static_cast<uint8_t>(w >> 16), static_cast<uint8_t>(w >> 8)});
        return colour(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f);
    }
    number(static_cast<double>(static_cast<int32_t>(w)));
}

}  // namespace zask::frei0r
