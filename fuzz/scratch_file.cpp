#include "fuzz/scratch_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace fuzzhost {

std::string writeScratchFile(const char* name, const uint8_t* data, size_t size)
{
    static const std::string folder = [] {
        std::string path = "/tmp/zask-fuzz-" + std::to_string(getpid());
        mkdir(path.c_str(), 0700);
        return path;
    }();
    const std::string path = folder + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        std::abort();
    if (size != 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
    return path;
}

}  // namespace fuzzhost
