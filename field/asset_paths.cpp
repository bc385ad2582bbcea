#include "field/asset_paths.h"

#include <cstdlib>
#include <cstring>

#include "assets/scene.h"
#include "field/random_generator.h"
#include "operator/effect_settings.h"
#include "variants/variant.h"

char scenePath[pathBufferSize];
char objectPath[pathBufferSize];
int activeInMirror;
int activeOutMirror;

bool buildKthomePath(char* buffer, const char* suffix)
{
    const char* home = getenv("KTHOME");
    if (home == nullptr)
        return false;
    const size_t homeLength = strlen(home), suffixLength = strlen(suffix);
    if (homeLength + suffixLength + 1 > pathBufferSize)
        return false;
    memcpy(buffer, home, homeLength);
    memcpy(buffer + homeLength, suffix, suffixLength + 1);
    return true;
}

const char* objectFileFor(int thickness)
{
    switch (thickness) {
    case 0:
    case 1: return "/programs/zask/objects/buchstabethin.lwo.clw";
    case 2: return "/programs/zask/objects/buchstabe.lwo.clw";
    case 3: return "/programs/zask/objects/buchstabethick.lwo.clw";
    default: return nullptr;
    }
}

namespace {

bool thicknessLoadsScenes()
{
    return effectSettings.thickness >= 0 && effectSettings.thickness <= 3;
}

int validMirror(int mode)
{
    return mode >= 0 && mode <= 3 ? mode : 0;
}

// Scene number n (1 .. 99) becomes ".../buchstabe_0" tens units ".sce".
bool buildScenePath(int sceneNumber)
{
    if (sceneNumber < 0 || sceneNumber > 99)
        return false;
    char name[] = "/programs/zask/scenes/buchstabe_0xx.sce";
    char* digits = strstr(name, "xx");
    digits[0] = static_cast<char>('0' + sceneNumber / 10);
    digits[1] = static_cast<char>('0' + sceneNumber % 10);
    return buildKthomePath(scenePath, name);
}

// Loads scene `number` into table entry `entry`; false when it cannot be had.
bool loadSceneNumber(int entry, int number)
{
    if (!buildScenePath(number))
        return false;
    if (!buildKthomePath(objectPath, objectFileFor(effectSettings.thickness)))
        return false;
    return loadScene(&sceneTable[entry], scenePath, objectPath) == 0;
}

}  // namespace

int selectScenes()
{
    int inNumber = -1, outNumber = -1;
    if (variant.randomScenes) {
        const int32_t r1 = randZask(), r2 = randZask(), r3 = randZask(), r4 = randZask();
        inNumber = 1 + (r1 * 50) / 32767;
        activeInMirror = (r2 * 3) / 32767;
        outNumber = 1 + (r3 * 50) / 32767;
        activeOutMirror = (r4 * 3) / 32767;
    } else {
        activeInMirror = validMirror(effectSettings.inMirror);
        activeOutMirror = validMirror(effectSettings.outMirror);
        // An index outside the table fails like a scene that cannot be loaded.
        const int in = effectSettings.inScene, out = effectSettings.outScene;
        if (in >= 0 && in < variant.sceneTableLength)
            inNumber = variant.sceneTable[in];
        if (out >= 0 && out < variant.sceneTableLength)
            outNumber = variant.sceneTable[out];
    }
    objectScale = 1.0;

    if (!thicknessLoadsScenes())
        return 0;
    if (!loadSceneNumber(0, inNumber)) {
        logFailure(1187 + variant.sceneLineOffset);
        return -1;
    }
    if (!loadSceneNumber(1, outNumber)) {
        logFailure(1215 + variant.sceneLineOffset);
        return -1;
    }
    return 0;
}

int loadPreviewScene()
{
    objectScale = 1.0;
    const bool haveScenePath = buildKthomePath(scenePath, "/programs/zask/scenes/empty.sce");
    if (!thicknessLoadsScenes())
        return 0;
    if (!haveScenePath || !buildKthomePath(objectPath, objectFileFor(effectSettings.thickness)) ||
        loadScene(&sceneTable[0], scenePath, objectPath) != 0) {
        logFailure(1260 + variant.sceneLineOffset);
        return -1;
    }
    return 0;
}
