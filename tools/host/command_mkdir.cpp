// zask mkdir PLUGIN.so --kthome DIR: action 7, the plug-in's data directory.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "tools/host/commands.h"
#include "tools/host/options.h"
#include "tools/host/plugin_loader.h"

namespace zask {

namespace {

const char* const helpText =
    "usage: zask mkdir PLUGIN.so --kthome DIR\n"
    "\n"
    "Sets KTHOME to DIR, calls GetOperatorInfo and action 7: the plug-in creates\n"
    "its data and preset directory DIR/programs/zask/zaskN. The plug-in creates\n"
    "that one directory only, so DIR/programs/zask must exist already.\n"
    "\n"
    "exit status: 0 the directory exists afterwards, 1 it does not,\n"
    "2 bad arguments or a plug-in that cannot be loaded.\n";

bool isDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int runMkdir(int argc, char** argv) {
    ParsedOptions options;
    std::string error;
    if (!parseOptions(argc, argv, 2, {{"kthome", true, true}}, 1, "the plug-in file (zask mkdir PLUGIN.so --kthome DIR)",
                      options, error))
        return usageError("mkdir", error + " (see zask mkdir --help)");
    if (options.help) {
        std::fputs(helpText, stdout);
        return exitSuccess;
    }
    const std::string& path = options.positionals[0];
    const std::string& kthome = options.value("kthome");
    if (kthome.empty()) return usageError("mkdir", "--kthome needs a directory");
    auto plugin = Plugin::load(path, error);
    if (!plugin) return usageError("mkdir", error);
    std::vector<OperatorTag> tags;
    if (!readDescriptor(plugin->getOperatorInfo(), tags, error)) return usageError("mkdir", path + ": " + error);
    auto version = parseVersionText(reinterpret_cast<const char*>(
        findTag(tags, tagVersion) != nullptr ? findTag(tags, tagVersion)->value : 0));

    setenv("KTHOME", kthome.c_str(), 1);
    ActionRequest request{};
    request.action = actionCreateDataDirectory;
    plugin->operatorAction(&request);

    if (!version || version->number == 0) {
        std::printf("zask mkdir: action 7 done (the plug-in's name is unknown, so its directory is not checked)\n");
        return exitSuccess;
    }
    std::string directory = kthome + "/programs/zask/zask" + std::to_string(version->number);
    if (!isDirectory(directory)) {
        std::fprintf(stderr, "zask mkdir: %s was not created%s\n", directory.c_str(),
                     isDirectory(kthome + "/programs/zask") ? "" : " (its parent directory does not exist)");
        return exitFailure;
    }
    std::printf("%s\n", directory.c_str());
    return exitSuccess;
}

}  // namespace zask
