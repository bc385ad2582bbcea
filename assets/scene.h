// Scenes: keyframed motion of up to four object slots, and the scene table.
#pragma once

#include <cstdint>

#include "assets/letter_object.h"

constexpr int sceneFileSize = 82480;
constexpr int sceneSlotCount = 5;
constexpr int maxUsedSlots = 4;
constexpr int channelsPerSlot = 9;
constexpr int keysPerChannel = 50;
constexpr int sceneTableSize = 100;

struct MotionKey {
    float value;
    float time;
    uint32_t shape;       // 0 TCB, 1 and 2 Hermite, 3 linear, 4 step, 5 Bezier
    float param[5];
    uint32_t unused;
};
static_assert(sizeof(MotionKey) == 36);

struct MotionChannel {
    int32_t keyCount;
    MotionKey keys[keysPerChannel];
};
static_assert(sizeof(MotionChannel) == 1804);

struct SceneSlot {
    char slotName[260];   // first byte non-zero: slot in use
    MotionChannel channels[channelsPerSlot];
};
static_assert(sizeof(SceneSlot) == 16496);
static_assert(sizeof(SceneSlot) * sceneSlotCount == sceneFileSize);

struct Scene {
    SceneSlot* slotImage;     // five slots as read from the file, or null
    LetterObject* objects;    // maxUsedSlots objects, or null
    float sceneTime;
};

// Entry 0 is the in scene (and the preview's), entry 1 the out scene.
extern Scene sceneTable[sceneTableSize];

int loadScene(Scene* scene, const char* scenePath, const char* objectPath);
void releaseScene(Scene* scene);

// Number of used slots (at most four: a fifth used slot is never loaded).
int usedSlotCount(const Scene* scene);
