// The content of a KTHOME tree: letter objects, letter scenes and the data
// directories, built in memory and written byte for byte the same every run.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace assetwriter {

using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------- objects

enum class PolygonForm { shortRecords, longRecords };   // POL2 (36 bytes), POLS (480 bytes)

struct ObjectPolygon {
    uint16_t pointIndex[3];
    int16_t textureIndex;
    float uv[6];
};

struct ObjectModel {
    std::vector<std::array<float, 3>> points;
    std::vector<ObjectPolygon> polygons;   // without the terminator record
};

// Half-extents of the letter's front face: at the rest pose (depth 8.212)
// the face then projects onto exactly the character's picture.
extern const float letterHalfWidth;
extern const float letterHalfHeight;

struct LetterObjectFile {
    const char* fileName;
    float depth;   // model units behind the front face
};
// Thin, normal and thick.
extern const std::array<LetterObjectFile, 3> letterObjectFiles;

// A slab whose front face lies at z = 0 and whose back lies at z = depth.
ObjectModel buildLetterSlab(float depth);
Bytes encodeObject(const ObjectModel& model, PolygonForm form);

// ---------------------------------------------------------------- scenes

enum Channel { posX, posY, posZ, heading, pitch, bank, scaleX, scaleY, scaleZ, channelCount };

enum class KeyShape : uint32_t { tcb = 0, hermite = 1, hermiteAlt = 2, linear = 3, step = 4, bezier = 5 };

struct Key {
    float time;
    float value;
    KeyShape shape;
    float param[5];
};

struct SlotMotion {
    std::string name;
    std::array<std::vector<Key>, channelCount> channels;
};

struct SceneMotion {
    int number;            // 1..50, or 0 for the empty scene
    std::string motion;    // one line for the table
    std::vector<SlotMotion> slots;
};

// Scene time at which every letter stands at its place.
constexpr float sceneEndTime = 16.666666f;
// Position x 0, y 0, z 5.0, no rotation, scale 1.
extern const std::array<float, channelCount> restPose;

constexpr size_t sceneFileBytes = 82480;
constexpr size_t sceneSlotBytes = 16496;
constexpr size_t slotNameBytes = 260;
constexpr size_t channelBytes = 1804;
constexpr size_t keyBytes = 36;
constexpr size_t maxKeys = 50;
constexpr size_t maxSlots = 4;

Bytes encodeScene(const SceneMotion& scene);

// Scenes 1..50 in number order.
const std::vector<SceneMotion>& sceneLibrary();
SceneMotion emptyScene();

// The variant (1..5) whose table offers the scene number.
int variantOfScene(int number);
// The shapes that decide segments (keys after the first of a channel), by name.
std::string shapesUsed(const SceneMotion& scene);
// The Markdown table of tools/assets/SCENES.md.
std::string sceneTable();

// ---------------------------------------------------------------- the tree

struct TreeFile {
    std::string path;   // relative to the KTHOME directory
    Bytes bytes;
};

// Every file of the tree, in a fixed order.
std::vector<TreeFile> kthomeFiles();
// Directories relative to KTHOME, parents first.
std::vector<std::string> kthomeDirectories();
// Writes the tree under `root`; false (with a message in `error`) on failure.
bool writeKthome(const std::string& root, std::string& error);

}  // namespace assetwriter
