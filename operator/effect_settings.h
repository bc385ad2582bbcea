// The 68-byte settings record the host stores with the project and that preset
// files copy byte for byte.
#pragma once

#include <cstdint>

struct EffectSettings {
    int32_t shadingMode;
    int32_t lightIntensity;
    int32_t lightPosition;
    int32_t lightColour;
    int32_t thickness;
    int32_t reserved5;
    int32_t antialiasing;
    int32_t rotationX;
    int32_t rotationY;
    int32_t rotationZ;
    int32_t inScene;
    int32_t outScene;
    int32_t inMirror;
    int32_t outMirror;
    int32_t randomSeed;
    int32_t inDuration;
    int32_t outDuration;
};
static_assert(sizeof(EffectSettings) == 68);

extern EffectSettings effectSettings;

void writeDefaultSettings(EffectSettings& settings);
