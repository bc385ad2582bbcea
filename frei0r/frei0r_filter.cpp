// The frei0r entry points of one variant's filter (ZASK_FREI0R_VARIANT is N
// of zaskN): frei0r allows one effect per library, so the build makes six.
#include <dlfcn.h>
// frei0r.h declares its functions without C linkage of its own.
extern "C" {
#include <frei0r.h>
}

#include <mutex>
#include <new>
#include <string>

#include "frei0r/filter_params.h"
#include "frei0r/variant_session.h"
#include "standin/standin_control.h"

#ifndef ZASK_FREI0R_VARIANT
#error "ZASK_FREI0R_VARIANT must name the variant, 1 to 6"
#endif

namespace {

using namespace zask::frei0r;

#define ZASK_STRINGIFY2(x) #x
#define ZASK_STRINGIFY(x) ZASK_STRINGIFY2(x)
constexpr const char* filterName = "zask" ZASK_STRINGIFY(ZASK_FREI0R_VARIANT);

VariantModule module;

std::string ownDirectory() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ownDirectory), &info) == 0 || info.dli_fname == nullptr) return ".";
    std::string path = info.dli_fname;
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

// Built with hidden visibility: only these are exported.
#define ZASK_F0R_EXPORT __attribute__((visibility("default")))

extern "C" {

ZASK_F0R_EXPORT int f0r_init(void) {
    module.number = ZASK_FREI0R_VARIANT;
    module.filterDirectory = ownDirectory();
    const char* kthome = std::getenv("KTHOME");
    module.startupKthome = kthome != nullptr ? kthome : "";
    return 1;
}

ZASK_F0R_EXPORT void f0r_deinit(void) { unloadVariant(module); }

ZASK_F0R_EXPORT void f0r_get_plugin_info(f0r_plugin_info_t* info) {
    info->name = filterName;
    info->author = "Zask";
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    info->color_model = F0R_COLOR_MODEL_RGBA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = 1;
    info->minor_version = 0;
    info->num_params = paramCount;
    info->explanation = "Animated 3D letters: the title flies in letter by letter, stands, and flies out";
}

ZASK_F0R_EXPORT void f0r_get_param_info(f0r_param_info_t* info, int param_index) {
    if (param_index < 0 || param_index >= paramCount) return;
    const ParamInfo& p = paramInfo(param_index);
    info->name = p.name;
    info->type = p.kind;
    info->explanation = p.explanation;
}

ZASK_F0R_EXPORT f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    if (width == 0 || height == 0 || width > 16384 || height > 16384) return nullptr;
    auto* instance = new (std::nothrow) FilterInstance;
    if (instance == nullptr) return nullptr;
    initInstance(module, *instance, static_cast<int>(width), static_cast<int>(height));
    return instance;
}

ZASK_F0R_EXPORT void f0r_destruct(f0r_instance_t instance) {
    auto* filter = static_cast<FilterInstance*>(instance);
    if (filter == nullptr) return;
    destroyInstance(module, *filter);
    delete filter;
}

ZASK_F0R_EXPORT void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    auto* filter = static_cast<FilterInstance*>(instance);
    if (filter == nullptr) return;
    std::lock_guard<std::mutex> lock(standin::sessionMutex());
    if (setParam(filter->values, param_index, param)) filter->changed = true;
}

ZASK_F0R_EXPORT void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    auto* filter = static_cast<FilterInstance*>(instance);
    if (filter == nullptr) return;
    std::lock_guard<std::mutex> lock(standin::sessionMutex());
    getParam(filter->values, param_index, param);
}

ZASK_F0R_EXPORT void f0r_update(f0r_instance_t instance, double time, const uint32_t* inframe, uint32_t* outframe) {
    auto* filter = static_cast<FilterInstance*>(instance);
    if (filter == nullptr || inframe == nullptr || outframe == nullptr) return;
    updateInstance(module, *filter, time, reinterpret_cast<const uint8_t*>(inframe),
                   reinterpret_cast<uint8_t*>(outframe));
}

ZASK_F0R_EXPORT void f0r_update2(f0r_instance_t instance, double time, const uint32_t* inframe1, const uint32_t*,
                 const uint32_t*, uint32_t* outframe) {
    f0r_update(instance, time, inframe1, outframe);
}

}  // extern "C"
