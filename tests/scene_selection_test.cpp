#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "assets/scene.h"
#include "field/asset_paths.h"
#include "field/random_generator.h"
#include "operator/effect_settings.h"
#include "standin/standin_control.h"
#include "variants/variant.h"

namespace {

const std::string kthomeA = std::string(ZASK_SHARED_DIR) + "/conformance/kthome-a";
const std::string sceneDirectory = kthomeA + "/programs/zask/scenes/";
const std::string objectDirectory = kthomeA + "/programs/zask/objects/";

class SelectionLog {
public:
    SelectionLog()
    {
        std::string error;
        path_ = testing::TempDir() + "scene_selection_test.log";
        EXPECT_TRUE(standin::openLogFile(path_, error)) << error;
        standin::setLogEcho(false);
    }
    ~SelectionLog()
    {
        standin::closeLogFile();
        standin::setLogEcho(true);
        std::remove(path_.c_str());
    }
    std::vector<std::string> lines() const
    {
        std::ifstream in(path_);
        std::vector<std::string> result;
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }

private:
    std::string path_;
};

std::vector<std::string> zask4Lines(std::initializer_list<int> numbers)
{
    std::vector<std::string> result;
    for (int n : numbers)
        result.push_back("severity=4 line=" + std::to_string(n) +
                         " source=src\\Zask4 module=0x0BDF0000 message=\" \"");
    return result;
}

std::vector<char> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The scene holds the file's image as read.
bool holdsSceneFile(const Scene& scene, const std::string& file)
{
    const std::vector<char> bytes = fileBytes(sceneDirectory + file);
    return scene.slotImage != nullptr && scene.objects != nullptr && bytes.size() == sceneFileSize &&
           std::memcmp(scene.slotImage, bytes.data(), bytes.size()) == 0;
}

struct SceneSelectionTest : testing::Test {
    std::optional<std::string> savedHome;
    EffectSettings savedSettings = effectSettings;
    int savedInMirror = activeInMirror, savedOutMirror = activeOutMirror;

    void SetUp() override
    {
        if (const char* home = std::getenv("KTHOME"))
            savedHome = home;
        setenv("KTHOME", kthomeA.c_str(), 1);
        writeDefaultSettings(effectSettings);
        releaseScene(&sceneTable[0]);
        releaseScene(&sceneTable[1]);
    }
    void TearDown() override
    {
        releaseScene(&sceneTable[0]);
        releaseScene(&sceneTable[1]);
        if (savedHome)
            setenv("KTHOME", savedHome->c_str(), 1);
        else
            unsetenv("KTHOME");
        effectSettings = savedSettings;
        activeInMirror = savedInMirror;
        activeOutMirror = savedOutMirror;
    }
};

TEST_F(SceneSelectionTest, VariantTableIsZask4s)
{
    ASSERT_FALSE(variant.randomScenes);
    ASSERT_EQ(variant.sceneTableLength, 9);
    EXPECT_EQ(std::vector<int>(variant.sceneTable, variant.sceneTable + 9),
              (std::vector<int>{21, 23, 28, 36, 37, 38, 41, 42, 48}));
}

TEST_F(SceneSelectionTest, IndexesPickTheirSceneFiles)
{
    struct Case {
        int inScene, outScene;
        const char* inFile;
        const char* outFile;
    };
    const Case cases[] = {
        {0, 8, "buchstabe_021.sce", "buchstabe_048.sce"},
        {8, 0, "buchstabe_048.sce", "buchstabe_021.sce"},
        {3, 6, "buchstabe_036.sce", "buchstabe_041.sce"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inFile);
        SelectionLog log;
        effectSettings.inScene = c.inScene;
        effectSettings.outScene = c.outScene;
        ASSERT_EQ(selectScenes(), 0);
        EXPECT_TRUE(holdsSceneFile(sceneTable[0], c.inFile));
        EXPECT_TRUE(holdsSceneFile(sceneTable[1], c.outFile));
        // The out scene was built last in the shared path buffer.
        EXPECT_STREQ(scenePath, (sceneDirectory + c.outFile).c_str());
        EXPECT_TRUE(log.lines().empty());
    }
}

// Thickness 0 and 1 share the thin object.
TEST_F(SceneSelectionTest, ThicknessChoosesTheObject)
{
    struct Case {
        int thickness;
        const char* file;
    };
    const Case cases[] = {
        {0, "buchstabethin.lwo.clw"},
        {1, "buchstabethin.lwo.clw"},
        {2, "buchstabe.lwo.clw"},
        {3, "buchstabethick.lwo.clw"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.thickness);
        effectSettings.thickness = c.thickness;
        ASSERT_EQ(selectScenes(), 0);
        EXPECT_STREQ(objectPath, (objectDirectory + c.file).c_str());
        EXPECT_NE(sceneTable[0].objects, nullptr);
        EXPECT_NE(sceneTable[1].objects, nullptr);
    }
}

// Outside 0..3 nothing is loaded, so even an index beyond the table is no failure.
TEST_F(SceneSelectionTest, ThicknessOutsideTheRangeLoadsNothing)
{
    for (int thickness : {4, -1, INT_MAX}) {
        SCOPED_TRACE(thickness);
        SelectionLog log;
        effectSettings.thickness = thickness;
        effectSettings.inScene = 9;
        effectSettings.outScene = -1;
        EXPECT_EQ(selectScenes(), 0);
        EXPECT_EQ(sceneTable[0].slotImage, nullptr);
        EXPECT_EQ(sceneTable[1].slotImage, nullptr);
        EXPECT_TRUE(log.lines().empty());
    }
}

// An index beyond the 9-entry table or negative fails like an unreadable scene.
TEST_F(SceneSelectionTest, IndexOutsideTheTableFails)
{
    struct Case {
        int inScene, outScene, line;
    };
    const Case cases[] = {{9, 0, 1187}, {-1, 0, 1187}, {0, 9, 1215}, {0, -1, 1215}, {INT_MIN, 0, 1187}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.inScene << " " << c.outScene);
        SelectionLog log;
        effectSettings.inScene = c.inScene;
        effectSettings.outScene = c.outScene;
        EXPECT_EQ(selectScenes(), -1);
        EXPECT_EQ(log.lines(), zask4Lines({c.line}));
        // A failed out scene leaves the in scene loaded.
        if (c.line == 1215) {
            EXPECT_TRUE(holdsSceneFile(sceneTable[0], "buchstabe_021.sce"));
        }
        releaseScene(&sceneTable[0]);
        releaseScene(&sceneTable[1]);
    }
}

TEST_F(SceneSelectionTest, MissingOrOverlongHomeFailsTheInScene)
{
    const std::string overlong(300, 'k');
    for (const std::string* home : {static_cast<const std::string*>(nullptr), &overlong}) {
        SCOPED_TRACE(home ? "overlong" : "unset");
        if (home)
            setenv("KTHOME", home->c_str(), 1);
        else
            unsetenv("KTHOME");
        SelectionLog log;
        EXPECT_EQ(selectScenes(), -1);
        EXPECT_EQ(sceneTable[0].slotImage, nullptr);
        EXPECT_EQ(sceneTable[1].slotImage, nullptr);
        EXPECT_EQ(log.lines(), zask4Lines({1187}));
    }
}

// The path and its terminator must fit 256 bytes: 252 + 3 characters fit, 253 + 3 do not,
// and a refused path leaves the buffer as it was.
TEST_F(SceneSelectionTest, HomePathMustFitItsBuffer)
{
    char buffer[pathBufferSize];
    const std::string fits(252, 'h');
    setenv("KTHOME", fits.c_str(), 1);
    ASSERT_TRUE(buildKthomePath(buffer, "/ab"));
    EXPECT_EQ(std::string(buffer), fits + "/ab");

    std::memset(buffer, 'Z', sizeof buffer);
    const std::string tooLong(253, 'h');
    setenv("KTHOME", tooLong.c_str(), 1);
    EXPECT_FALSE(buildKthomePath(buffer, "/ab"));
    unsetenv("KTHOME");
    EXPECT_FALSE(buildKthomePath(buffer, "/ab"));
    for (char c : buffer)
        ASSERT_EQ(c, 'Z');
}

TEST_F(SceneSelectionTest, MirrorModesOutsideTheRangeBecomeZero)
{
    struct Case {
        int inMirror, outMirror, activeIn, activeOut;
    };
    const Case cases[] = {{2, 3, 2, 3}, {1, 0, 1, 0}, {4, -1, 0, 0}, {INT_MAX, 3, 0, 3}, {3, INT_MIN, 3, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.inMirror << " " << c.outMirror);
        effectSettings.inMirror = c.inMirror;
        effectSettings.outMirror = c.outMirror;
        activeInMirror = activeOutMirror = 99;
        ASSERT_EQ(selectScenes(), 0);
        EXPECT_EQ(activeInMirror, c.activeIn);
        EXPECT_EQ(activeOutMirror, c.activeOut);
    }
}

TEST_F(SceneSelectionTest, PreviewSceneGoesIntoTheInEntry)
{
    SelectionLog log;
    ASSERT_EQ(loadPreviewScene(), 0);
    EXPECT_TRUE(holdsSceneFile(sceneTable[0], "empty.sce"));
    EXPECT_EQ(sceneTable[1].slotImage, nullptr);
    EXPECT_STREQ(scenePath, (sceneDirectory + "empty.sce").c_str());
    EXPECT_TRUE(log.lines().empty());

    releaseScene(&sceneTable[0]);
    effectSettings.thickness = 5;
    EXPECT_EQ(loadPreviewScene(), 0);
    EXPECT_EQ(sceneTable[0].slotImage, nullptr);
}

TEST_F(SceneSelectionTest, PreviewSceneWithoutHomeFails)
{
    unsetenv("KTHOME");
    SelectionLog log;
    EXPECT_EQ(loadPreviewScene(), -1);
    EXPECT_EQ(sceneTable[0].slotImage, nullptr);
    EXPECT_EQ(log.lines(), zask4Lines({1260}));
}

// state = state * 214013 + 2531011 (mod 2^32), value (state >> 16) & 0x7FFF.
// Seed 1000: 216544011 -> 3304; 538833314 -> 8221; 1759629789 -> 26849;
// 920050988 -> 14038. Seed 1: 2745024 -> 41, then 18467, 6334.
TEST(ZaskRandomTest, GeneratorSequences)
{
    struct Case {
        uint32_t seed;
        std::vector<int32_t> values;
    };
    const Case cases[] = {
        {1000, {3304, 8221, 26849, 14038}},
        {1, {41, 18467, 6334}},
        {0, {38}},  // 2531011 >> 16
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seed);
        for (int round = 0; round < 2; ++round) {  // reseeding repeats the sequence
            srandZask(c.seed);
            std::vector<int32_t> values;
            for (size_t i = 0; i < c.values.size(); ++i)
                values.push_back(randZask());
            EXPECT_EQ(values, c.values);
        }
    }
}

// The random variant's choice from four generator values (the unit executable
// is zask4, so this is the arithmetic alone): scene 1 + (r * 50) / 32767,
// mirror (r * 3) / 32767.
struct RandomChoice {
    int inScene, inMirror, outScene, outMirror;
};
RandomChoice randomChoice(int32_t r1, int32_t r2, int32_t r3, int32_t r4)
{
    return {1 + (r1 * 50) / 32767, (r2 * 3) / 32767, 1 + (r3 * 50) / 32767, (r4 * 3) / 32767};
}

TEST(ZaskRandomTest, RandomSceneArithmetic)
{
    struct Case {
        int32_t r;
        int scene, mirror;
    };
    // 32767 * 50 / 32767 = 50 -> 51, a number no table names; 32766 * 50 / 32767
    // = 49.998 -> 50; 16384 * 50 / 32767 = 25.0008 -> 26; mirror 98298 / 32767 = 2.9999 -> 2.
    const Case cases[] = {{0, 1, 0}, {16384, 26, 1}, {32766, 50, 2}, {32767, 51, 3}};
    for (const Case& c : cases) {
        const RandomChoice choice = randomChoice(c.r, c.r, c.r, c.r);
        EXPECT_EQ(choice.inScene, c.scene) << c.r;
        EXPECT_EQ(choice.outScene, c.scene) << c.r;
        EXPECT_EQ(choice.inMirror, c.mirror) << c.r;
        EXPECT_EQ(choice.outMirror, c.mirror) << c.r;
    }
    // Seeded with 1000: 1 + 165200 / 32767 = 6, 24663 / 32767 = 0,
    // 1 + 1342450 / 32767 = 41, 42114 / 32767 = 1.
    srandZask(1000);
    const int32_t r1 = randZask(), r2 = randZask(), r3 = randZask(), r4 = randZask();
    const RandomChoice seeded = randomChoice(r1, r2, r3, r4);
    EXPECT_EQ(seeded.inScene, 6);
    EXPECT_EQ(seeded.inMirror, 0);
    EXPECT_EQ(seeded.outScene, 41);
    EXPECT_EQ(seeded.outMirror, 1);
}

}  // namespace
