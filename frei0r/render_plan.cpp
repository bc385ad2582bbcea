#include "frei0r/render_plan.h"

#include <cmath>
#include <cstring>
#include <sstream>

#include "tools/host/settings_names.h"

namespace zask::frei0r {

namespace {

bool parseFieldOrder(const std::string& text, FieldOrder& order) {
    if (text == "progressive" || text == "p") order = FieldOrder::progressive;
    else if (text == "top" || text == "tff" || text == "t") order = FieldOrder::topFirst;
    else if (text == "bottom" || text == "bff" || text == "b") order = FieldOrder::bottomFirst;
    else return false;
    return true;
}

}  // namespace

bool makePlan(const FilterValues& values, int width, int height, RenderPlan& plan, std::string& error) {
    if (width < 2 || height < 2 || height % 2 != 0) {
        error = "frame " + std::to_string(width) + "x" + std::to_string(height) +
                ": the height must be even (a frame holds two fields)";
        return false;
    }
    if (!(values.rate > 0.0 && values.rate <= 1000.0)) {
        error = "rate " + std::to_string(values.rate) + ": expected frames per second, above 0 and at most 1000";
        return false;
    }
    if (!(values.start >= 0.0 && values.start <= 1e6)) {
        error = "start " + std::to_string(values.start) + ": expected seconds from 0";
        return false;
    }
    const double lengthFrames = std::round(values.length * values.rate);
    if (!(lengthFrames >= 1.0 && lengthFrames <= 2147483647.0)) {
        error = "length " + std::to_string(values.length) + ": expected at least one frame's worth of seconds";
        return false;
    }
    plan.startFrame = std::llround(values.start * values.rate);
    plan.lengthFrames = static_cast<long long>(lengthFrames);
    if (!parseFieldOrder(values.fieldOrder, plan.order)) {
        error = "fieldOrder '" + values.fieldOrder + "': expected progressive, top or bottom";
        return false;
    }
    plan.draft = values.draft;
    std::memcpy(plan.block, values.block, sizeof plan.block);
    if (!values.preset.empty() && !readPreset(values.preset, plan.block, error)) {
        error = "preset: " + error;
        return false;
    }
    std::string edits = values.settings;
    for (char& c : edits)
        if (c == ',' || c == ';') c = ' ';
    std::istringstream words(edits);
    for (std::string word; words >> word;) {
        // MLT reads "a=b" in a property as an animation key, so NAME:VALUE does too.
        if (word.find('=') == std::string::npos && word.find(':') != std::string::npos) word[word.find(':')] = '=';
        if (!applySetting(plan.block, word, error)) {
            if (error.rfind("--set ", 0) == 0) error.erase(0, 6);
            error = "settings: " + error;
            return false;
        }
    }
    plan.kthome = values.kthome;
    return true;
}

}  // namespace zask::frei0r
