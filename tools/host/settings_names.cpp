#include "tools/host/settings_names.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include "operator/effect_settings.h"
#include "tools/host/options.h"

namespace zask {

const char* const settingNames[17] = {
    "shadingMode", "lightIntensity", "lightPosition", "lightColour", "thickness", "reserved5",
    "antialiasing", "rotationX", "rotationY", "rotationZ", "inScene", "outScene",
    "inMirror", "outMirror", "randomSeed", "inDuration", "outDuration",
};

int settingIndex(const std::string& name) {
    for (int i = 0; i < 17; ++i)
        if (name == settingNames[i]) return i;
    return -1;
}

int32_t settingWord(const uint8_t* block, int index) {
    // Little-endian words, whatever the machine.
    const uint8_t* p = block + 4 * index;
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

bool applySetting(uint8_t* block, const std::string& assignment, std::string& error) {
    size_t eq = assignment.find('=');
    if (eq == std::string::npos) {
        error = "--set " + assignment + ": expected NAME=VALUE, e.g. inScene=3";
        return false;
    }
    std::string name = assignment.substr(0, eq), text = assignment.substr(eq + 1);
    int index = settingIndex(name);
    if (index < 0) {
        std::string names;
        for (const char* n : settingNames) names += std::string(names.empty() ? "" : ", ") + n;
        error = "--set " + assignment + ": unknown setting '" + name + "' (known: " + names + ")";
        return false;
    }
    uint32_t value;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        errno = 0;
        char* end = nullptr;
        unsigned long long v = std::strtoull(text.c_str() + 2, &end, 16);
        if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull || text[2] == '-' || text[2] == '+') {
            error = "--set " + assignment + ": '" + text + "' is not a 32-bit hex number";
            return false;
        }
        value = static_cast<uint32_t>(v);
    } else {
        auto v = parseInteger(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
        if (!v) {
            error = "--set " + assignment + ": '" + text + "' is not a 32-bit integer";
            return false;
        }
        value = static_cast<uint32_t>(static_cast<int32_t>(*v));
    }
    uint8_t* p = block + 4 * index;
    for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(value >> (8 * k));
    return true;
}

bool readPreset(const std::string& path, uint8_t* block, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() != sizeof(EffectSettings)) {
        error = path + ": " + std::to_string(bytes.size()) + " bytes, a settings file holds exactly " +
                std::to_string(sizeof(EffectSettings));
        return false;
    }
    std::memcpy(block, bytes.data(), bytes.size());
    return true;
}

}  // namespace zask
