// One variant's plug-in (zaskN.so) driven for the instances of its frei0r
// filter, through its three entry points and the stand-in host, the way the
// host program drives it. The plug-in keeps one settings block and one render
// bracket for the whole process, so its filter instances take turns: the
// instance that renders opens its own bracket (action 1) at the frame it
// needs, and keeps it while it renders frame after frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frei0r/filter_params.h"
#include "frei0r/frame_clock.h"
#include "frei0r/render_plan.h"
#include "host/host_services.h"
#include "tools/host/plugin_loader.h"

namespace zask::frei0r {

struct FilterInstance;

struct VariantModule {
    int number = 0;               // N of zaskN
    std::string filterDirectory;  // where this frei0r library lies
    std::string startupKthome;    // $KTHOME as the process had it before any render
    std::unique_ptr<Plugin> plugin;
    uint8_t* block = nullptr;     // the plug-in's settings block
    uint8_t defaults[68] = {};
    bool loadTried = false;
    std::string loadError;
    FilterInstance* owner = nullptr;  // whose render bracket is open
};

struct FilterInstance {
    int width = 0;
    int height = 0;
    FilterValues values;
    bool changed = true;  // a parameter changed since the plan was made
    RenderPlan plan;
    std::string planError;  // empty when the plan holds
    TitleDocument* title = nullptr;
    std::string titleBuiltFrom;
    FrameClock clock;
    long long nextFrame = -1;  // the effect frame the open bracket renders next
    std::string lastReport;
};

// zaskN.so: $ZASK_OPERATOR_DIR/zaskN.so when set, else ../lib/zaskN.so from
// the filter's folder (the build tree's layout).
std::string variantLibraryPath(const VariantModule& module);

// Loads the plug-in and reads its descriptor once; later calls report the
// first outcome.
bool loadVariant(VariantModule& module, std::string& error);
// Closes a bracket still open and unloads the plug-in.
void unloadVariant(VariantModule& module);

// The instance's parameters start from the plug-in's defaults.
void initInstance(VariantModule& module, FilterInstance& instance, int width, int height);
void destroyInstance(VariantModule& module, FilterInstance& instance);

// One frame: the effect's frames are rendered, the others (and every frame
// when something is wrong, which is reported once on stderr) pass through.
void updateInstance(VariantModule& module, FilterInstance& instance, double time, const uint8_t* in,
                    uint8_t* out);

}  // namespace zask::frei0r
