// zask presets: list, save, load and delete a plug-in's presets through its
// preset request (action 4, panel 3), answering the requesters for the user.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "standin/gui_control.h"
#include "tools/host/commands.h"
#include "tools/host/dialog_host.h"
#include "tools/host/options.h"

namespace zask {

namespace {

const char* const helpText =
    "usage: zask presets PLUGIN list [--kthome DIR]\n"
    "       zask presets PLUGIN save NAME --settings FILE [--kthome DIR]\n"
    "       zask presets PLUGIN load NAME --settings FILE [--kthome DIR]\n"
    "       zask presets PLUGIN delete NAME [--kthome DIR]\n"
    "\n"
    "A preset is a raw copy of the 68-byte settings record in the plug-in's\n"
    "folder KTHOME/programs/zask/zaskN/ (any variant's preset loads into any\n"
    "other). save, load and delete go through the plug-in's own preset request\n"
    "(action 4, panel 3) with the archive and file requesters answered here.\n"
    "PLUGIN is a file (zask4.so) or a variant name (zask4).\n"
    "\n"
    "  list            the presets of the folder, with their sizes\n"
    "  save NAME       FILE's settings (the plug-in's defaults when FILE does not\n"
    "                  exist) become preset NAME; the folder is created first\n"
    "  load NAME       preset NAME becomes the settings written to FILE (a file\n"
    "                  shorter than 68 bytes replaces only the first bytes of\n"
    "                  FILE's settings, or of the defaults)\n"
    "  delete NAME     removes preset NAME\n"
    "  --settings FILE the 68-byte settings record\n"
    "  --kthome DIR    data tree (default: $KTHOME, else the build's tree)\n"
    "  --trace FILE    every toolkit call, one line each\n"
    "\n"
    "exit status: 0 done, 1 the plug-in did not do it, 2 bad arguments, no such\n"
    "preset, or unreadable files.\n";

const std::vector<OptionSpec> optionSpecs = {
    {"settings", true, false},
    {"kthome", true, false},
    {"trace", true, false},
};

struct PresetSession {
    ~PresetSession() { standin::resetGui(); }
};

long long fileSize(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

int listPresets(const std::string& directory) {
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) {
        std::printf("no presets (%s does not exist)\n", directory.c_str());
        return exitSuccess;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir))
        if (fileExists(directory + "/" + entry->d_name)) names.push_back(entry->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    if (names.empty()) std::printf("no presets in %s\n", directory.c_str());
    for (const auto& name : names) {
        const long long size = fileSize(directory + "/" + name);
        std::printf("%-24s %lld bytes%s\n", name.c_str(), size,
                    size == 68 ? "" : size < 68 ? " (short: loads over the current settings)" : " (only the first 68 bytes load)");
    }
    return exitSuccess;
}

}  // namespace

int runPresets(int argc, char** argv) {
    ParsedOptions options;
    std::string error;
    // Two or three positionals: parse with the count the action needs.
    size_t positionals = 0;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--", 0) == 0) {
            if (arg.find('=') == std::string::npos && arg != "--help") ++i;
            continue;
        }
        if (arg != "-h") ++positionals;
    }
    if (!parseOptions(argc, argv, 2, optionSpecs, positionals < 2 ? 2 : positionals,
                      "the plug-in and an action (zask presets PLUGIN list|save|load|delete [NAME])", options, error))
        return usageError("presets", error + " (see zask presets --help)");
    if (options.help) {
        std::fputs(helpText, stdout);
        return exitSuccess;
    }
    const std::string& action = options.positionals[1];
    const bool named = action == "save" || action == "load" || action == "delete";
    if (!named && action != "list")
        return usageError("presets", "unknown action " + action + ": expected list, save, load or delete");
    if (options.positionals.size() != (named ? 3u : 2u))
        return usageError("presets", named ? action + " needs a preset name" : "list takes no name");
    const std::string name = named ? options.positionals[2] : "";
    if (named && (name.empty() || name.find('/') != std::string::npos || name == "." || name == ".."))
        return usageError("presets", "preset name '" + name + "': a plain file name without '/'");
    if ((action == "save" || action == "load") && !options.has("settings"))
        return usageError("presets", action + " needs --settings FILE");

    PresetSession session;
    standin::resetGui();
    if (options.has("trace") && !standin::openGuiTraceFile(options.value("trace"), error))
        return usageError("presets", error);
    DialogHost host;
    if (!openDialogHost(options.positionals[0], host, error)) return usageError("presets", error);
    if (host.variantNumber == 0)
        return usageError("presets", host.pluginPath + ": the version text does not name zask1 .. zask6");
    const std::string kthome = options.has("kthome") ? options.value("kthome") : dialogKthome();
    setenv("KTHOME", kthome.c_str(), 1);
    const std::string directory = kthome + "/programs/zask/zask" + std::to_string(host.variantNumber);
    const std::string path = directory + "/" + name;
    if (action == "list") return listPresets(directory);

    if (action == "save" || action == "load") {
        const std::string& settingsPath = options.value("settings");
        if (fileExists(settingsPath)) {
            std::vector<uint8_t> settings;
            if (!readSettingsFile(settingsPath, settings, error)) return usageError("presets", error);
            std::memcpy(host.settings, settings.data(), settings.size());
        } else if (action == "save") {
            return usageError("presets", settingsPath + ": no such settings file to save");
        }
    }
    if (action != "save" && !fileExists(path))
        return usageError("presets", "no preset '" + name + "' in " + directory + " (see zask presets " +
                                         options.positionals[0] + " list)");
    if (action == "save") {
        ActionRequest request{};
        request.action = actionCreateDataDirectory;
        host.plugin->operatorAction(&request);
    }
    const std::string script = "archive " + action + "\nfile " + name + "\n";
    if (!standin::setGuiScript(script, error)) return usageError("presets", error);
    openPanelAction(host, 3);

    if (action == "save") {
        if (fileSize(path) != 68) {
            std::fprintf(stderr, "zask presets: %s was not written\n", path.c_str());
            return exitFailure;
        }
        std::printf("%s\n", path.c_str());
    } else if (action == "load") {
        if (!writeSettingsFile(options.value("settings"), host.settings, error)) return usageError("presets", error);
        const long long size = fileSize(path);
        std::printf("zask presets: %s (%lld bytes) loaded into %s%s\n", path.c_str(), size,
                    options.value("settings").c_str(),
                    size < 68 ? ": a short preset, the rest kept" : size > 68 ? ": its first 68 bytes" : "");
    } else {
        if (fileExists(path)) {
            std::fprintf(stderr, "zask presets: %s was not deleted\n", path.c_str());
            return exitFailure;
        }
        std::printf("zask presets: deleted %s\n", path.c_str());
    }
    return exitSuccess;
}

}  // namespace zask
