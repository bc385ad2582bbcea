#include "frei0r/variant_session.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "frei0r/rgba_frames.h"
#include "frei0r/title_text.h"
#include "standin/standin_control.h"
#include "tools/host/render_job.h"
#include "tools/host/text_layout.h"

namespace zask::frei0r {

namespace {

bool isDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void report(const VariantModule& module, FilterInstance& instance, const std::string& message) {
    if (message == instance.lastReport) return;
    instance.lastReport = message;
    std::fprintf(stderr, "zask%d (frei0r): %s\n", module.number, message.c_str());
}

void passThrough(const FilterInstance& instance, const uint8_t* in, uint8_t* out) {
    if (in != out) std::memcpy(out, in, static_cast<size_t>(instance.width) * instance.height * 4);
}

bool resolveKthome(const VariantModule& module, const RenderPlan& plan, std::string& kthome, std::string& error) {
    if (!plan.kthome.empty()) kthome = plan.kthome;
    else if (!module.startupKthome.empty()) kthome = module.startupKthome;
    else if (isDirectory(module.filterDirectory + "/../kthome/programs/zask")) kthome = module.filterDirectory + "/../kthome";
    else {
        error = "no data tree: give the kthome parameter or set KTHOME";
        return false;
    }
    return true;
}

int32_t act(VariantModule& module, const FilterInstance& instance, uint16_t action, uint32_t position,
            uint8_t flags) {
    ActionRequest request{};
    request.action = action;
    request.flags = static_cast<uint8_t>((instance.plan.draft ? requestFlagDraft : 0) | flags);
    request.clipLength = static_cast<uint32_t>(2 * instance.plan.lengthFrames);
    request.position = position;
    request.aspectNum = 1;
    request.aspectDen = 1;
    request.title = instance.title;
    return module.plugin->operatorAction(&request);
}

void closeBracket(VariantModule& module) {
    if (module.owner == nullptr) return;
    act(module, *module.owner, actionRelease, 0, 0);
    module.owner->nextFrame = -1;
    module.owner = nullptr;
}

// Hands `frame` over as frame position / 2 of the clip and renders the fields
// at the given positions into `output`.
bool renderFields(VariantModule& module, const FilterInstance& instance, const standin::PlanarFrame& frame,
                  int clipHeight, const std::vector<uint32_t>& positions, std::vector<uint8_t>& output,
                  std::string& error) {
    standin::setInputFrame(instance.width, clipHeight, positions.front() / 2, frame);
    standin::setOutputFrame(output.data());
    bool ok = true;
    for (uint32_t position : positions) {
        int32_t result = act(module, instance, actionRender, position, (position & 1) != 0 ? requestFlagSecondField : 0);
        if (result != 0) {
            error = "field " + std::to_string(position) + " of the effect failed with " + std::to_string(result);
            ok = false;
            break;
        }
    }
    standin::clearInputClip();
    return ok;
}

// Action 1 for this instance at effect frame `frame`, after the page starts a
// render from the effect's first frame went through (so that zask6's random
// scenes, drawn per page, are the same).
bool openBracket(VariantModule& module, FilterInstance& instance, long long frame, const standin::PlanarFrame& presented,
                 int clipHeight, std::string& error) {
    closeBracket(module);
    std::string kthome;
    if (!resolveKthome(module, instance.plan, kthome, error)) return false;
    const char* current = std::getenv("KTHOME");
    if (current == nullptr || kthome != current) setenv("KTHOME", kthome.c_str(), 1);
    std::memcpy(module.block, instance.plan.block, sizeof instance.plan.block);
    module.owner = &instance;
    if (act(module, instance, actionInitialise, 0, 0) == -1) {
        closeBracket(module);
        error = "initialisation (action 1) failed";
        return false;
    }
    const std::vector<uint32_t> replay = pageStartFields(instance.title->pageCount,
                                                         static_cast<uint32_t>(2 * instance.plan.lengthFrames), 0, frame);
    std::vector<uint8_t> scratch(presented.size());
    standin::setLogMuted(true);
    bool ok = true;
    for (uint32_t field : replay)
        if (!(ok = renderFields(module, instance, presented, clipHeight, {field}, scratch, error))) break;
    standin::setLogMuted(false);
    if (!ok) {
        closeBracket(module);
        return false;
    }
    instance.nextFrame = frame;
    return true;
}

// Makes the plan and, when the text changed, the title, after a parameter
// changed. An open bracket of this instance no longer matches and is closed.
void refresh(VariantModule& module, FilterInstance& instance) {
    instance.changed = false;
    if (module.owner == &instance) closeBracket(module);
    instance.planError.clear();
    if (!makePlan(instance.values, instance.width, instance.height, instance.plan, instance.planError)) return;
    const std::string key = titleKey(instance.values);
    if (instance.title != nullptr && key == instance.titleBuiltFrom) return;
    standin::freeTitle(instance.title);
    instance.title = buildTitleDocument(instance.values, instance.width, instance.height, instance.planError);
    instance.titleBuiltFrom = instance.title != nullptr ? key : std::string();
}

}  // namespace

std::string variantLibraryPath(const VariantModule& module) {
    const std::string name = "zask" + std::to_string(module.number) + ".so";
    if (const char* dir = std::getenv("ZASK_OPERATOR_DIR"); dir != nullptr && *dir != '\0')
        return std::string(dir) + "/" + name;
    return module.filterDirectory + "/../lib/" + name;
}

bool loadVariant(VariantModule& module, std::string& error) {
    if (!module.loadTried) {
        module.loadTried = true;
        const std::string path = variantLibraryPath(module);
        module.plugin = Plugin::load(path, module.loadError);
        std::vector<OperatorTag> tags;
        if (module.plugin && !readDescriptor(module.plugin->getOperatorInfo(), tags, module.loadError))
            module.loadError = path + ": " + module.loadError;
        else if (module.plugin && (module.block = settingsBlock(tags, module.loadError)) == nullptr)
            module.loadError = path + ": " + module.loadError;
        else if (module.plugin)
            std::memcpy(module.defaults, module.block, sizeof module.defaults);
        if (module.block == nullptr) module.plugin.reset();
    }
    if (!module.plugin) error = module.loadError;
    return module.plugin != nullptr;
}

void unloadVariant(VariantModule& module) {
    std::lock_guard<std::mutex> lock(standin::sessionMutex());
    if (module.plugin) closeBracket(module);
    module.plugin.reset();
    module.block = nullptr;
    module.loadTried = false;
    module.loadError.clear();
    // The stand-in keeps the buffers of released images for reuse; they go
    // when no operator in the process holds an image any more.
    if (standin::imageCounts().outstanding == 0) standin::resetImages();
}

void initInstance(VariantModule& module, FilterInstance& instance, int width, int height) {
    std::lock_guard<std::mutex> lock(standin::sessionMutex());
    instance.width = width;
    instance.height = height;
    instance.values.font = TextStyle().fontPath;
    std::string ignored;  // reported when the instance renders
    if (loadVariant(module, ignored)) std::memcpy(instance.values.block, module.defaults, sizeof module.defaults);
}

void destroyInstance(VariantModule& module, FilterInstance& instance) {
    std::lock_guard<std::mutex> lock(standin::sessionMutex());
    if (module.owner == &instance) closeBracket(module);
    standin::freeTitle(instance.title);
    instance.title = nullptr;
}

void updateInstance(VariantModule& module, FilterInstance& instance, double time, const uint8_t* in,
                    uint8_t* out) {
    // MLT may render frames on several threads: the clock too is read and
    // advanced under the lock.
    std::lock_guard<std::mutex> lock(standin::sessionMutex());
    const long long frame = advanceClock(instance.clock, time);
    if (instance.changed) refresh(module, instance);
    if (!instance.planError.empty()) {
        report(module, instance, instance.planError);
        return passThrough(instance, in, out);
    }
    const long long effectFrame = frame - instance.plan.startFrame;
    if (effectFrame < 0 || effectFrame >= instance.plan.lengthFrames) return passThrough(instance, in, out);
    std::string error;
    if (!loadVariant(module, error)) {
        report(module, instance, error);
        return passThrough(instance, in, out);
    }

    const bool bottomFirst = instance.plan.order == FieldOrder::bottomFirst;
    const int clipHeight = bottomFirst ? instance.height + 2 : instance.height;
    std::vector<uint8_t> planes = rgbaToPlanar(in, instance.width, instance.height);
    // Bottom-first frames go over one line lower, as the host program hands
    // them, so that the field the plug-in renders first is their odd lines.
    std::vector<uint8_t> presented = bottomFirst ? padForBottomFirst(planes, instance.width, instance.height) : planes;
    if ((module.owner != &instance || instance.nextFrame != effectFrame) &&
        !openBracket(module, instance, effectFrame, presented, clipHeight, error)) {
        report(module, instance, error);
        return passThrough(instance, in, out);
    }
    // Progressive frames too are rendered as two fields at their own times,
    // both taken from the one frame, as the host program renders them.
    const uint32_t first = static_cast<uint32_t>(2 * effectFrame);
    std::vector<uint8_t> output = presented;
    if (!renderFields(module, instance, presented, clipHeight, {first, first + 1}, output, error)) {
        closeBracket(module);
        report(module, instance, error);
        return passThrough(instance, in, out);
    }
    instance.nextFrame = effectFrame + 1;
    if (bottomFirst) output = unpadBottomFirst(output, instance.width, instance.height);
    planarToRgba(output, in, out, instance.width, instance.height);
}

}  // namespace zask::frei0r
