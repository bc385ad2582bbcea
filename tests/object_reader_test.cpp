// Object reader: files built byte by byte in the test, plus the shipped letter objects.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "assets/letter_object.h"

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;
using Point = std::array<float, 3>;

void put32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
}
void put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}
uint32_t bitsOf(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}
float floatOf(uint32_t u) {
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}
void putFloat(Bytes& b, float f) { put32(b, bitsOf(f)); }
void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

Bytes chunk(const char* id, int32_t length, int32_t recordSize, const Bytes& data) {
    Bytes b(id, id + 4);
    put32(b, static_cast<uint32_t>(length));
    put32(b, static_cast<uint32_t>(recordSize));
    append(b, data);
    return b;
}
Bytes chunk(const char* id, int32_t recordSize, const Bytes& data) {
    return chunk(id, static_cast<int32_t>(data.size()), recordSize, data);
}

// Form length defaults to everything after the type field.
Bytes objectFile(const std::vector<Bytes>& chunks, int64_t formLength = -1) {
    Bytes body;
    for (const Bytes& c : chunks) append(body, c);
    Bytes b{'F', 'O', 'R', 'M'};
    put32(b, static_cast<uint32_t>(formLength < 0 ? static_cast<int64_t>(body.size()) : formLength));
    b.insert(b.end(), {'C', 'O', 'B', 'J'});
    append(b, body);
    return b;
}

Bytes pointData(const std::vector<Point>& points) {
    Bytes b;
    for (const Point& p : points)
        for (float c : p) putFloat(b, c);
    return b;
}
Bytes pnts(const std::vector<Point>& points) { return chunk("PNTS", 0, pointData(points)); }

struct Tri {
    uint16_t a, b, c;
    int16_t texture;
    std::array<float, 6> uv;
    std::array<uint8_t, 3> surface;
};
const Tri terminator{0xFFFF, 0, 0, 0, {}, {}};

Bytes shortRecord(const Tri& t) {
    Bytes b;
    put16(b, t.a);
    put16(b, t.b);
    put16(b, t.c);
    put16(b, static_cast<uint16_t>(t.texture));
    for (float f : t.uv) putFloat(b, f);
    b.insert(b.end(), t.surface.begin(), t.surface.end());
    b.push_back(0xEE);
    return b;
}
Bytes pol2(std::vector<Tri> tris, bool terminated = true) {
    if (terminated) tris.push_back(terminator);
    Bytes data;
    for (const Tri& t : tris) append(data, shortRecord(t));
    return chunk("POL2", 36, data);
}

// Long records carry noise in the bits and bytes the reader must ignore.
Bytes longRecord(const Tri& t) {
    Bytes b(480, 0x5A);
    auto set32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    };
    set32(0, 0x00070000u | t.a);
    set32(4, 0x00030000u | t.b);
    set32(8, 0xFFFF0000u | t.c);
    set32(20, 0x12340000u | static_cast<uint16_t>(t.texture));
    for (int i = 0; i < 3; ++i) {
        b[100 + 2 * i] = 0xA0;
        b[101 + 2 * i] = t.surface[i];
    }
    for (int i = 0; i < 6; ++i) set32(132 + 4 * i, bitsOf(t.uv[i]));
    return b;
}
Bytes pols(std::vector<Tri> tris) {
    tris.push_back(terminator);
    Bytes data;
    for (const Tri& t : tris) append(data, longRecord(t));
    return chunk("POLS", 480, data);
}

struct TextureSpec {
    int32_t width = 2, height = 2, pixelMode = 1;
    int32_t recordSize = 488;
    Bytes pixels;
};
Bytes timg(const TextureSpec& t) {
    Bytes record(488, 0);
    for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(i * 7 + 1);
    auto set32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) record[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    };
    set32(4, static_cast<uint32_t>(t.width));
    set32(8, static_cast<uint32_t>(t.height));
    set32(184, static_cast<uint32_t>(t.pixelMode));
    record.resize(static_cast<size_t>(std::max(t.recordSize, 0)));
    Bytes data;
    put32(data, static_cast<uint32_t>(t.pixels.size()));
    append(data, record);
    append(data, t.pixels);
    // The chunk length is not used for textures: give it a wrong one.
    return chunk("TIMG", 3, t.recordSize, data);
}

Bytes anim(int32_t set, int32_t frame, int32_t a, int32_t b, const std::vector<Point>& points) {
    Bytes data;
    put32(data, static_cast<uint32_t>(set));
    put32(data, static_cast<uint32_t>(frame));
    put32(data, static_cast<uint32_t>(a));
    put32(data, static_cast<uint32_t>(b));
    append(data, pointData(points));
    return chunk("ANIM", 0, data);
}

const std::vector<Point> slantedPoints{{1, 2, 3}, {4, 6, 3}, {1, 2, 8}};
const Tri plainTri{0, 1, 2, -1, {0, 0, 1, 0, 0, 1}, {0, 0, 0}};

Bytes minimalFile() { return objectFile({pnts(slantedPoints), pol2({plainTri})}); }

std::vector<Point> manyPoints(int n) {
    std::vector<Point> p;
    for (int i = 0; i < n; ++i) p.push_back({static_cast<float>(i), static_cast<float>(i % 7), 1.0f});
    return p;
}

bool isEmpty(const LetterObject& o) {
    static const LetterObject empty{};
    return std::memcmp(&o, &empty, sizeof o) == 0;
}

class ObjectReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int serial = 0;
        // Digits only: the reader lower-cases the whole path.
        dir_ = fs::temp_directory_path() / ("zask-object-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
        fs::create_directories(dir_);
        object_ = std::make_unique<LetterObject>();
    }
    void TearDown() override {
        releaseLetterObject(object_.get());
        objectScale = 1.0;
        fs::remove_all(dir_);
    }

    std::string write(const Bytes& bytes, const std::string& name = "letter.lwo.clw") {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }

    int loadPath(std::string path, LetterObject* into = nullptr) {
        std::vector<char> buffer(path.begin(), path.end());
        buffer.push_back('\0');
        return loadLetterObject(buffer.data(), into ? into : object_.get());
    }
    int load(const Bytes& bytes) { return loadPath(write(bytes)); }

    void preload() { ASSERT_EQ(load(minimalFile()), 1); }

    int polygonCount() const {
        int n = 0;
        while (object_->polygons[n].pointIndex[0] != -1) ++n;
        return n;
    }

    fs::path dir_;
    std::unique_ptr<LetterObject> object_;
};

TEST_F(ObjectReaderTest, MinimalFileLoadsPointsPolygonAndNormal) {
    const Bytes file = minimalFile();
    ASSERT_EQ(file.size(), 144u);
    ASSERT_EQ(load(file), 1);
    const LetterObject& o = *object_;
    const float expected[] = {1, 2, 3, 4, 6, 3, 1, 2, 8, -1, -1, -1};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(o.points[i], expected[i]) << i;

    const LetterPolygon& p = o.polygons[0];
    EXPECT_EQ(p.pointIndex[0], 0);
    EXPECT_EQ(p.pointIndex[1], 1);
    EXPECT_EQ(p.pointIndex[2], 2);
    EXPECT_EQ(p.textureIndex, -1);
    // (P2 - P0) x (P1 - P0) = (0,0,5) x (3,4,0), normalised.
    EXPECT_EQ(p.normal[0], -0.8f);
    EXPECT_EQ(p.normal[1], 0.6f);
    EXPECT_EQ(p.normal[2], 0.0f);
    EXPECT_EQ(o.polygons[1].pointIndex[0], -1);

    ASSERT_NE(o.textures, nullptr);
    EXPECT_EQ(o.textures[0].pixels, textureEndMarker);
    EXPECT_NE(o.vertexNormals, nullptr);
    for (float* frame : o.frameLists) EXPECT_EQ(frame, nullptr);
}

TEST_F(ObjectReaderTest, FormLengthMustExceedOneHundred) {
    struct Case {
        int64_t formLength;
        int result;
    } cases[] = {{100, 0}, {101, 1}, {132, 1}, {-1, 0}, {0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.formLength);
        preload();
        const float* before = object_->points;
        Bytes file = minimalFile();
        const uint32_t len = static_cast<uint32_t>(c.formLength);
        for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<uint8_t>(len >> (24 - 8 * i));
        EXPECT_EQ(load(file), c.result);
        if (c.result == 0) {
            EXPECT_EQ(object_->points, before) << "a rejected header leaves the object alone";
        }
    }
}

TEST_F(ObjectReaderTest, RejectedHeaderLeavesObjectUnchanged) {
    const Bytes good = minimalFile();
    auto with = [&](size_t at, const char* text) {
        Bytes b = good;
        std::memcpy(b.data() + at, text, 4);
        return b;
    };
    const std::map<std::string, Bytes> cases{
        {"not FORM", with(0, "FORX")},
        {"not COBJ", with(8, "CLBJ")},
        {"eleven bytes", Bytes(good.begin(), good.begin() + 11)},
        {"empty file", Bytes{}},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        preload();
        const LetterObject before = *object_;
        EXPECT_EQ(load(bytes), 0);
        EXPECT_EQ(std::memcmp(&before, object_.get(), sizeof before), 0);
    }
    preload();
    const float* before = object_->points;
    EXPECT_EQ(loadPath(""), 0);
    EXPECT_EQ(loadPath((dir_ / "missing.lwo.clw").string()), 0);
    EXPECT_EQ(object_->points, before);
}

TEST_F(ObjectReaderTest, PathIsLowerCasedInPlace) {
    write(minimalFile(), "letter.lwo.clw");
    std::string given = (dir_ / "LeTTer.LWO.clw").string();
    std::vector<char> buffer(given.begin(), given.end());
    buffer.push_back('\0');
    EXPECT_EQ(loadLetterObject(buffer.data(), object_.get()), 1);
    EXPECT_STREQ(buffer.data(), (dir_ / "letter.lwo.clw").c_str());
}

TEST_F(ObjectReaderTest, FallsBackToTheCallersSpellingOnCaseSensitiveFileSystems) {
    write(minimalFile(), "UPPER.LWO.CLW");
    std::string given = (dir_ / "UPPER.LWO.CLW").string();
    std::vector<char> buffer(given.begin(), given.end());
    buffer.push_back('\0');
    EXPECT_EQ(loadLetterObject(buffer.data(), object_.get()), 1);
    EXPECT_STREQ(buffer.data(), (dir_ / "upper.lwo.clw").c_str());
}

TEST_F(ObjectReaderTest, FileWithoutPointsOrPolygonsFailsEmpty) {
    const std::map<std::string, Bytes> cases{
        {"points only", objectFile({pnts(slantedPoints), chunk("XTRA", 0, Bytes(100, 1))})},
        {"polygons and textures only",
         objectFile({pol2({plainTri}), timg({2, 2, 1, 488, Bytes(16, 9)}), timg({1, 1, 1, 488, Bytes(4, 3)})})},
        {"unknown chunk only", objectFile({chunk("XTRA", 0, Bytes(120, 1))})},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        preload();
        EXPECT_EQ(load(bytes), 0);
        EXPECT_TRUE(isEmpty(*object_));
    }
}

TEST_F(ObjectReaderTest, UnknownChunksAreSkippedByTheirLength) {
    ASSERT_EQ(load(objectFile({chunk("XTRA", 0, Bytes(7, 0xFF)), pnts(slantedPoints),
                               chunk("junk", 36, Bytes(13, 'P')), pol2({plainTri})})),
              1);
    EXPECT_EQ(object_->points[3], 4.0f);
    EXPECT_EQ(polygonCount(), 1);
    EXPECT_EQ(object_->polygons[0].normal[0], -0.8f);
}

TEST_F(ObjectReaderTest, LongAndShortPolygonRecordsGiveTheSamePolygons) {
    const std::vector<Point> points{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const std::vector<Tri> tris{
        {0, 1, 2, 1, {0.25f, 0.5f, 1, 0, 0.125f, 1}, {7, 200, 3}},
        {3, 2, 1, -1, {0, 0, 0, 0, 0, 0}, {0, 0, 255}},
        {1, 3, 0xFFFF, 99, {1, 1, 1, 1, 1, 1}, {1, 2, 3}},
    };
    ASSERT_EQ(load(objectFile({pnts(points), pol2(tris)})), 1);
    const std::vector<LetterPolygon> shortForm(object_->polygons, object_->polygons + 4);
    ASSERT_EQ(load(objectFile({pnts(points), pols(tris)})), 1);
    EXPECT_EQ(std::memcmp(shortForm.data(), object_->polygons, 4 * sizeof(LetterPolygon)), 0);

    const LetterPolygon& first = shortForm[0];
    EXPECT_EQ(first.textureIndex, 1);
    EXPECT_EQ(first.uv[0], 0.25f);
    EXPECT_EQ(first.uv[4], 0.125f);
    EXPECT_EQ(first.surfaceBytes[1], 200);
    EXPECT_EQ(shortForm[2].pointIndex[2], -1);
    EXPECT_EQ(shortForm[3].pointIndex[0], -1);
}

TEST_F(ObjectReaderTest, DegenerateTrianglesGetTheMinusOneNormal) {
    const std::vector<Point> points{{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {5, -3, 2}};
    ASSERT_EQ(load(objectFile({pnts(points), pol2({{0, 1, 2, -1, {}, {}}, {3, 3, 0, -1, {}, {}}})})), 1);
    for (int i = 0; i < 2; ++i)
        for (float c : object_->polygons[i].normal) EXPECT_EQ(c, -1.0f) << i;
}

TEST_F(ObjectReaderTest, PolygonWithMissingPointKeepsAZeroNormal) {
    ASSERT_EQ(load(objectFile({pnts(slantedPoints), pol2({{0, 1, 0xFFFF, -1, {}, {}}, {0, 0xFFFF, 2, -1, {}, {}}, plainTri})})), 1);
    EXPECT_EQ(polygonCount(), 3);
    for (int i = 0; i < 2; ++i)
        for (float c : object_->polygons[i].normal) EXPECT_EQ(c, 0.0f) << i;
    EXPECT_EQ(object_->polygons[2].normal[1], 0.6f);
}

TEST_F(ObjectReaderTest, ScaleIsAppliedInDoubleToPointsAndFrames) {
    // 5.55f / 3 rounds differently when the product is formed in single precision.
    const float x = floatOf(0x40B1999Au);
    objectScale = 1.0 / 3.0;
    ASSERT_EQ(load(objectFile({pnts({{x, 3, -6}, {0, 0, 0}, {1, 1, 1}}), pol2({plainTri}), anim(0, 4, 0, 0, {{x, 0, 0}})})), 1);
    EXPECT_EQ(bitsOf(object_->points[0]), 0x3FECCCCDu);
    EXPECT_EQ(object_->points[1], 1.0f);
    EXPECT_EQ(object_->points[2], -2.0f);
    EXPECT_EQ(bitsOf(object_->frameLists[4][0]), 0x3FECCCCDu);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(object_->points[9 + i], -1.0f) << "end point is not scaled";
}

TEST_F(ObjectReaderTest, ConvertPointListStopsAtTheMachineOrderEndPoint) {
    float list[9];
    const uint32_t two = 0x00000040u;   // 2.0f with its bytes reversed on a little-endian machine
    for (int i = 0; i < 3; ++i) std::memcpy(&list[i], &two, 4);
    for (int i = 3; i < 6; ++i) list[i] = -1.0f;
    for (int i = 6; i < 9; ++i) std::memcpy(&list[i], &two, 4);
    convertPointList(list);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(list[i], 2.0f);
    for (int i = 3; i < 6; ++i) EXPECT_EQ(list[i], -1.0f);
    for (int i = 6; i < 9; ++i) EXPECT_EQ(bitsOf(list[i]), two) << "nothing after the end point is touched";
}

TEST_F(ObjectReaderTest, TextureSizeAndPixelModeRules) {
    struct Case {
        int32_t width, height, pixelMode;
        size_t pixelBytes;
        int32_t expectedMode, expectedHeight;
    } cases[] = {
        {4, 2, 3, 4 * 2 * 2, 0, 2},
        {4, 2, 2, 4 * 2 * 2, 0, 2},
        {4, 2, 3, 4 * 2 * 4, 3, 2},
        {4, 2, 1, 4 * 2 * 2, 1, 2},
        {4, 0, 0, 4 * 4 * 4, 0, 4},
        // The mode test runs before height 0 becomes the width.
        {4, 0, 3, 4 * 4 * 2, 3, 4},
        {4, 2, 3, 0, 3, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " mode " << c.pixelMode << " P " << c.pixelBytes);
        Bytes pixels(c.pixelBytes);
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 13);
        ASSERT_EQ(load(objectFile({timg({c.width, c.height, c.pixelMode, 488, pixels}), pnts(slantedPoints), pol2({plainTri})})), 1);
        const TextureRecord& t = object_->textures[0];
        EXPECT_EQ(t.width, c.width);
        EXPECT_EQ(t.height, c.expectedHeight);
        EXPECT_EQ(t.pixelMode, c.expectedMode);
        if (c.pixelBytes == 0) {
            EXPECT_EQ(t.pixels, nullptr);
        } else {
            ASSERT_NE(t.pixels, nullptr);
            EXPECT_EQ(std::memcmp(t.pixels, pixels.data(), pixels.size()), 0);
            EXPECT_EQ(object_->filePixels[0], t.pixels);
            EXPECT_EQ(object_->filePixelBytes[0], c.pixelBytes);
        }
        EXPECT_EQ(object_->textures[1].pixels, textureEndMarker);
    }
}

TEST_F(ObjectReaderTest, TextureRecordFieldsAreConvertedOrCopied) {
    ASSERT_EQ(load(objectFile({pnts(slantedPoints), timg({3, 5, 1, 488, Bytes(60, 1)}),
                               timg({8, 8, 2, 200, {}}), pol2({plainTri})})),
              1);
    auto fileByte = [](size_t i) { return static_cast<uint8_t>(i * 7 + 1); };
    auto fileWord = [&](size_t at) {
        return uint32_t{fileByte(at)} << 24 | uint32_t{fileByte(at + 1)} << 16 | uint32_t{fileByte(at + 2)} << 8 |
               fileByte(at + 3);
    };
    const TextureRecord& t = object_->textures[0];
    EXPECT_EQ(t.word108, fileWord(108));
    EXPECT_EQ(t.word112, fileWord(112));
    EXPECT_EQ(t.word188, fileWord(188));
    EXPECT_EQ(t.half180, fileByte(180) << 8 | fileByte(181));
    EXPECT_EQ(t.word176, 0u);
    EXPECT_EQ(t.bytes12[0], fileByte(12));
    EXPECT_EQ(t.bytes116[5], fileByte(121));
    EXPECT_EQ(t.bytes192[295], fileByte(487));

    const TextureRecord& partial = object_->textures[1];
    EXPECT_EQ(partial.width, 8);
    EXPECT_EQ(partial.pixelMode, 2);
    EXPECT_EQ(partial.pixels, nullptr);
    EXPECT_EQ(partial.bytes192[7], fileByte(199));
    EXPECT_EQ(partial.bytes192[8], 0) << "bytes past the record size stay zero";
    EXPECT_EQ(object_->textures[2].pixels, textureEndMarker);
}

TEST_F(ObjectReaderTest, NormalsAreCopiedWithoutConversion) {
    const Bytes normals = pointData({{0.5f, -2, 3}, {1, 0, 0}});
    ASSERT_EQ(load(objectFile({pnts(slantedPoints), chunk("NMLS", 0, normals), pol2({plainTri})})), 1);
    EXPECT_EQ(std::memcmp(object_->vertexNormals, normals.data(), normals.size()), 0);
}

TEST_F(ObjectReaderTest, FramesAreStoredByIndexAndARepeatReplacesTheFirst) {
    ASSERT_EQ(load(objectFile({pnts(slantedPoints), anim(0, 5, 11, 12, {{1, 2, 3}}), anim(0, 599, 21, 22, {}),
                               anim(0, 5, 31, -32, {{7, 8, 9}, {4, 5, 6}}), pol2({plainTri})})),
              1);
    const float* five = object_->frameLists[5];
    const float expected[] = {7, 8, 9, 4, 5, 6, -1, -1, -1};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(five[i], expected[i]) << i;
    const float* last = object_->frameLists[599];
    for (int i = 0; i < 3; ++i) EXPECT_EQ(last[i], -1.0f);
    EXPECT_EQ(object_->frameValueA, 31);
    EXPECT_EQ(object_->frameValueB, -32);
    EXPECT_EQ(object_->frameLists[0], nullptr);
}

TEST_F(ObjectReaderTest, ReleaseFreesFileBuffersOnlyAndTwiceIsHarmless) {
    ASSERT_EQ(load(objectFile({pnts(slantedPoints), timg({1, 1, 0, 488, Bytes(4, 1)}), timg({1, 1, 0, 488, Bytes(4, 2)}),
                               anim(0, 1, 0, 0, {{1, 1, 1}}), pol2({plainTri})})),
              1);
    // The renderer re-points records at its own buffers; those must survive.
    uint8_t own[4] = {9, 9, 9, 9};
    object_->textures[0].pixels = own;
    object_->textures[5].pixels = own;
    releaseLetterObject(object_.get());
    EXPECT_TRUE(isEmpty(*object_));
    EXPECT_EQ(own[0], 9);
    releaseLetterObject(object_.get());
    EXPECT_TRUE(isEmpty(*object_));
    releaseLetterObject(nullptr);
}

TEST_F(ObjectReaderTest, ComputePolygonNormalsIgnoresNullArguments) {
    LetterPolygon polygons[2] = {};
    polygons[1].pointIndex[0] = -1;
    const float points[] = {0, 0, 0, -1, -1, -1};
    computePolygonNormals(nullptr, points);
    computePolygonNormals(polygons, nullptr);
    for (float c : polygons[0].normal) EXPECT_EQ(c, 0.0f);
}

TEST_F(ObjectReaderTest, LimitsAreAccepted) {
    std::vector<Bytes> ninetyNine{pnts(slantedPoints), pol2({plainTri})};
    for (int i = 0; i < 99; ++i) ninetyNine.push_back(timg({1, 1, 0, 16, {}}));
    Bytes shortPol2 = pol2({plainTri});
    const std::map<std::string, Bytes> cases{
        {"1999 points", objectFile({pnts(manyPoints(1999)), pol2({{1998, 0, 1, -1, {}, {}}})})},
        {"texture index 99", objectFile({pnts(slantedPoints), pol2({{0, 1, 2, 99, {}, {}}})})},
        {"negative texture index", objectFile({pnts(slantedPoints), pol2({{0, 1, 2, -300, {}, {}}})})},
        {"99 textures", objectFile(ninetyNine)},
        {"frames 0 and 599", objectFile({pnts(slantedPoints), pol2({plainTri}), anim(0, 0, 0, 0, {}), anim(0, 599, 0, 0, {})})},
        {"polygons before points", objectFile({pol2({{0, 1, 2, -1, {}, {}}}), pnts(slantedPoints)})},
        {"normals as long as points", objectFile({pnts(slantedPoints), chunk("NMLS", 0, Bytes(36, 1)), pol2({plainTri})})},
        {"form length ends inside the last chunk", objectFile({pnts(slantedPoints), pol2({plainTri})}, 101)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(load(bytes), 1);
    }
}

TEST_F(ObjectReaderTest, MalformedFilesFailCleanly) {
    const Bytes points = pnts(slantedPoints);
    const Bytes polygons = pol2({plainTri});
    // Keeps short files past the header's form length check.
    const Bytes padding = chunk("XTRA", 0, Bytes(60, 0));
    auto withChunk = [&](const Bytes& extra) { return objectFile({points, extra, polygons}); };
    std::vector<Bytes> hundredTextures{points, polygons};
    for (int i = 0; i < 100; ++i) hundredTextures.push_back(timg({1, 1, 0, 16, {}}));
    Bytes pixelsShort = timg({4, 4, 0, 488, Bytes(64, 1)});
    pixelsShort.resize(pixelsShort.size() - 1);
    const Bytes minimal = minimalFile();
    auto truncated = [&](size_t size) { return Bytes(minimal.begin(), minimal.begin() + static_cast<long>(size)); };
    auto pol2Sized = [&](int32_t recordSize) {
        Bytes data = shortRecord(plainTri);
        append(data, shortRecord(terminator));
        return objectFile({points, chunk("POL2", recordSize, data)});
    };
    auto polsSized = [&](int32_t recordSize) {
        Bytes data = longRecord(plainTri);
        data.resize(static_cast<size_t>(recordSize), 0);
        Bytes end = longRecord(terminator);
        end.resize(static_cast<size_t>(recordSize), 0);
        append(data, end);
        return objectFile({points, chunk("POLS", recordSize, data)});
    };

    const std::map<std::string, Bytes> cases{
        {"ends in a chunk header", truncated(20)},
        {"ends in the points", truncated(40)},
        {"ends in the polygons", truncated(100)},
        {"ends one byte early", truncated(143)},
        {"form length past the data", objectFile({points, polygons}, 200)},
        {"2000 points", objectFile({pnts(manyPoints(2000)), pol2({plainTri})})},
        {"second PNTS", withChunk(points)},
        {"NMLS before PNTS", objectFile({chunk("NMLS", 0, Bytes(12, 0)), points, polygons})},
        {"NMLS longer than PNTS", withChunk(chunk("NMLS", 0, Bytes(48, 0)))},
        {"point index past the points", objectFile({points, pol2({{0, 1, 3, -1, {}, {}}})})},
        {"first point index past the points", objectFile({points, pol2({{3, 1, 2, -1, {}, {}}})})},
        {"point index -2", objectFile({points, pol2({{0, 0xFFFE, 2, -1, {}, {}}})})},
        {"point index 0x8000", objectFile({points, pol2({{0, 0x8000, 2, -1, {}, {}}})})},
        {"texture index 100", objectFile({points, pol2({{0, 1, 2, 100, {}, {}}})})},
        {"bad polygon after a good one", objectFile({points, pol2({plainTri, {0, 9, 2, -1, {}, {}}})})},
        {"polygons without terminator", objectFile({padding, points, pol2({plainTri}, false)})},
        {"empty polygon chunk", objectFile({padding, points, chunk("POL2", 36, {})})},
        {"second polygon chunk", objectFile({points, polygons, pols({plainTri})})},
        {"POL2 record size 0", pol2Sized(0)},
        {"POL2 record size 34", pol2Sized(34)},
        {"POL2 record size 37", pol2Sized(37)},
        {"POL2 record size negative", pol2Sized(-36)},
        {"POLS record size 481", polsSized(481)},
        {"POLS record size 100", polsSized(100)},
        {"polygon chunk not whole records", objectFile({points, chunk("POL2", 80, 36, [] {
                                                            Bytes d = shortRecord(plainTri);
                                                            append(d, shortRecord(terminator));
                                                            d.resize(80, 0xFF);
                                                            return d;
                                                        }())})},
        {"ANIM set 1", withChunk(anim(1, 0, 0, 0, {}))},
        {"ANIM frame 600", withChunk(anim(0, 600, 0, 0, {}))},
        {"ANIM frame -1", withChunk(anim(0, -1, 0, 0, {}))},
        {"ANIM shorter than its header", withChunk(chunk("ANIM", 0, Bytes(12, 0)))},
        {"ANIM points past the data", objectFile({points, polygons, chunk("ANIM", 64, 0, Bytes(20, 0))})},
        {"100 textures", objectFile(hundredTextures)},
        {"TIMG record size 489", withChunk(timg({1, 1, 0, 489, {}}))},
        {"TIMG record size negative", withChunk(timg({1, 1, 0, -4, {}}))},
        {"TIMG pixels past the data", objectFile({points, polygons, pixelsShort})},
        {"chunk length past the data", objectFile({points, polygons, chunk("XTRA", 4000, 0, Bytes(8, 0))})},
        {"negative chunk length", objectFile({points, chunk("XTRA", -12, 0, {}), polygons})},
        {"negative PNTS length", objectFile({padding, chunk("PNTS", -12, 0, {}), polygons})},
        {"PNTS past the data", objectFile({chunk("PNTS", 1200, 0, Bytes(36, 0)), polygons})},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        // Each case must get past the header, or it proves nothing about the chunks.
        ASSERT_GT(static_cast<int32_t>(bytes[4] << 24 | bytes[5] << 16 | bytes[6] << 8 | bytes[7]), 100);
        preload();
        EXPECT_EQ(load(bytes), 0);
        EXPECT_TRUE(isEmpty(*object_));
    }
}

struct ShippedObject {
    const char* file;
    float thickness;
};

class ShippedObjectTest : public ::testing::TestWithParam<ShippedObject> {};

TEST_P(ShippedObjectTest, LoadsTheLetterSlab) {
    std::string path = std::string(ZASK_SHARED_DIR) + "/conformance/kthome-a/programs/zask/objects/" + GetParam().file;
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    LetterObject object{};
    ASSERT_EQ(loadLetterObject(buffer.data(), &object), 1);

    int points = 0;
    while (!(object.points[3 * points] == -1.0f && object.points[3 * points + 1] == -1.0f &&
             object.points[3 * points + 2] == -1.0f))
        ++points;
    EXPECT_EQ(points, 16);
    float minZ = 0, maxZ = 0;
    for (int i = 0; i < points; ++i) {
        minZ = std::min(minZ, object.points[3 * i + 2]);
        maxZ = std::max(maxZ, object.points[3 * i + 2]);
    }
    EXPECT_FLOAT_EQ(minZ, -GetParam().thickness / 2);
    EXPECT_FLOAT_EQ(maxZ, GetParam().thickness / 2);

    std::map<int, int> byTexture;
    int polygons = 0;
    for (const LetterPolygon* p = object.polygons; p->pointIndex[0] != -1; ++p, ++polygons) {
        ++byTexture[p->textureIndex];
        // The box is centred on the origin: an outward normal points away from it.
        double centroid[3] = {};
        for (int k = 0; k < 3; ++k)
            for (int c = 0; c < 3; ++c) centroid[c] += object.points[3 * p->pointIndex[k] + c] / 3.0;
        const double dot = centroid[0] * p->normal[0] + centroid[1] * p->normal[1] + centroid[2] * p->normal[2];
        EXPECT_GT(dot, 0.0) << "polygon " << polygons;
        const double length = std::sqrt(double{p->normal[0]} * p->normal[0] + double{p->normal[1]} * p->normal[1] +
                                         double{p->normal[2]} * p->normal[2]);
        EXPECT_NEAR(length, 1.0, 1e-6);
    }
    EXPECT_EQ(polygons, 19);
    EXPECT_EQ(byTexture, (std::map<int, int>{{-1, 1}, {0, 2}, {1, 8}, {2, 2}, {3, 2}, {4, 2}, {5, 2}}));
    EXPECT_EQ(object.textures[0].pixels, textureEndMarker);
    releaseLetterObject(&object);
}

INSTANTIATE_TEST_SUITE_P(Thicknesses, ShippedObjectTest,
                         ::testing::Values(ShippedObject{"buchstabethin.lwo.clw", 0.3f},
                                           ShippedObject{"buchstabe.lwo.clw", 0.8f},
                                           ShippedObject{"buchstabethick.lwo.clw", 1.6f}));

}  // namespace
