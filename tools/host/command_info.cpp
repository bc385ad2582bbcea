// zask info PLUGIN.so: the descriptor as the host reads it.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "operator/effect_settings.h"
#include "tools/host/commands.h"
#include "tools/host/options.h"
#include "tools/host/plugin_loader.h"

namespace zask {

namespace {

const char* const helpText =
    "usage: zask info PLUGIN.so\n"
    "\n"
    "Loads the plug-in, calls GetOperatorInfo and prints every tag of its\n"
    "descriptor: the version text, the panel labels (kind, string number, mode),\n"
    "the settings block (address, size) with its 17 default words by name, and\n"
    "the log module identifier, which the descriptor does not carry: it is derived\n"
    "from the name in the version text (ZaskN gives 0xBDC0000 + (N-1) * 0x10000).\n"
    "\n"
    "exit status: 0 printed, 2 the plug-in cannot be loaded, lacks an entry point\n"
    "or has a malformed descriptor.\n";

const char* const settingNames[] = {
    "shadingMode", "lightIntensity", "lightPosition", "lightColour", "thickness", "reserved5",
    "antialiasing", "rotationX", "rotationY", "rotationZ", "inScene", "outScene",
    "inMirror", "outMirror", "randomSeed", "inDuration", "outDuration",
};
static_assert(sizeof settingNames / sizeof settingNames[0] == sizeof(EffectSettings) / 4);

void printPanel(int number, uintptr_t address) {
    if (address == 0) {
        std::printf("panel %d label: none\n", number);
        return;
    }
    auto* label = reinterpret_cast<const PanelLabel*>(address);
    std::printf("panel %d label: kind %u, string %u, mode %" PRIu32 "\n", number, label->kind,
                label->stringNumber, label->mode);
}

}  // namespace

int runInfo(int argc, char** argv) {
    ParsedOptions options;
    std::string error;
    if (!parseOptions(argc, argv, 2, {}, 1, "the plug-in file (zask info PLUGIN.so)", options, error))
        return usageError("info", error + " (see zask info --help)");
    if (options.help) {
        std::fputs(helpText, stdout);
        return exitSuccess;
    }
    const std::string& path = options.positionals[0];
    auto plugin = Plugin::load(path, error);
    if (!plugin) return usageError("info", error);
    std::vector<OperatorTag> tags;
    if (!readDescriptor(plugin->getOperatorInfo(), tags, error)) return usageError("info", path + ": " + error);

    std::printf("plug-in: %s\n", path.c_str());
    const char* versionText = nullptr;
    for (const auto& t : tags) {
        std::printf("tag 0x%08" PRIX32 ": ", t.tag);
        switch (t.tag) {
        case tagActionEntry:
            std::printf("action entry %#" PRIxPTR "%s\n", t.value,
                        t.value == reinterpret_cast<uintptr_t>(plugin->operatorAction) ? " (OperatorAction)" : "");
            break;
        case tagVersion:
            versionText = reinterpret_cast<const char*>(t.value);
            std::printf("version text \"%.*s\"\n", versionText ? static_cast<int>(strnlen(versionText, 512)) : 0,
                        versionText ? versionText : "");
            break;
        case tagSettings: {
            auto* d = reinterpret_cast<const SettingsDescriptor*>(t.value);
            if (d == nullptr)
                std::printf("settings descriptor missing\n");
            else
                std::printf("settings block %p, %" PRIu32 " bytes\n", d->block, d->size);
            break;
        }
        case tagPanel0:
        case tagPanel1:
        case tagPanel2:
        case tagPanel3:
            printPanel(static_cast<int>(t.tag - tagPanel0), t.value);
            break;
        default:
            std::printf("number %" PRIuPTR "\n", t.value);
            break;
        }
    }

    auto version = parseVersionText(versionText);
    if (version) {
        std::printf("name: %s\nversion: %s\n", version->name.c_str(), version->version.c_str());
        if (version->number != 0)
            std::printf("module: 0x%08" PRIX32 " (derived from the name %s; not in the descriptor)\n",
                        moduleIdentifier(version->number), version->name.c_str());
        else
            std::printf("module: unknown (the name %s is not Zask1 .. Zask6)\n", version->name.c_str());
    } else {
        std::printf("name: unknown (no \"$Id: NAME VERSION\" version text)\n");
    }

    uint8_t* block = settingsBlock(tags, error);
    if (block == nullptr) {
        std::printf("default settings: unavailable (%s)\n", error.c_str());
        return exitUsage;
    }
    std::printf("default settings:\n");
    for (size_t i = 0; i < sizeof(EffectSettings) / 4; ++i) {
        int32_t word;
        std::memcpy(&word, block + 4 * i, 4);
        if (std::strcmp(settingNames[i], "lightColour") == 0)
            std::printf("  %-15s 0x%08" PRIX32 "\n", settingNames[i], static_cast<uint32_t>(word));
        else
            std::printf("  %-15s %" PRId32 "\n", settingNames[i], word);
    }
    return exitSuccess;
}

}  // namespace zask
