// The in, hold and out phases of every page, and where, how far and how
// visible each letter is in a field.
#pragma once

#include <cstdint>

#include "assets/scene.h"
#include "field/letter_layout.h"

enum class Phase { in, hold, out };

struct Timeline {
    uint32_t pageLength;
    uint32_t page;
    int32_t inLength;
    int32_t outLength;
    uint32_t phasePosition;
    float phaseFraction;
    Phase phase;
};

struct MirrorRow {
    double kx;
    double ky;
    int signRotX;
    int signRotY;
    int signRotZ;
    int32_t drawMirrorX;
    int32_t drawMirrorY;
};

extern const MirrorRow mirrorTable[4];

// The letter timing channel: two linear keys, (0, 0) and (100, 1.0).
extern MotionChannel letterTimingChannel;
void rewriteLetterTimingChannel();

Timeline computeTimeline(const ActionRequest* request, uint32_t pageCount);
// False when the letter is not drawn in this field.
bool letterProgress(int32_t letterNumber, uint32_t count, const Timeline& timeline, float* progress);
void letterOpacity(float progress);
float letterSceneTime(float progress);
void placeLetter(const LetterEntry& entry, int mirrorMode, int32_t frameWidth, int32_t frameHeight,
                 const ActionRequest* request);
