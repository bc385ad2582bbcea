// The object file reader: a big-endian chunked container read whole into
// memory and parsed through one bounded cursor.
#include "assets/letter_object.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "assets/byte_cursor.h"

double objectScale = 1.0;

namespace {

constexpr uint32_t chunkId(const char (&id)[5]) {
    return uint32_t{static_cast<uint8_t>(id[0])} << 24 | uint32_t{static_cast<uint8_t>(id[1])} << 16 |
           uint32_t{static_cast<uint8_t>(id[2])} << 8 | uint32_t{static_cast<uint8_t>(id[3])};
}

constexpr uint32_t idForm = chunkId("FORM");
constexpr uint32_t idCobj = chunkId("COBJ");
constexpr uint32_t idPnts = chunkId("PNTS");
constexpr uint32_t idNmls = chunkId("NMLS");
constexpr uint32_t idPols = chunkId("POLS");
constexpr uint32_t idPol2 = chunkId("POL2");
constexpr uint32_t idAnim = chunkId("ANIM");
constexpr uint32_t idTimg = chunkId("TIMG");

constexpr int32_t minFormLength = 101;
constexpr int32_t chunkHeaderSize = 12;
constexpr int32_t pointSize = 12;
constexpr int32_t pointSlack = 14;   // the end point always fits behind the data
constexpr int32_t animHeaderSize = 16;
constexpr int frameIndexLimit = frameListSlots;

// Record sizes: the format's size is the largest accepted; anything shorter
// than the last field read would leave fields undefined.
constexpr int32_t shortRecordSize = 36;
constexpr int32_t shortRecordFieldsEnd = 35;
constexpr int32_t longRecordSize = 480;
constexpr int32_t longRecordFieldsEnd = 156;

constexpr uint16_t noPoint = 0xFFFF;

constexpr float endCoordinate = -1.0f;

bool readWholeFile(const char* path, std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    bool ok = true;
    try {
        uint8_t block[65536];
        size_t got;
        while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + got);
        ok = !std::ferror(file);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    std::fclose(file);
    return ok;
}

// Opens the lower-cased path (written back into the caller's string), and on a
// case-sensitive file system the caller's spelling when that fails.
bool readObjectFile(char* path, std::vector<uint8_t>& bytes) {
    const std::string asGiven(path);
    for (char* c = path; *c; ++c) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    if (readWholeFile(path, bytes)) return true;
    bytes.clear();
    return asGiven != path && readWholeFile(asGiven.c_str(), bytes);
}

void writeEndPoint(float* list, size_t index) {
    list[index * 3 + 0] = endCoordinate;
    list[index * 3 + 1] = endCoordinate;
    list[index * 3 + 2] = endCoordinate;
}

bool isEndPoint(const float* p) {
    return p[0] == endCoordinate && p[1] == endCoordinate && p[2] == endCoordinate;
}

// Reads count bytes of points into a fresh buffer with room for the end point,
// converted and scaled.
float* readPointList(ByteCursor& cursor, int32_t count) {
    auto* list = static_cast<float*>(std::calloc(1, static_cast<size_t>(count) + pointSlack));
    if (!list) return nullptr;
    cursor.readBytes(list, static_cast<size_t>(count));
    const size_t end = static_cast<size_t>(count / pointSize);
    writeEndPoint(list, end);
    convertPointList(list);
    // A data triple that read as the end point stopped the conversion early;
    // the list must still end where the data ends.
    writeEndPoint(list, end);
    return list;
}

float floatFromBits(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

void readShortPolygon(ByteCursor& record, LetterPolygon& polygon) {
    for (int i = 0; i < 3; ++i) polygon.pointIndex[i] = static_cast<int16_t>(record.u16BEAt(2 * i));
    polygon.textureIndex = static_cast<int16_t>(record.u16BEAt(6));
    for (int i = 0; i < 6; ++i) polygon.uv[i] = floatFromBits(record.u32BEAt(8 + 4 * i));
    for (int i = 0; i < 3; ++i) polygon.surfaceBytes[i] = record.u8At(32 + i);
}

void readLongPolygon(ByteCursor& record, LetterPolygon& polygon) {
    for (int i = 0; i < 3; ++i) polygon.pointIndex[i] = static_cast<int16_t>(record.u32BEAt(4 * i) & 0xFFFF);
    polygon.textureIndex = static_cast<int16_t>(record.u32BEAt(20) & 0xFFFF);
    for (int i = 0; i < 3; ++i) polygon.surfaceBytes[i] = static_cast<uint8_t>(record.u16BEAt(100 + 2 * i) & 0xFF);
    for (int i = 0; i < 6; ++i) polygon.uv[i] = floatFromBits(record.u32BEAt(132 + 4 * i));
}

bool isTerminator(const LetterPolygon& polygon) { return polygon.pointIndex[0] == -1; }

struct ReadState {
    int32_t pointsLength = -1;   // PNTS chunk length, -1 before PNTS
    int textureCount = 0;
};

bool readPoints(ByteCursor& cursor, int32_t length, LetterObject* object, ReadState& state) {
    if (object->points || length < 0 || length / pointSize > maxObjectPoints) return false;
    if (!cursor.canRead(static_cast<size_t>(length))) return false;
    object->vertexNormals = static_cast<float*>(std::calloc(1, static_cast<size_t>(length) + pointSlack));
    if (!object->vertexNormals) return false;
    object->points = readPointList(cursor, length);
    state.pointsLength = length;
    return object->points != nullptr;
}

bool readNormals(ByteCursor& cursor, int32_t length, LetterObject* object, const ReadState& state) {
    if (!object->points || length < 0 || length > state.pointsLength) return false;
    return cursor.readBytes(object->vertexNormals, static_cast<size_t>(length));
}

bool readPolygons(ByteCursor& cursor, int32_t length, int32_t recordSize, bool longForm, LetterObject* object) {
    const int32_t fieldsEnd = longForm ? longRecordFieldsEnd : shortRecordFieldsEnd;
    const int32_t largest = longForm ? longRecordSize : shortRecordSize;
    if (object->polygons || recordSize < fieldsEnd || recordSize > largest) return false;
    // A partial last record would run into the next chunk; an empty chunk has
    // no terminator.
    if (length <= 0 || length % recordSize != 0 || !cursor.canRead(static_cast<size_t>(length))) return false;
    const size_t count = static_cast<size_t>(length / recordSize);
    object->polygons = static_cast<LetterPolygon*>(std::calloc(count + 1, sizeof(LetterPolygon)));
    if (!object->polygons) return false;
    for (size_t i = 0; i < count; ++i) {
        ByteCursor record = cursor.sub(static_cast<size_t>(recordSize));
        if (longForm)
            readLongPolygon(record, object->polygons[i]);
        else
            readShortPolygon(record, object->polygons[i]);
        if (record.failed()) return false;
    }
    return isTerminator(object->polygons[count - 1]);
}

bool readFrame(ByteCursor& cursor, int32_t length, LetterObject* object) {
    if (length < animHeaderSize || !cursor.canRead(static_cast<size_t>(length))) return false;
    int32_t setIndex = 0, frameIndex = 0, valueA = 0, valueB = 0;
    cursor.readI32BE(setIndex);
    cursor.readI32BE(frameIndex);
    cursor.readI32BE(valueA);
    cursor.readI32BE(valueB);
    if (cursor.failed() || setIndex != 0 || frameIndex < 0 || frameIndex >= frameIndexLimit) return false;
    object->frameValueA = valueA;
    object->frameValueB = valueB;
    // A repeated frame replaces the earlier one.
    std::free(object->frameLists[frameIndex]);
    object->frameLists[frameIndex] = readPointList(cursor, length - animHeaderSize);
    return object->frameLists[frameIndex] != nullptr;
}

bool readTexture(ByteCursor& cursor, int32_t recordSize, LetterObject* object, ReadState& state,
                 int64_t& consumed) {
    if (state.textureCount >= maxFileTextures) return false;
    if (recordSize < 0 || recordSize > textureFileRecordSize) return false;
    uint32_t pixelBytes = 0;
    if (!cursor.readU32BE(pixelBytes)) return false;
    uint8_t image[textureFileRecordSize] = {};
    if (!cursor.readBytes(image, static_cast<size_t>(recordSize))) return false;

    const int index = state.textureCount;
    TextureRecord& texture = object->textures[index];
    std::memcpy(&texture, image, sizeof image);
    texture.pixels = nullptr;
    texture.width = static_cast<int32_t>(ByteCursor::loadU32BE(image + 4));
    texture.height = static_cast<int32_t>(ByteCursor::loadU32BE(image + 8));
    texture.word108 = ByteCursor::loadU32BE(image + 108);
    texture.word112 = ByteCursor::loadU32BE(image + 112);
    texture.half180 = static_cast<uint16_t>(image[180] << 8 | image[181]);
    texture.pixelMode = static_cast<int32_t>(ByteCursor::loadU32BE(image + 184));
    texture.word188 = ByteCursor::loadU32BE(image + 188);

    if (pixelBytes != 0) {
        if (!cursor.canRead(pixelBytes)) return false;
        auto* pixels = static_cast<uint8_t*>(std::malloc(pixelBytes));
        if (!pixels) return false;
        object->filePixels[index] = pixels;
        object->filePixelBytes[index] = pixelBytes;
        texture.pixels = pixels;
        cursor.readBytes(pixels, pixelBytes);
        // Two bytes per pixel is not a mode the renderer draws.
        const int64_t twoBytePixels = int64_t{texture.width} * texture.height * 2;
        if ((texture.pixelMode == 2 || texture.pixelMode == 3) && twoBytePixels == int64_t{pixelBytes})
            texture.pixelMode = 0;
    }
    if (texture.height == 0) texture.height = texture.width;
    texture.word176 = 0;

    state.textureCount = index + 1;
    object->textures[state.textureCount].pixels = textureEndMarker;
    consumed = 4 + int64_t{recordSize} + pixelBytes;
    return true;
}

// Number of points up to the end point, as the renderer will walk them.
int countPoints(const float* points) {
    int count = 0;
    while (!isEndPoint(points + 3 * count)) ++count;
    return count;
}

bool polygonsInRange(const LetterObject* object) {
    const auto limit = static_cast<unsigned>(countPoints(object->points));
    for (const LetterPolygon* p = object->polygons; !isTerminator(*p); ++p) {
        const auto i0 = static_cast<uint16_t>(p->pointIndex[0]);
        const auto i1 = static_cast<uint16_t>(p->pointIndex[1]);
        const auto i2 = static_cast<uint16_t>(p->pointIndex[2]);
        if (i0 >= limit) return false;
        if (i1 != noPoint && i1 >= limit) return false;
        if (i2 != noPoint && i2 >= limit) return false;
        if (p->textureIndex >= textureSlots) return false;
    }
    return true;
}

bool readChunks(ByteCursor& cursor, int32_t formLength, LetterObject* object) {
    ReadState state;
    int64_t remaining = formLength;
    while (remaining > 0) {
        uint32_t id = 0;
        int32_t length = 0, recordSize = 0;
        cursor.readU32BE(id);
        cursor.readI32BE(length);
        cursor.readI32BE(recordSize);
        if (cursor.failed()) return false;
        remaining -= chunkHeaderSize;

        bool ok;
        int64_t consumed = length;
        switch (id) {
            case idPnts: ok = readPoints(cursor, length, object, state); break;
            case idNmls: ok = readNormals(cursor, length, object, state); break;
            case idPols: ok = readPolygons(cursor, length, recordSize, true, object); break;
            case idPol2: ok = readPolygons(cursor, length, recordSize, false, object); break;
            case idAnim: ok = readFrame(cursor, length, object); break;
            case idTimg: ok = readTexture(cursor, recordSize, object, state, consumed); break;
            default: ok = length >= 0 && cursor.skip(static_cast<size_t>(length)); break;
        }
        if (!ok || cursor.failed()) return false;
        remaining -= consumed;
    }
    return object->points && object->polygons && polygonsInRange(object);
}

}  // namespace

int loadLetterObject(char* path, LetterObject* object) {
    if (!path || !object || path[0] == '\0') return 0;
    std::vector<uint8_t> bytes;
    if (!readObjectFile(path, bytes)) return 0;

    ByteCursor cursor(bytes.data(), bytes.size());
    uint32_t form = 0, type = 0;
    int32_t formLength = 0;
    cursor.readU32BE(form);
    cursor.readI32BE(formLength);
    cursor.readU32BE(type);
    if (cursor.failed() || form != idForm || type != idCobj || formLength < minFormLength) return 0;

    releaseLetterObject(object);
    object->textures = static_cast<TextureRecord*>(std::calloc(textureSlots, sizeof(TextureRecord)));
    if (!object->textures) return 0;
    object->textures[0].pixels = textureEndMarker;

    if (!readChunks(cursor, formLength, object)) {
        releaseLetterObject(object);
        return 0;
    }
    computePolygonNormals(object->polygons, object->points);
    return 1;
}

void releaseLetterObject(LetterObject* object) {
    if (!object) return;
    std::free(object->points);
    std::free(object->polygons);
    std::free(object->vertexNormals);
    for (float* frame : object->frameLists) std::free(frame);
    // Texture records may point at the renderer's buffers: only the buffers
    // read from the file are freed, through their own list.
    std::free(object->textures);
    for (uint8_t* pixels : object->filePixels) std::free(pixels);
    *object = LetterObject{};
}

void computePolygonNormals(LetterPolygon* polygons, const float* points) {
    if (!polygons || !points) return;
    for (LetterPolygon* p = polygons; !isTerminator(*p); ++p) {
        // A polygon with a missing point is never drawn and has no face.
        if (p->pointIndex[0] < 0 || p->pointIndex[1] < 0 || p->pointIndex[2] < 0) continue;
        const float* f0 = points + 3 * p->pointIndex[0];
        const float* f1 = points + 3 * p->pointIndex[1];
        const float* f2 = points + 3 * p->pointIndex[2];
        const double ax = double{f1[0]} - double{f0[0]};
        const double ay = double{f1[1]} - double{f0[1]};
        const double az = double{f1[2]} - double{f0[2]};
        const double bx = double{f2[0]} - double{f0[0]};
        const double by = double{f2[1]} - double{f0[1]};
        const double bz = double{f2[2]} - double{f0[2]};
        const double nx = ay * bz - az * by;
        const double ny = az * bx - ax * bz;
        const double nz = ax * by - ay * bx;
        const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (length == 0.0) {
            p->normal[0] = p->normal[1] = p->normal[2] = -1.0f;
            continue;
        }
        p->normal[0] = static_cast<float>(-nx / length);
        p->normal[1] = static_cast<float>(-ny / length);
        p->normal[2] = static_cast<float>(-nz / length);
    }
}

void convertPointList(float* list) {
    if (!list) return;
    // The end point was written in machine order, so it is recognised before
    // any word is swapped.
    for (float* p = list; !isEndPoint(p); p += 3) {
        for (int i = 0; i < 3; ++i) {
            uint8_t b[4];
            std::memcpy(b, p + i, 4);
            const double value = double{floatFromBits(ByteCursor::loadU32BE(b))} * objectScale;
            p[i] = static_cast<float>(value);
        }
    }
}
