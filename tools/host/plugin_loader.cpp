#include "tools/host/plugin_loader.h"

#include <dlfcn.h>

#include <cstring>
#include <sstream>

#include "operator/effect_settings.h"

namespace zask {

namespace {

// Real descriptors hold a dozen tags; anything far longer lacks its end tag.
constexpr size_t maximumTags = 256;

}  // namespace

Plugin::~Plugin() {
    if (handle_ != nullptr) dlclose(handle_);
}

std::unique_ptr<Plugin> Plugin::load(const std::string& path, std::string& error) {
    // Without a slash dlopen searches the library path instead of the current directory.
    std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    std::unique_ptr<Plugin> plugin(new Plugin());
    plugin->handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (plugin->handle_ == nullptr) {
        const char* reason = dlerror();
        error = path + ": cannot load the plug-in: " + (reason != nullptr ? reason : "unknown error");
        return nullptr;
    }
    auto resolve = [&](const char* name) -> void* {
        dlerror();
        void* symbol = dlsym(plugin->handle_, name);
        if (symbol == nullptr) error = path + ": not a Zask plug-in: it does not export " + name;
        return symbol;
    };
    void* info = resolve("GetOperatorInfo");
    if (info == nullptr) return nullptr;
    void* action = resolve("OperatorAction");
    if (action == nullptr) return nullptr;
    void* upper = resolve("strupr");
    if (upper == nullptr) return nullptr;
    plugin->getOperatorInfo = reinterpret_cast<GetOperatorInfoFunction>(info);
    plugin->operatorAction = reinterpret_cast<OperatorActionFunction>(action);
    plugin->strupr = reinterpret_cast<StruprFunction>(upper);
    return plugin;
}

bool readDescriptor(const OperatorInfo* info, std::vector<OperatorTag>& tags, std::string& error) {
    tags.clear();
    if (info == nullptr) {
        error = "GetOperatorInfo returned no descriptor";
        return false;
    }
    for (size_t i = 0; i < maximumTags; ++i) {
        if (info[i].tag == tagEnd) return true;
        tags.push_back(info[i]);
    }
    error = "the descriptor has no end tag within " + std::to_string(maximumTags) + " tags";
    return false;
}

const OperatorTag* findTag(const std::vector<OperatorTag>& tags, uint32_t tag) {
    for (const auto& t : tags)
        if (t.tag == tag) return &t;
    return nullptr;
}

std::optional<VersionText> parseVersionText(const char* text) {
    if (text == nullptr) return std::nullopt;
    std::string s(text, strnlen(text, 512));
    if (s.compare(0, 5, "$Id: ") != 0) return std::nullopt;
    std::istringstream words(s.substr(5));
    VersionText v;
    if (!(words >> v.name >> v.version)) return std::nullopt;
    if (v.name.size() == 5 && v.name.compare(0, 4, "Zask") == 0 && v.name[4] >= '1' && v.name[4] <= '6')
        v.number = v.name[4] - '0';
    return v;
}

uint32_t moduleIdentifier(int number) { return 0xBDC0000u + static_cast<uint32_t>(number - 1) * 0x10000u; }

uint8_t* settingsBlock(const std::vector<OperatorTag>& tags, std::string& error) {
    const OperatorTag* tag = findTag(tags, tagSettings);
    if (tag == nullptr || tag->value == 0) {
        error = "the descriptor has no settings block";
        return nullptr;
    }
    auto* descriptor = reinterpret_cast<const SettingsDescriptor*>(tag->value);
    if (descriptor->block == nullptr || descriptor->size != sizeof(EffectSettings)) {
        error = "the descriptor's settings block is " + std::to_string(descriptor->size) + " bytes, not " +
                std::to_string(sizeof(EffectSettings));
        return nullptr;
    }
    return static_cast<uint8_t*>(descriptor->block);
}

}  // namespace zask
