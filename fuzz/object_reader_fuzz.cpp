// Loads arbitrary bytes as an object file and checks what the renderer relies
// on: every polygon before the terminator names existing points and a texture
// slot inside the table.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "assets/letter_object.h"

namespace {

const std::string& objectPath() {
    // Digits only: the reader lower-cases the path.
    static const std::string path = "/tmp/zask-fuzz-object-" + std::to_string(getpid()) + ".lwo.clw";
    return path;
}

void check(bool condition) {
    if (!condition) __builtin_trap();
}

bool isEndPoint(const float* p) { return p[0] == -1.0f && p[1] == -1.0f && p[2] == -1.0f; }

void checkLoaded(const LetterObject& object) {
    check(object.points && object.polygons && object.textures);
    int points = 0;
    while (!isEndPoint(object.points + 3 * points)) ++points;
    check(points <= maxObjectPoints);
    for (const LetterPolygon* p = object.polygons; p->pointIndex[0] != -1; ++p) {
        for (int k = 0; k < 3; ++k) check(p->pointIndex[k] == -1 || (p->pointIndex[k] >= 0 && p->pointIndex[k] < points));
        check(p->pointIndex[0] >= 0);
        check(p->textureIndex < textureSlots);
    }
    int textures = 0;
    while (object.textures[textures].pixels != textureEndMarker) {
        check(textures < maxFileTextures);
        ++textures;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(objectPath().c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    std::string path = objectPath();
    LetterObject object{};
    if (loadLetterObject(path.data(), &object)) checkLoaded(object);
    releaseLetterObject(&object);
    releaseLetterObject(&object);
    std::remove(objectPath().c_str());
    return 0;
}
