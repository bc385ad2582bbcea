#include "operator/effect_settings.h"

EffectSettings effectSettings;

void writeDefaultSettings(EffectSettings& settings)
{
    settings = EffectSettings{
        2,                              // shadingMode: per-pixel light
        100,                            // lightIntensity
        4,                              // lightPosition
        static_cast<int32_t>(0x7A8080FF),  // lightColour: grey Y 122
        2,                              // thickness: normal letter
        50,                             // reserved5
        0,                              // antialiasing
        0, 0, 0,                        // rotations
        0, 0,                           // inScene, outScene
        0, 0,                           // inMirror, outMirror
        100,                            // randomSeed
        50,                             // inDuration
        50,                             // outDuration
    };
}
