// Letter objects: the in-memory model of one object file and its reader.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int maxObjectPoints = 1999;   // plus the end point: 2000 render-context entries
constexpr int textureSlots = 100;
constexpr int maxFileTextures = 99;
constexpr int frameListSlots = 600;
constexpr int textureFileRecordSize = 488;

// The file image of a texture record (big-endian fields converted), with the
// pixel pointer in a native field beside it.
struct TextureRecord {
    uint32_t filePixelsWord;   // the file's pointer word; unused in memory
    int32_t width;
    int32_t height;            // 0 in the file means "same as width"
    uint8_t bytes12[96];
    uint32_t word108;
    uint32_t word112;
    uint8_t bytes116[60];
    uint32_t word176;          // cleared by the reader
    uint16_t half180;
    uint8_t bytes182[2];
    int32_t pixelMode;
    uint32_t word188;
    uint8_t bytes192[296];
    uint8_t* pixels;           // texels of 4 bytes, or null, or textureEndMarker
};
static_assert(offsetof(TextureRecord, width) == 4);
static_assert(offsetof(TextureRecord, height) == 8);
static_assert(offsetof(TextureRecord, word108) == 108);
static_assert(offsetof(TextureRecord, word176) == 176);
static_assert(offsetof(TextureRecord, half180) == 180);
static_assert(offsetof(TextureRecord, pixelMode) == 184);
static_assert(offsetof(TextureRecord, word188) == 188);
static_assert(offsetof(TextureRecord, pixels) == textureFileRecordSize);
static_assert(sizeof(TextureRecord) == 496);

// Marks the slot after the last texture read from the file.
inline uint8_t* const textureEndMarker = reinterpret_cast<uint8_t*>(uintptr_t{0xFFFFFFFF});

struct LetterPolygon {
    int16_t pointIndex[3];     // -1 in the first marks the terminator record
    int16_t textureIndex;      // negative: untextured
    float normal[3];
    uint8_t surfaceBytes[3];
    uint8_t unused;
    float uv[6];               // u0 v0 u1 v1 u2 v2
};
static_assert(sizeof(LetterPolygon) == 48);
static_assert(offsetof(LetterPolygon, normal) == 8);
static_assert(offsetof(LetterPolygon, surfaceBytes) == 20);
static_assert(offsetof(LetterPolygon, uv) == 24);

struct LetterObject {
    float* points;             // x y z triples, ended by (-1, -1, -1)
    LetterPolygon* polygons;   // ended by the terminator record
    TextureRecord* textures;   // textureSlots records
    float* vertexNormals;
    float* frameLists[frameListSlots];
    int32_t frameValueA;
    int32_t frameValueB;
    // Pixel buffers read from TIMG chunks. The renderer re-points texture
    // records at buffers of its own, so ownership is kept apart from them.
    uint8_t* filePixels[maxFileTextures];
    uint32_t filePixelBytes[maxFileTextures];   // size of each of those buffers
};

// Multiplies every point coordinate on load; the scene loaders set it to 1.0.
extern double objectScale;

int loadLetterObject(char* path, LetterObject* object);
void releaseLetterObject(LetterObject* object);
void computePolygonNormals(LetterPolygon* polygons, const float* points);
void convertPointList(float* list);
