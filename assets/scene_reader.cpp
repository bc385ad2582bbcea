// The scene file reader: a fixed-size little-endian memory image, read as it
// stands, and one letter object per used slot.
#include "assets/scene.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

Scene sceneTable[sceneTableSize];

namespace {

constexpr size_t objectPathBufferSize = 1024;

}  // namespace

int usedSlotCount(const Scene* scene) {
    if (!scene || !scene->slotImage) return 0;
    // The object array has room for four; a fifth used slot is never loaded.
    int count = 0;
    while (count < maxUsedSlots && scene->slotImage[count].slotName[0] != '\0') ++count;
    return count;
}

int loadScene(Scene* scene, const char* scenePath, const char* objectPath) {
    if (!scene) return -1;
    releaseScene(scene);

    scene->slotImage = static_cast<SceneSlot*>(std::calloc(sceneSlotCount, sizeof(SceneSlot)));
    if (!scene->slotImage) return -1;
    std::FILE* file = scenePath ? std::fopen(scenePath, "rb") : nullptr;
    if (!file) {
        releaseScene(scene);
        return -1;
    }
    // A short file leaves the rest of the image zero.
    std::fread(scene->slotImage, 1, sceneFileSize, file);
    std::fclose(file);

    scene->objects = static_cast<LetterObject*>(std::calloc(maxUsedSlots, sizeof(LetterObject)));
    if (!scene->objects) {
        releaseScene(scene);
        return -2;
    }
    const int used = usedSlotCount(scene);
    for (int i = 0; i < used; ++i) {
        // The object reader lower-cases its path in place, so each slot gets a
        // fresh copy; a path that does not fit fails like a missing file.
        char path[objectPathBufferSize] = {};
        const bool fits = objectPath && std::strlen(objectPath) < sizeof path;
        if (fits) std::memcpy(path, objectPath, std::strlen(objectPath));
        if (!fits || loadLetterObject(path, &scene->objects[i]) == 0) {
            releaseScene(scene);
            return -2;
        }
    }
    return 0;
}

void releaseScene(Scene* scene) {
    if (!scene) return;
    // Every object record is released, not only the used slots': unused
    // records are empty, and releasing an empty object changes nothing.
    if (scene->objects)
        for (int i = 0; i < maxUsedSlots; ++i) releaseLetterObject(&scene->objects[i]);
    std::free(scene->objects);
    std::free(scene->slotImage);
    scene->objects = nullptr;
    scene->slotImage = nullptr;
}
