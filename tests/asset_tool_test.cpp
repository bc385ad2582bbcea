#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "animation/motion_envelope.h"
#include "animation/scene_evaluation.h"
#include "assets/letter_object.h"
#include "assets/scene.h"
#include "field/letter_layout.h"
#include "field/timeline.h"
#include "operator/effect_settings.h"
#include "raster/render_context.h"
#include "tests/png_writer.h"
#include "tools/assets/asset_writer.h"

namespace {

namespace fs = std::filesystem;
namespace aw = assetwriter;

constexpr int assetScene = 73;   // scene table entry used by these tests only

std::vector<uint8_t> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

fs::path outputRoot() { return fs::path(ZASK_TEST_OUTPUT_DIR) / "asset-tool"; }

// One tree for the whole suite, written the way the tool writes it.
const fs::path& writtenTree()
{
    static const fs::path root = [] {
        const fs::path path = outputRoot() / "kthome";
        fs::create_directories(outputRoot());
        std::string error;
        EXPECT_TRUE(aw::writeKthome(path.string(), error)) << error;
        return path;
    }();
    return root;
}

std::string objectPath(const char* fileName)
{
    return (writtenTree() / "programs/zask/objects" / fileName).string();
}

std::string scenePath(int number)
{
    char name[32];
    std::snprintf(name, sizeof name, "buchstabe_%03d.sce", number);
    return (writtenTree() / "programs/zask/scenes" / name).string();
}

// Loads through the engine's reader from a writable copy of the path.
bool loadObject(const std::string& path, LetterObject& object)
{
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    objectScale = 1.0;
    return loadLetterObject(buffer.data(), &object) == 1;
}

struct ObjectStats {
    int pointCount = 0;
    std::vector<const LetterPolygon*> polygons;
};

ObjectStats statsOf(const LetterObject& object)
{
    ObjectStats stats;
    while (!(object.points[3 * stats.pointCount] == -1.0f && object.points[3 * stats.pointCount + 1] == -1.0f &&
             object.points[3 * stats.pointCount + 2] == -1.0f))
        ++stats.pointCount;
    for (const LetterPolygon* p = object.polygons; p->pointIndex[0] != -1; ++p)
        stats.polygons.push_back(p);
    return stats;
}

// ---------------------------------------------------------------- the tree

TEST(AssetTree, WritesTheSameBytesEveryRun)
{
    const fs::path first = outputRoot() / "run-1", second = outputRoot() / "run-2";
    fs::remove_all(first);
    fs::remove_all(second);
    fs::create_directories(outputRoot());
    std::string error;
    ASSERT_TRUE(aw::writeKthome(first.string(), error)) << error;
    ASSERT_TRUE(aw::writeKthome(second.string(), error)) << error;

    const std::vector<aw::TreeFile> inMemory = aw::kthomeFiles();
    ASSERT_EQ(inMemory.size(), 54u);   // 3 objects, 50 scenes, the empty scene
    for (const aw::TreeFile& file : inMemory) {
        SCOPED_TRACE(file.path);
        const std::vector<uint8_t> a = readFile(first / file.path), b = readFile(second / file.path);
        EXPECT_EQ(a, file.bytes);
        EXPECT_EQ(b, file.bytes);
    }
    size_t filesOnDisk = 0;
    for (const auto& entry : fs::recursive_directory_iterator(first))
        filesOnDisk += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(filesOnDisk, inMemory.size());
}

TEST(AssetTree, HoldsEveryFileAndDirectoryThePlugInsUse)
{
    const fs::path& root = writtenTree();
    for (const char* object : {"buchstabethin.lwo.clw", "buchstabe.lwo.clw", "buchstabethick.lwo.clw"})
        EXPECT_TRUE(fs::is_regular_file(root / "programs/zask/objects" / object)) << object;
    for (int n = 1; n <= 50; ++n)
        EXPECT_EQ(fs::file_size(scenePath(n)), static_cast<uintmax_t>(sceneFileSize)) << n;
    EXPECT_EQ(fs::file_size(root / "programs/zask/scenes/empty.sce"), static_cast<uintmax_t>(sceneFileSize));
    for (int n = 1; n <= 6; ++n)
        EXPECT_TRUE(fs::is_directory(root / ("programs/zask/zask" + std::to_string(n)))) << n;
}

TEST(AssetTree, FailsWhereTheDirectoryCannotBeMade)
{
    const fs::path blocker = outputRoot() / "a-file";
    fs::create_directories(outputRoot());
    std::ofstream(blocker) << "x";
    std::string error;
    EXPECT_FALSE(aw::writeKthome((blocker / "kthome").string(), error));
    EXPECT_NE(error.find("a-file"), std::string::npos) << error;
}

// ---------------------------------------------------------------- letter objects

struct ObjectCase {
    const char* fileName;
    float depth;
};

class LetterObjectFile : public ::testing::TestWithParam<ObjectCase> {
protected:
    void TearDown() override { releaseLetterObject(&object_); }
    LetterObject object_{};
};

TEST_P(LetterObjectFile, LoadsAsASlabWithThePictureOnItsFront)
{
    ASSERT_TRUE(loadObject(objectPath(GetParam().fileName), object_));
    const ObjectStats stats = statsOf(object_);
    EXPECT_GT(stats.pointCount, 0);
    EXPECT_LT(stats.pointCount, 2000);

    float low[3] = {1e9f, 1e9f, 1e9f}, high[3] = {-1e9f, -1e9f, -1e9f};
    for (int i = 0; i < stats.pointCount; ++i)
        for (int k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], object_.points[3 * i + k]);
            high[k] = std::max(high[k], object_.points[3 * i + k]);
        }
    EXPECT_EQ(high[0], aw::letterHalfWidth);
    EXPECT_EQ(low[0], -aw::letterHalfWidth);
    EXPECT_EQ(high[1], aw::letterHalfHeight);
    EXPECT_EQ(low[1], -aw::letterHalfHeight);
    EXPECT_EQ(low[2], 0.0f);
    EXPECT_EQ(high[2], GetParam().depth);

    // The front (texture 1) lies at z = 0 and its texture coordinates tile
    // the unit square once, u growing with -x and v with -y.
    std::set<int> textures;
    double frontUvArea = 0.0;
    for (const LetterPolygon* p : stats.polygons) {
        textures.insert(p->textureIndex);
        if (p->textureIndex != 1)
            continue;
        for (int i = 0; i < 3; ++i) {
            const float* point = object_.points + 3 * p->pointIndex[i];
            EXPECT_EQ(point[2], 0.0f);
            EXPECT_FLOAT_EQ(p->uv[2 * i], (aw::letterHalfWidth - point[0]) / (2 * aw::letterHalfWidth));
            EXPECT_FLOAT_EQ(p->uv[2 * i + 1], (aw::letterHalfHeight - point[1]) / (2 * aw::letterHalfHeight));
        }
        frontUvArea += std::fabs((p->uv[2] - p->uv[0]) * (p->uv[5] - p->uv[1]) -
                                 (p->uv[4] - p->uv[0]) * (p->uv[3] - p->uv[1])) / 2.0;
    }
    EXPECT_NEAR(frontUvArea, 1.0, 1e-6);
    EXPECT_EQ(textures, (std::set<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(object_.textures[0].pixels, textureEndMarker);
}

TEST_P(LetterObjectFile, EveryFaceNormalPointsOutOfTheSlab)
{
    ASSERT_TRUE(loadObject(objectPath(GetParam().fileName), object_));
    const double centre[3] = {0.0, 0.0, GetParam().depth / 2.0};
    for (const LetterPolygon* p : statsOf(object_).polygons) {
        double faceCentre[3] = {};
        for (int i = 0; i < 3; ++i)
            for (int k = 0; k < 3; ++k)
                faceCentre[k] += object_.points[3 * p->pointIndex[i] + k] / 3.0;
        double outward = 0.0, length = 0.0;
        for (int k = 0; k < 3; ++k) {
            outward += p->normal[k] * (faceCentre[k] - centre[k]);
            length += double{p->normal[k]} * p->normal[k];
        }
        EXPECT_GT(outward, 0.0) << "texture " << p->textureIndex;
        EXPECT_NEAR(length, 1.0, 1e-6);
    }
}

TEST_P(LetterObjectFile, ShortAndLongPolygonRecordsLoadTheSame)
{
    const aw::ObjectModel model = aw::buildLetterSlab(GetParam().depth);
    const fs::path dir = outputRoot() / "forms";
    fs::create_directories(dir);
    const fs::path shortFile = dir / "short.lwo.clw", longFile = dir / "long.lwo.clw";
    for (const auto& [path, form] : {std::pair{shortFile, aw::PolygonForm::shortRecords},
                                     std::pair{longFile, aw::PolygonForm::longRecords}}) {
        const aw::Bytes bytes = aw::encodeObject(model, form);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    LetterObject fromLong{};
    ASSERT_TRUE(loadObject(shortFile.string(), object_));
    ASSERT_TRUE(loadObject(longFile.string(), fromLong));
    const size_t polygonBytes = (model.polygons.size() + 1) * sizeof(LetterPolygon);
    EXPECT_EQ(std::memcmp(object_.polygons, fromLong.polygons, polygonBytes), 0);
    EXPECT_EQ(std::memcmp(object_.points, fromLong.points, (model.points.size() + 1) * 12), 0);
    releaseLetterObject(&fromLong);
    EXPECT_EQ(aw::encodeObject(model, aw::PolygonForm::shortRecords), readFile(objectPath(GetParam().fileName)));
}

INSTANTIATE_TEST_SUITE_P(ThinNormalThick, LetterObjectFile,
                         ::testing::Values(ObjectCase{"buchstabethin.lwo.clw", 0.25f},
                                           ObjectCase{"buchstabe.lwo.clw", 0.6f},
                                           ObjectCase{"buchstabethick.lwo.clw", 1.2f}),
                         [](const auto& info) {
                             return std::string(info.index == 0 ? "Thin" : info.index == 1 ? "Normal" : "Thick");
                         });

TEST(LetterObjects, GrowDeeperFromThinToThick)
{
    ASSERT_EQ(aw::letterObjectFiles.size(), 3u);
    EXPECT_LT(aw::letterObjectFiles[0].depth, aw::letterObjectFiles[1].depth);
    EXPECT_LT(aw::letterObjectFiles[1].depth, aw::letterObjectFiles[2].depth);
}

// ---------------------------------------------------------------- projection of the front face

struct FrameCase {
    int width;
    int height;
    int pictureWidth;
    int pictureHeight;
};

class FrontFaceAtRest : public ::testing::TestWithParam<FrameCase> {
protected:
    void SetUp() override { saved_ = renderContext; }
    void TearDown() override
    {
        releaseScene(&sceneTable[assetScene]);
        renderContext = saved_;
    }
    RenderContext saved_;
};

// With the placement's scale factors and no screen shift, the front corners
// land on the picture's edges at every frame size.
TEST_P(FrontFaceAtRest, ProjectsOntoThePictureAtAnyFrameSize)
{
    const FrameCase c = GetParam();
    std::vector<double> world(3 * pointBufferEntries);
    std::vector<float> projected(3 * pointBufferEntries);
    RenderContext& rc = renderContext;
    rc.worldPoints = world.data();
    rc.projectedPoints = projected.data();
    rc.projScaleX = static_cast<float>(c.width * 0.8);
    rc.projScaleY = static_cast<float>(c.height);
    rc.screenCentreX = static_cast<float>(c.width * 0.5);
    rc.screenCentreY = static_cast<float>(c.height * 0.5);
    rc.letterScaleX = static_cast<double>(static_cast<float>(c.pictureWidth) / static_cast<float>(c.width));
    rc.letterScaleY = static_cast<double>(static_cast<float>(c.pictureHeight) / static_cast<float>(c.height));
    rc.letterScaleZ = static_cast<double>(192.0f / static_cast<float>(c.width));
    rc.cameraX = rc.cameraY = rc.cameraZ = 0.0;
    rc.baseRotX = rc.baseRotY = rc.baseRotZ = 0.0;
    rc.mirrorX = rc.mirrorY = 0;

    std::string object = objectPath("buchstabethick.lwo.clw");
    objectScale = 1.0;
    ASSERT_EQ(loadScene(&sceneTable[assetScene], scenePath(1).c_str(), object.c_str()), 0);
    sceneTable[assetScene].sceneTime = aw::sceneEndTime;
    evaluateSlot(assetScene, 0);
    projectPoints();

    const LetterObject& letter = sceneTable[assetScene].objects[0];
    int frontPoints = 0;
    for (int i = 0; letter.points[3 * i] != -1.0f || letter.points[3 * i + 1] != -1.0f; ++i) {
        if (letter.points[3 * i + 2] != 0.0f)
            continue;
        ++frontPoints;
        const double expectX = c.width * 0.5 - letter.points[3 * i] / aw::letterHalfWidth * c.pictureWidth / 2.0;
        const double expectY =
            c.height * 0.5 - letter.points[3 * i + 1] / aw::letterHalfHeight * c.pictureHeight / 2.0;
        EXPECT_NEAR(projected[3 * i], expectX, 2e-3) << "point " << i;
        EXPECT_NEAR(projected[3 * i + 1], expectY, 2e-3) << "point " << i;
    }
    EXPECT_EQ(frontPoints, 25);
}

INSTANTIATE_TEST_SUITE_P(Frames, FrontFaceAtRest,
                         ::testing::Values(FrameCase{160, 120, 20, 30}, FrameCase{96, 72, 13, 17},
                                           FrameCase{720, 576, 27, 37}, FrameCase{1920, 1080, 90, 120}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

// ---------------------------------------------------------------- scenes

bool isRest(const SceneSlot& slot, float time)
{
    for (int c = 0; c < channelsPerSlot; ++c)
        if (evaluateChannel(&slot.channels[c], time) != static_cast<double>(aw::restPose[c]))
            return false;
    return true;
}

class LetterScene : public ::testing::TestWithParam<int> {
protected:
    void TearDown() override { releaseScene(&sceneTable[assetScene]); }

    Scene& load()
    {
        std::string object = objectPath("buchstabe.lwo.clw");
        objectScale = 1.0;
        EXPECT_EQ(loadScene(&sceneTable[assetScene], scenePath(GetParam()).c_str(), object.c_str()), 0);
        return sceneTable[assetScene];
    }
};

TEST_P(LetterScene, LoadsWithOneObjectPerSlot)
{
    const aw::SceneMotion& motion = aw::sceneLibrary()[GetParam() - 1];
    ASSERT_EQ(motion.number, GetParam());
    Scene& scene = load();
    ASSERT_NE(scene.slotImage, nullptr);
    EXPECT_EQ(usedSlotCount(&scene), static_cast<int>(motion.slots.size()));
    EXPECT_GE(motion.slots.size(), 1u);
    EXPECT_LE(motion.slots.size(), 3u);
    for (int i = 0; i < usedSlotCount(&scene); ++i)
        EXPECT_NE(scene.objects[i].polygons, nullptr) << "slot " << i;
}

TEST_P(LetterScene, StartsAwayFromTheRestPoseAndHoldsItFromTheEnd)
{
    Scene& scene = load();
    for (int s = 0; s < usedSlotCount(&scene); ++s) {
        SCOPED_TRACE("slot " + std::to_string(s));
        const SceneSlot& slot = scene.slotImage[s];
        for (float time : {aw::sceneEndTime, 16.7f, 20.0f, 1000.0f})
            EXPECT_TRUE(isRest(slot, time)) << "time " << time;
        double away = 0.0;
        for (int c = 0; c < channelsPerSlot; ++c)
            away = std::max(away, std::fabs(evaluateChannel(&slot.channels[c], 0.0f) - aw::restPose[c]));
        EXPECT_GT(away, 0.15);
    }
}

// Scale stays positive and positions stay within reach of the picture on
// the way, sampled at every tenth of a field's scene time step.
TEST_P(LetterScene, StaysFiniteAndUprightInScaleOnTheWay)
{
    Scene& scene = load();
    for (int s = 0; s < usedSlotCount(&scene); ++s)
        for (int step = 0; step <= 500; ++step) {
            const float time = aw::sceneEndTime * static_cast<float>(step) / 500.0f;
            for (int c = 0; c < channelsPerSlot; ++c) {
                const double v = evaluateChannel(&scene.slotImage[s].channels[c], time);
                ASSERT_TRUE(std::isfinite(v)) << "slot " << s << " channel " << c << " time " << time;
                if (c >= 6) {
                    EXPECT_GT(v, 0.0) << "slot " << s << " channel " << c << " time " << time;
                    EXPECT_LT(v, 5.0) << "slot " << s << " channel " << c << " time " << time;
                } else if (c < 3) {
                    EXPECT_LT(std::fabs(v), 70.0) << "slot " << s << " channel " << c << " time " << time;
                }
            }
        }
}

TEST_P(LetterScene, FileImageIsZeroOutsideTheKeysAndNames)
{
    const std::vector<uint8_t> bytes = readFile(scenePath(GetParam()));
    ASSERT_EQ(bytes.size(), static_cast<size_t>(sceneFileSize));
    const aw::SceneMotion& motion = aw::sceneLibrary()[GetParam() - 1];
    for (size_t k = 0; k < sceneSlotCount; ++k) {
        const uint8_t* slot = bytes.data() + k * aw::sceneSlotBytes;
        const size_t nameLength = k < motion.slots.size() ? motion.slots[k].name.size() : 0;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(slot), nameLength),
                  k < motion.slots.size() ? motion.slots[k].name : "");
        EXPECT_TRUE(std::all_of(slot + nameLength, slot + aw::slotNameBytes, [](uint8_t b) { return b == 0; }));
        for (size_t c = 0; c < aw::channelCount; ++c) {
            const uint8_t* channel = slot + aw::slotNameBytes + c * aw::channelBytes;
            int32_t keyCount;
            std::memcpy(&keyCount, channel, 4);
            const size_t used = k < motion.slots.size() ? motion.slots[k].channels[c].size() : 0;
            EXPECT_EQ(keyCount, static_cast<int32_t>(used));
            const uint8_t* unusedKeys = channel + 4 + used * aw::keyBytes;
            EXPECT_TRUE(std::all_of(unusedKeys, channel + aw::channelBytes, [](uint8_t b) { return b == 0; }));
            for (size_t n = 0; n < used; ++n) {
                const uint8_t* lastWord = channel + 4 + n * aw::keyBytes + 32;
                EXPECT_TRUE(std::all_of(lastWord, lastWord + 4, [](uint8_t b) { return b == 0; }));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllFifty, LetterScene, ::testing::Range(1, 51),
                         [](const auto& info) { return "Scene" + std::to_string(info.param); });

TEST(LetterScenes, UseAllSixKeyShapesBetweenThem)
{
    std::set<uint32_t> shapes;
    for (int n = 1; n <= 50; ++n) {
        const std::vector<uint8_t> bytes = readFile(scenePath(n));
        ASSERT_EQ(bytes.size(), static_cast<size_t>(sceneFileSize));
        const SceneSlot* slots = reinterpret_cast<const SceneSlot*>(bytes.data());
        for (int s = 0; s < maxUsedSlots && slots[s].slotName[0] != 0; ++s)
            for (const MotionChannel& channel : slots[s].channels)
                for (int k = 1; k < channel.keyCount; ++k)   // the key that ends a segment picks its shape
                    shapes.insert(channel.keys[k].shape);
    }
    EXPECT_EQ(shapes, (std::set<uint32_t>{0, 1, 2, 3, 4, 5}));
}

TEST(LetterScenes, SomeUseSeveralSlots)
{
    int multiSlot = 0;
    for (const aw::SceneMotion& scene : aw::sceneLibrary())
        multiSlot += scene.slots.size() > 1 ? 1 : 0;
    EXPECT_GE(multiSlot, 3);
}

TEST(LetterScenes, EveryNumberBelongsToOneVariantAndTheTableIsCurrent)
{
    int perVariant[6] = {};
    for (int n = 1; n <= 50; ++n)
        ++perVariant[aw::variantOfScene(n)];
    EXPECT_EQ(perVariant[0], 0);
    EXPECT_EQ((std::vector<int>(perVariant + 1, perVariant + 6)), (std::vector<int>{9, 11, 11, 9, 10}));
    EXPECT_EQ(aw::variantOfScene(51), 0);

    const std::vector<uint8_t> document = readFile(fs::path(ZASK_SOURCE_DIR) / "tools/assets/SCENES.md");
    const std::string text(document.begin(), document.end());
    EXPECT_NE(text.find(aw::sceneTable()), std::string::npos)
        << "tools/assets/SCENES.md is out of date; regenerate with zask-assets --scene-table";
}

TEST(EmptyScene, HoldsOneSlotAtTheRestPose)
{
    std::string object = objectPath("buchstabethin.lwo.clw");
    const std::string path = (writtenTree() / "programs/zask/scenes/empty.sce").string();
    objectScale = 1.0;
    ASSERT_EQ(loadScene(&sceneTable[assetScene], path.c_str(), object.c_str()), 0);
    const Scene& scene = sceneTable[assetScene];
    EXPECT_EQ(usedSlotCount(&scene), 1);
    for (int c = 0; c < channelsPerSlot; ++c)
        EXPECT_EQ(scene.slotImage[0].channels[c].keyCount, 1) << c;
    for (float time : {0.0f, 8.0f, aw::sceneEndTime})
        EXPECT_TRUE(isRest(scene.slotImage[0], time));
    releaseScene(&sceneTable[assetScene]);
}

// ---------------------------------------------------------------- rendering

struct Picture {
    int width;
    int height;
    std::vector<uint8_t> texels;   // blue, green, red, alpha
    HostImage image{};
};

// An opaque card in one colour, for coverage.
Picture solidPicture(int width, int height)
{
    Picture p{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 4)};
    for (size_t i = 0; i < p.texels.size(); i += 4) {
        p.texels[i] = 40;
        p.texels[i + 1] = 160;
        p.texels[i + 2] = 220;
        p.texels[i + 3] = 255;
    }
    return p;
}

// An "F" in a card outline, so that turns and mirrors read in a picture.
Picture glyphPicture(int width, int height)
{
    Picture p{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 4)};
    auto set = [&](int x, int y, uint8_t b, uint8_t g, uint8_t r) {
        uint8_t* t = &p.texels[(static_cast<size_t>(y) * width + x) * 4];
        t[0] = b, t[1] = g, t[2] = r, t[3] = 255;
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool outline = x < 1 || y < 1 || x >= width - 1 || y >= height - 1;
            const bool stem = x >= 4 && x < 7 && y >= 4 && y < height - 4;
            const bool top = y >= 4 && y < 7 && x >= 4 && x < width - 3;
            const bool middle = y >= height / 2 - 1 && y < height / 2 + 2 && x >= 4 && x < width - 6;
            if (outline)
                set(x, y, 30, 140, 255);
            else if (stem || top || middle)
                set(x, y, 255, 255, 255);
        }
    return p;
}

class SceneRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedContext_ = renderContext;
        savedSettings_ = effectSettings;
        effectSettings.rotationX = effectSettings.rotationY = effectSettings.rotationZ = 0;
        rewriteLetterTimingChannel();   // the opacity follows it
    }
    void TearDown() override
    {
        releaseScene(&sceneTable[assetScene]);
        renderContext = savedContext_;
        effectSettings = savedSettings_;
    }

    void useFrame(int width, int height, bool lit)
    {
        width_ = width;
        height_ = height;
        colour_.assign(static_cast<size_t>(width) * height * 4, 0);
        coverage_.assign(static_cast<size_t>(width) * height, 0);
        world_.assign(3 * pointBufferEntries, 0.0);
        projected_.assign(3 * pointBufferEntries, 0.0f);
        RenderContext& rc = renderContext;
        rc.colourBuffer = colour_.data();
        rc.coverageBuffer = coverage_.data();
        rc.bufferStride = width;
        rc.worldPoints = world_.data();
        rc.projectedPoints = projected_.data();
        rc.aaFactor = 0;
        rc.windowOriginX = rc.windowOriginY = 0;
        rc.windowWidth = static_cast<float>(width);
        rc.windowHeight = static_cast<float>(height);
        rc.clipLeft = 0.0f;
        rc.coverageOff = 0;
        rc.projScaleX = static_cast<float>(width * 0.8);
        rc.projScaleY = static_cast<float>(height);
        rc.screenCentreX = static_cast<float>(width * 0.5);
        rc.screenCentreY = static_cast<float>(height * 0.5);
        rc.inPreview = 1;
        rc.keepTransparent = lit ? 1 : 0;
        rc.flatLighting = lit ? 1 : 0;
        rc.pixelLighting = 0;
        rc.lightVector[0] = 1.5, rc.lightVector[1] = 2.0, rc.lightVector[2] = -5.0;
        rc.lightLevels[0] = rc.lightLevels[1] = rc.lightLevels[2] = 30.0;
        rc.lightGain = 1.0;
    }

    void loadLetterScene(int number, const char* object = "buchstabe.lwo.clw")
    {
        std::string path = objectPath(object);
        objectScale = 1.0;
        ASSERT_EQ(loadScene(&sceneTable[assetScene], scenePath(number).c_str(), path.c_str()), 0);
        TextureRecord* textures = sceneTable[assetScene].objects[0].textures;
        for (int index : {0, 2, 3, 4, 5}) {
            textures[index].pixels = blank_;
            textures[index].width = textures[index].height = 32;
        }
    }

    // Draws the letter whose picture stands at (left, top) at a scene time.
    void draw(Picture& picture, int left, int top, float progress)
    {
        picture.image.pixels = picture.texels.data();
        picture.image.width = static_cast<int16_t>(picture.width);
        picture.image.height = static_cast<int16_t>(picture.height);
        picture.image.top = 0;
        LetterEntry entry{};
        entry.image = &picture.image;
        entry.penX = left * 64;
        entry.boxX = 0;
        entry.boxY = top * 64;
        ActionRequest request{};
        placeLetter(entry, 0, width_, height_, &request);
        letterOpacity(progress);
        TextureRecord& face = sceneTable[assetScene].objects[0].textures[1];
        face.pixels = picture.texels.data();
        face.width = picture.width;
        face.height = picture.height;
        sceneTable[assetScene].sceneTime = letterSceneTime(progress);
        renderScene(assetScene, 0, 0);
    }

    struct Box {
        int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;   // right and bottom exclusive
    };
    Box drawnBox(const std::vector<uint8_t>& background) const
    {
        Box box;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) {
                const size_t i = (static_cast<size_t>(y) * width_ + x) * 4;
                if (std::equal(&colour_[i], &colour_[i] + 3, &background[i]))
                    continue;
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
        return box;
    }

    int width_ = 0, height_ = 0;
    std::vector<uint8_t> colour_, coverage_;
    std::vector<double> world_;
    std::vector<float> projected_;
    uint8_t blank_[32 * 32 * 4] = {};
    RenderContext savedContext_;
    EffectSettings savedSettings_;
};

struct PlaceCase {
    int left;
    int top;
};

// At progress 1 (scene time 16.666666) every scene, in every slot, draws the
// picture where the layout put it.
TEST_F(SceneRender, EveryLetterStandsOnItsPictureAtTheEnd)
{
    const PlaceCase places[] = {{70, 45}, {100, 20}, {40, 70}};
    const char* objects[] = {"buchstabethin.lwo.clw", "buchstabe.lwo.clw", "buchstabethick.lwo.clw"};
    Picture picture = solidPicture(20, 30);
    for (int number = 1; number <= 50; ++number)
        for (const char* object : objects) {
            loadLetterScene(number, object);
            for (const PlaceCase& place : places) {
                SCOPED_TRACE("scene " + std::to_string(number) + " " + object + " at " +
                             std::to_string(place.left) + "," + std::to_string(place.top));
                useFrame(160, 120, false);
                const std::vector<uint8_t> background = colour_;
                draw(picture, place.left, place.top, 1.0f);
                const Box box = drawnBox(background);
                EXPECT_NEAR(box.left, place.left, 1);
                EXPECT_NEAR(box.right, place.left + picture.width, 1);
                EXPECT_NEAR(box.top, place.top, 1);
                EXPECT_NEAR(box.bottom, place.top + picture.height, 1);
            }
            releaseScene(&sceneTable[assetScene]);
        }
}

// Contact sheets of the in phase, one row per scene, for looking at; the
// letter must have come into the picture by two thirds of the way.
TEST_F(SceneRender, ContactSheetsOfTheInPhase)
{
    constexpr int frameWidth = 128, frameHeight = 96, gap = 2;
    const float progress[] = {0.05f, 0.15f, 0.25f, 0.35f, 0.45f, 0.55f, 0.65f, 0.8f, 1.0f};
    constexpr int columns = static_cast<int>(std::size(progress));
    Picture picture = glyphPicture(16, 24);
    const int left = 56, top = 36;
    for (int variant = 1; variant <= 5; ++variant) {
        std::vector<int> numbers;
        for (int n = 1; n <= 50; ++n)
            if (aw::variantOfScene(n) == variant)
                numbers.push_back(n);
        const int sheetWidth = columns * (frameWidth + gap) + gap;
        const int sheetHeight = static_cast<int>(numbers.size()) * (frameHeight + gap) + gap;
        std::vector<uint8_t> sheet(static_cast<size_t>(sheetWidth) * sheetHeight * 3, 255);
        for (size_t row = 0; row < numbers.size(); ++row) {
            loadLetterScene(numbers[row]);
            for (int column = 0; column < columns; ++column) {
                useFrame(frameWidth, frameHeight, true);
                for (size_t i = 0; i < colour_.size(); i += 4)
                    colour_[i] = 60, colour_[i + 1] = 40, colour_[i + 2] = 30;
                // The picture's place, outlined in grey.
                for (int x = left - 1; x <= left + picture.width; ++x)
                    for (int y : {top - 1, top + picture.height}) {
                        uint8_t* px = &colour_[(static_cast<size_t>(y) * frameWidth + x) * 4];
                        px[0] = px[1] = px[2] = 110;
                    }
                for (int y = top - 1; y <= top + picture.height; ++y)
                    for (int x : {left - 1, left + picture.width}) {
                        uint8_t* px = &colour_[(static_cast<size_t>(y) * frameWidth + x) * 4];
                        px[0] = px[1] = px[2] = 110;
                    }
                const std::vector<uint8_t> background = colour_;
                draw(picture, left, top, progress[column]);
                if (progress[column] >= 0.65f) {
                    const Box box = drawnBox(background);
                    EXPECT_LT(box.left, box.right) << "scene " << numbers[row] << " progress " << progress[column];
                }
                const int originX = gap + column * (frameWidth + gap);
                const int originY = gap + static_cast<int>(row) * (frameHeight + gap);
                for (int y = 0; y < frameHeight; ++y)
                    for (int x = 0; x < frameWidth; ++x) {
                        const uint8_t* px = &colour_[(static_cast<size_t>(y) * frameWidth + x) * 4];
                        uint8_t* out = &sheet[(static_cast<size_t>(originY + y) * sheetWidth + originX + x) * 3];
                        out[0] = px[2], out[1] = px[1], out[2] = px[0];
                    }
            }
            releaseScene(&sceneTable[assetScene]);
        }
        const fs::path file = outputRoot() / ("contact-zask" + std::to_string(variant) + ".png");
        ASSERT_TRUE(pngtest::writeFile(file.string(), pngtest::encodeRgb(sheetWidth, sheetHeight, sheet)));
        EXPECT_GT(fs::file_size(file), static_cast<uintmax_t>(sheetWidth * sheetHeight * 3));
    }
}

}  // namespace
