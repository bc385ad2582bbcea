// The letter objects: a slab carrying the character's picture on its front.
#include <bit>
#include <utility>

#include "tools/assets/asset_writer.h"

namespace assetwriter {

namespace {

// At the rest pose (position z 5.0) a point of model depth 0 lies at depth
// 13.212 - 5.0 = 8.212. The projection turns a half-width h scaled by
// letterScaleX = iw / W into 0.8 W · h · (iw / W) · 1.4007 / 8.212 pixels,
// which is iw / 2 for h = 8.212 / (2 · 0.8 · 1.4007); likewise for the height
// with projScaleY = H. (±3.6 by ±2.88 would fit at depth 8.068 instead.)
constexpr double restDepth = 13.212 - 5.0;
constexpr double focalFactor = 1.4007;

constexpr int gridCells = 4;   // front and back faces: 4 x 4 quads each

constexpr int16_t backTexture = 0;
constexpr int16_t frontTexture = 1;
constexpr int16_t topTexture = 2;
constexpr int16_t leftWorldTexture = 3;    // x = -half width: the picture's right edge
constexpr int16_t bottomTexture = 4;
constexpr int16_t rightWorldTexture = 5;   // x = +half width: the picture's left edge

constexpr size_t shortRecordBytes = 36;
constexpr size_t longRecordBytes = 480;

using Vec = std::array<double, 3>;

Vec minus(const std::array<float, 3>& a, const std::array<float, 3>& b)
{
    return {double{a[0]} - b[0], double{a[1]} - b[1], double{a[2]} - b[2]};
}

Vec cross(const Vec& a, const Vec& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

struct SlabBuilder {
    ObjectModel model;

    // The reader's normal points along (P2 - P0) x (P1 - P0); order the
    // corners so that it points along `outward`.
    void triangle(uint16_t a, uint16_t b, uint16_t c, std::array<float, 2> uvA,
                  std::array<float, 2> uvB, std::array<float, 2> uvC, int16_t texture,
                  const Vec& outward)
    {
        const auto& p = model.points;
        const Vec n = cross(minus(p[c], p[a]), minus(p[b], p[a]));
        if (n[0] * outward[0] + n[1] * outward[1] + n[2] * outward[2] < 0.0) {
            std::swap(b, c);
            std::swap(uvB, uvC);
        }
        model.polygons.push_back(
            {{a, b, c}, texture, {uvA[0], uvA[1], uvB[0], uvB[1], uvC[0], uvC[1]}});
    }

    // Corners in order around the quad; the diagonal alternates with `flip`
    // so that the split pattern is symmetric.
    void quad(const std::array<uint16_t, 4>& corner, const std::array<std::array<float, 2>, 4>& uv,
              int16_t texture, const Vec& outward, bool flip)
    {
        if (!flip) {
            triangle(corner[0], corner[1], corner[2], uv[0], uv[1], uv[2], texture, outward);
            triangle(corner[0], corner[2], corner[3], uv[0], uv[2], uv[3], texture, outward);
        } else {
            triangle(corner[0], corner[1], corner[3], uv[0], uv[1], uv[3], texture, outward);
            triangle(corner[1], corner[2], corner[3], uv[1], uv[2], uv[3], texture, outward);
        }
    }
};

void putU16(Bytes& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void putU32(Bytes& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void putFloat(Bytes& out, float value) { putU32(out, std::bit_cast<uint32_t>(value)); }

void putId(Bytes& out, const char* id)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(id[i]));
}

void putChunkHeader(Bytes& out, const char* id, size_t length, size_t recordSize)
{
    putId(out, id);
    putU32(out, static_cast<uint32_t>(length));
    putU32(out, static_cast<uint32_t>(recordSize));
}

void putShortRecord(Bytes& out, const ObjectPolygon& polygon)
{
    for (uint16_t index : polygon.pointIndex)
        putU16(out, index);
    putU16(out, static_cast<uint16_t>(polygon.textureIndex));
    for (float coordinate : polygon.uv)
        putFloat(out, coordinate);
    out.insert(out.end(), 4, 0);   // surface bytes and the unused byte
}

void putLongRecord(Bytes& out, const ObjectPolygon& polygon)
{
    Bytes record;
    for (uint16_t index : polygon.pointIndex)
        putU32(record, index);
    record.resize(20, 0);
    putU32(record, static_cast<uint32_t>(static_cast<int32_t>(polygon.textureIndex)));
    record.resize(132, 0);   // surface words at 100..105 stay 0
    for (float coordinate : polygon.uv)
        putFloat(record, coordinate);
    record.resize(longRecordBytes, 0);
    out.insert(out.end(), record.begin(), record.end());
}

}  // namespace

const float letterHalfWidth = static_cast<float>(restDepth / (2.0 * 0.8 * focalFactor));
const float letterHalfHeight = static_cast<float>(restDepth / (2.0 * focalFactor));

const std::array<LetterObjectFile, 3> letterObjectFiles = {{
    {"buchstabethin.lwo.clw", 0.25f},
    {"buchstabe.lwo.clw", 0.6f},
    {"buchstabethick.lwo.clw", 1.2f},
}};

ObjectModel buildLetterSlab(float depth)
{
    SlabBuilder slab;
    constexpr int side = gridCells + 1;
    // Front grid first, then the back grid; column i runs from the picture's
    // left edge (world +x) to its right edge, row j from top to bottom.
    for (float z : {0.0f, depth})
        for (int j = 0; j < side; ++j)
            for (int i = 0; i < side; ++i)
                slab.model.points.push_back(
                    {letterHalfWidth - 2.0f * letterHalfWidth * static_cast<float>(i) / gridCells,
                     letterHalfHeight - 2.0f * letterHalfHeight * static_cast<float>(j) / gridCells,
                     z});
    auto front = [&](int i, int j) { return static_cast<uint16_t>(j * side + i); };
    auto back = [&](int i, int j) { return static_cast<uint16_t>(side * side + j * side + i); };
    auto fraction = [](int k) { return static_cast<float>(k) / gridCells; };

    for (int j = 0; j < gridCells; ++j)
        for (int i = 0; i < gridCells; ++i) {
            const bool flip = (i < gridCells / 2) != (j < gridCells / 2);
            const std::array<std::array<float, 2>, 4> uv = {{{fraction(i), fraction(j)},
                                                             {fraction(i + 1), fraction(j)},
                                                             {fraction(i + 1), fraction(j + 1)},
                                                             {fraction(i), fraction(j + 1)}}};
            slab.quad({front(i, j), front(i + 1, j), front(i + 1, j + 1), front(i, j + 1)}, uv,
                      frontTexture, {0.0, 0.0, -1.0}, flip);
            // Laid so that it reads unmirrored from behind.
            const std::array<std::array<float, 2>, 4> backUv = {{{1.0f - uv[0][0], uv[0][1]},
                                                                 {1.0f - uv[1][0], uv[1][1]},
                                                                 {1.0f - uv[2][0], uv[2][1]},
                                                                 {1.0f - uv[3][0], uv[3][1]}}};
            slab.quad({back(i, j), back(i + 1, j), back(i + 1, j + 1), back(i, j + 1)}, backUv,
                      backTexture, {0.0, 0.0, 1.0}, flip);
        }

    // Sides: u along the edge, v from the front (0) to the back (1).
    for (int k = 0; k < gridCells; ++k) {
        const std::array<std::array<float, 2>, 4> uv = {
            {{fraction(k), 0.0f}, {fraction(k + 1), 0.0f}, {fraction(k + 1), 1.0f}, {fraction(k), 1.0f}}};
        const bool flip = k >= gridCells / 2;
        slab.quad({front(k, 0), front(k + 1, 0), back(k + 1, 0), back(k, 0)}, uv, topTexture,
                  {0.0, 1.0, 0.0}, flip);
        slab.quad({front(gridCells, k), front(gridCells, k + 1), back(gridCells, k + 1),
                   back(gridCells, k)},
                  uv, leftWorldTexture, {-1.0, 0.0, 0.0}, flip);
        slab.quad({front(k, gridCells), front(k + 1, gridCells), back(k + 1, gridCells),
                   back(k, gridCells)},
                  uv, bottomTexture, {0.0, -1.0, 0.0}, flip);
        slab.quad({front(0, k), front(0, k + 1), back(0, k + 1), back(0, k)}, uv, rightWorldTexture,
                  {1.0, 0.0, 0.0}, flip);
    }
    return slab.model;
}

Bytes encodeObject(const ObjectModel& model, PolygonForm form)
{
    Bytes chunks;
    putChunkHeader(chunks, "PNTS", model.points.size() * 12, 12);
    for (const auto& point : model.points)
        for (float coordinate : point)
            putFloat(chunks, coordinate);

    const bool shortForm = form == PolygonForm::shortRecords;
    const size_t recordSize = shortForm ? shortRecordBytes : longRecordBytes;
    const ObjectPolygon terminator = {{0xFFFF, 0, 0}, 0, {}};
    putChunkHeader(chunks, shortForm ? "POL2" : "POLS", (model.polygons.size() + 1) * recordSize,
                   recordSize);
    for (const ObjectPolygon& polygon : model.polygons)
        shortForm ? putShortRecord(chunks, polygon) : putLongRecord(chunks, polygon);
    shortForm ? putShortRecord(chunks, terminator) : putLongRecord(chunks, terminator);

    Bytes file;
    putId(file, "FORM");
    putU32(file, static_cast<uint32_t>(chunks.size()));   // the type field is not counted
    putId(file, "COBJ");
    file.insert(file.end(), chunks.begin(), chunks.end());
    return file;
}

}  // namespace assetwriter
