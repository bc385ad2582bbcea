#include "tools/host/dialog_host.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "operator/effect_settings.h"
#include "tools/host/output_file.h"

namespace zask {

namespace {

const char* const wordNames[17] = {
    "shadingMode", "lightIntensity", "lightPosition", "lightColour", "thickness", "reserved5",
    "antialiasing", "rotationX",     "rotationY",     "rotationZ",   "inScene",   "outScene",
    "inMirror",    "outMirror",      "randomSeed",    "inDuration",  "outDuration",
};

std::string programFolder() {
    std::vector<char> buffer(4096);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return ".";
    std::string path(buffer.data(), static_cast<size_t>(n));
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool isDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

int32_t wordAt(const uint8_t* bytes, int index) {
    int32_t value;
    std::memcpy(&value, bytes + 4 * index, 4);
    return value;
}

}  // namespace

bool fileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string resolvePlugin(const std::string& pluginOrVariant) {
    const std::string& a = pluginOrVariant;
    if (a.find('/') != std::string::npos || (a.size() > 3 && a.compare(a.size() - 3, 3, ".so") == 0)) return a;
    std::string name = a.size() == 1 && a[0] >= '1' && a[0] <= '6' ? "zask" + a : a;
    return programFolder() + "/../lib/" + name + ".so";
}

std::string dialogKthome() {
    if (const char* home = std::getenv("KTHOME"); home != nullptr && *home != '\0') return home;
    std::string built = programFolder() + "/../kthome";
#ifdef ZASK_FIXTURE_KTHOME
    if (!isDirectory(built + "/programs/zask")) return ZASK_FIXTURE_KTHOME;
#endif
    return built;
}

bool openDialogHost(const std::string& pluginOrVariant, DialogHost& host, std::string& error) {
    host.pluginPath = resolvePlugin(pluginOrVariant);
    host.plugin = Plugin::load(host.pluginPath, error);
    if (!host.plugin) return false;
    std::vector<OperatorTag> tags;
    if (!readDescriptor(host.plugin->getOperatorInfo(), tags, error)) {
        error = host.pluginPath + ": " + error;
        return false;
    }
    host.settings = settingsBlock(tags, error);
    if (host.settings == nullptr) {
        error = host.pluginPath + ": " + error;
        return false;
    }
    const OperatorTag* version = findTag(tags, tagVersion);
    if (auto text = parseVersionText(version != nullptr ? reinterpret_cast<const char*>(version->value) : nullptr))
        host.variantNumber = text->number;
    return true;
}

bool readSettingsFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (bytes.size() != sizeof(EffectSettings)) {
        error = path + ": " + std::to_string(bytes.size()) + " bytes, a settings file holds exactly " +
                std::to_string(sizeof(EffectSettings));
        return false;
    }
    return true;
}

bool writeSettingsFile(const std::string& path, const uint8_t* bytes, std::string& error) {
    OutputFile out;
    if (!out.open(path, error)) return false;
    if (std::fwrite(bytes, 1, sizeof(EffectSettings), out.stream()) != sizeof(EffectSettings)) {
        error = path + ": cannot write: " + std::strerror(errno);
        return false;
    }
    return out.commit(error);
}

void openPanelAction(DialogHost& host, uint16_t panel) {
    ActionRequest request{};
    request.action = actionOpenPanel;
    request.subCode = panel;
    host.plugin->operatorAction(&request);
}

std::vector<std::string> settingChanges(const uint8_t* before, const uint8_t* after) {
    std::vector<std::string> changes;
    for (int i = 0; i < 17; ++i) {
        const int32_t a = wordAt(before, i), b = wordAt(after, i);
        if (a == b) continue;
        char text[96];
        if (i == 3)
            std::snprintf(text, sizeof text, "%s 0x%08X -> 0x%08X", wordNames[i], static_cast<unsigned>(a),
                          static_cast<unsigned>(b));
        else
            std::snprintf(text, sizeof text, "%s %d -> %d", wordNames[i], a, b);
        changes.push_back(text);
    }
    return changes;
}

}  // namespace zask
