// Loads arbitrary bytes as a scene file, with a valid object for its slots.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "assets/scene.h"

namespace {

// The smallest loadable object: three points and one triangle.
const uint8_t minimalObject[144] = {
    'F', 'O', 'R', 'M', 0, 0, 0, 132, 'C', 'O', 'B', 'J',
    'P', 'N', 'T', 'S', 0, 0, 0, 36, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0x3F, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0x3F, 0x80, 0, 0, 0, 0, 0, 0,
    'P', 'O', 'L', '2', 0, 0, 0, 72, 0, 0, 0, 36,
    0, 0, 0, 1, 0, 2, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};

std::string tempPath(const char* name) { return "/tmp/zask-fuzz-" + std::to_string(getpid()) + "-" + name; }

bool writeFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    return true;
}

const std::string objectPath = tempPath("letter.lwo.clw");
const std::string scenePath = tempPath("scene.sce");

void removeFiles() {
    std::remove(objectPath.c_str());
    std::remove(scenePath.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool objectWritten = writeFile(objectPath, minimalObject, sizeof minimalObject) &&
                                      std::atexit(removeFiles) == 0;
    if (!objectWritten || !writeFile(scenePath, data, size)) return 0;

    Scene scene{};
    const int result = loadScene(&scene, scenePath.c_str(), objectPath.c_str());
    if (result != 0) __builtin_trap();   // the object is valid, so every scene image loads
    const int used = usedSlotCount(&scene);
    if (used < 0 || used > maxUsedSlots) __builtin_trap();
    for (int i = 0; i < used; ++i)
        if (!scene.objects[i].points || !scene.objects[i].polygons) __builtin_trap();
    releaseScene(&scene);
    releaseScene(&scene);
    return 0;
}
