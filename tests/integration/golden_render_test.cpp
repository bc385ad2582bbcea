// Renders of all six plug-ins under several settings, compared frame by frame
// with hashes recorded before any speed-up of the renderer. A faster renderer
// must produce the same bytes.
//
// ZASK_UPDATE_GOLDEN=1 rewrites tests/data/golden_hashes.txt instead of
// comparing (only ever done on purpose, with the reason in the commit).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_inputs.h"
#include "host/operator_interface.h"
#include "standin/standin_control.h"

namespace {

constexpr int frameWidth = 192;
constexpr int frameHeight = 144;
constexpr uint32_t clipLength = 400;   // in phase 0 .. 99, hold, out phase 300 .. 399

struct Setting {
    const char* name;
    int32_t words[17];
    bool draft;
};

// Word order: shadingMode, lightIntensity, lightPosition, lightColour, thickness,
// reserved5, antialiasing, rotationX, Y, Z, inScene, outScene, inMirror,
// outMirror, randomSeed, inDuration, outDuration.
const Setting settings[] = {
    {"defaults", {2, 100, 4, 0x7A8080FF, 2, 50, 0, 0, 0, 0, 0, 1, 0, 0, 100, 50, 50}, false},
    {"aa4-flat-mirrored", {1, 60, 2, 0x6478A0FF, 3, 50, 1, 20, -35, 10, 2, 3, 1, 2, 321, 50, 50}, false},
    {"aa8-unlit-thin0", {0, 100, 7, 0x7A8080FF, 0, 50, 2, 0, 0, 180, 4, 5, 3, 1, 7, 50, 50}, false},
    {"draft-aa4-pixel", {2, 30, 6, static_cast<int32_t>(0x9040C0FF), 1, 50, 1, -45, 30, 0, 6, 7, 2, 3, 555, 50, 50}, true},
};

// Fields in flight, standing and leaving.
const uint32_t positions[] = {30, 31, 44, 45, 60, 61, 200, 201, 340, 341};

uint64_t fnv1a(const std::vector<uint8_t>& bytes)
{
    uint64_t hash = 1469598103934665603ull;
    for (uint8_t b : bytes) {
        hash ^= b;
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string renderHashes(int variant, const Setting& setting)
{
    const std::string path = std::string(ZASK_PLUGIN_DIR) + "/zask" + std::to_string(variant) + ".so";
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        return std::string("cannot load: ") + dlerror();
    auto getInfo = reinterpret_cast<GetOperatorInfoFunction>(dlsym(handle, "GetOperatorInfo"));
    auto action = reinterpret_cast<OperatorActionFunction>(dlsym(handle, "OperatorAction"));
    if (getInfo == nullptr || action == nullptr) {
        dlclose(handle);
        return "missing entry points";
    }
    for (OperatorTag* tag = getInfo(); tag->tag != tagEnd; ++tag)
        if (tag->tag == tagSettings)
            std::memcpy(reinterpret_cast<SettingsDescriptor*>(tag->value)->block, setting.words, 68);

    std::vector<standin::PlanarFrame> clip;
    for (uint32_t f = 0; f <= positions[std::size(positions) - 1] / 2; ++f)
        clip.push_back(zask_bench::backgroundFrame(frameWidth, frameHeight, static_cast<int>(f)));
    standin::setInputClip(frameWidth, frameHeight, clip);
    std::string error;
    TitleDocument* title = standin::parseTitle(zask_bench::titleJson(frameWidth, frameHeight, false), error);
    if (title == nullptr) {
        dlclose(handle);
        return "title: " + error;
    }

    std::ostringstream out;
    ActionRequest request{};
    request.action = actionInitialise;
    if (action(&request) != 0)
        out << " init-failed";
    for (uint32_t position : positions) {
        // Each output frame receives the one field rendered for it.
        std::vector<uint8_t> frame(static_cast<size_t>(frameWidth) * frameHeight * 3, 0);
        standin::setOutputFrame(frame.data());
        ActionRequest r{};
        r.action = actionRender;
        r.clipLength = clipLength;
        r.position = position;
        r.flags = static_cast<uint8_t>((position & 1) * 2 + (setting.draft ? 1 : 0));
        r.aspectNum = setting.draft ? 16 : 1;
        r.aspectDen = setting.draft ? 15 : 1;
        r.title = title;
        const int32_t result = action(&r);
        char text[40];
        std::snprintf(text, sizeof text, " %d:%016llx", result, static_cast<unsigned long long>(fnv1a(frame)));
        out << text;
    }
    request.action = actionRelease;
    action(&request);
    standin::setOutputFrame(nullptr);
    standin::freeTitle(title);
    standin::clearInputClip();
    dlclose(handle);
    return out.str();
}

std::string goldenPath()
{
    return std::string(ZASK_SOURCE_DIR) + "/tests/data/golden_hashes.txt";
}

std::map<std::string, std::string> readGolden()
{
    std::map<std::string, std::string> golden;
    std::ifstream in(goldenPath());
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const size_t space = line.find(' ');
        golden[line.substr(0, space)] = line.substr(space);
    }
    return golden;
}

TEST(GoldenRenderTest, EveryVariantAndSettingRendersTheRecordedFrames)
{
    standin::setLogEcho(false);
    setenv("KTHOME", (std::string(ZASK_SHARED_DIR) + "/conformance/kthome-a").c_str(), 1);
    const bool update = std::getenv("ZASK_UPDATE_GOLDEN") != nullptr;
    const std::map<std::string, std::string> golden = readGolden();
    std::ostringstream written;
    written << "# zaskN/setting, then result:hash of each rendered field (golden_render_test.cpp)\n";
    for (int variant = 1; variant <= 6; ++variant)
        for (const Setting& setting : settings) {
            const std::string key = "zask" + std::to_string(variant) + "/" + setting.name;
            const std::string hashes = renderHashes(variant, setting);
            written << key << hashes << "\n";
            if (!update) {
                auto it = golden.find(key);
                ASSERT_NE(it, golden.end()) << key << " has no recorded hashes";
                EXPECT_EQ(hashes, it->second) << key;
            }
        }
    unsetenv("KTHOME");
    standin::resetImages();
    if (update)
        std::ofstream(goldenPath()) << written.str();
}

}  // namespace
