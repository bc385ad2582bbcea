#include "tools/host/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace zask {

namespace {

bool isDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string programDirectory() {
    std::vector<char> buffer(4096);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return ".";
    std::string path(buffer.data(), static_cast<size_t>(n));
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string variantPath(const std::string& variant) { return programDirectory() + "/../lib/" + variant + ".so"; }

std::string defaultKthome() {
    if (const char* home = std::getenv("KTHOME"); home != nullptr && *home != '\0') return home;
    std::string built = programDirectory() + "/../kthome";
    if (isDirectory(built + "/programs/zask")) return built;
    return ZASK_FIXTURE_KTHOME;
}

}  // namespace zask
