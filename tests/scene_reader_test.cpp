// Scene reader: scene images built in the test, plus the shipped scenes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "assets/scene.h"

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

void put32be(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
}

// The smallest loadable object: three points and one triangle.
Bytes minimalObject() {
    Bytes b{'F', 'O', 'R', 'M'};
    put32be(b, 132);
    b.insert(b.end(), {'C', 'O', 'B', 'J', 'P', 'N', 'T', 'S'});
    put32be(b, 36);
    put32be(b, 0);
    const float points[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    for (float f : points) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        put32be(b, u);
    }
    b.insert(b.end(), {'P', 'O', 'L', '2'});
    put32be(b, 72);
    put32be(b, 36);
    Bytes triangle(36, 0), end(36, 0);
    triangle[3] = 1;
    triangle[5] = 2;
    triangle[6] = triangle[7] = 0xFF;
    end[0] = end[1] = 0xFF;
    b.insert(b.end(), triangle.begin(), triangle.end());
    b.insert(b.end(), end.begin(), end.end());
    return b;
}

size_t channelOffset(int slot, int channel) { return slot * sizeof(SceneSlot) + 260 + channel * sizeof(MotionChannel); }

void putLe32(Bytes& image, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) image[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

Bytes sceneImage(const std::vector<std::string>& slotNames) {
    Bytes image(sceneFileSize, 0);
    for (size_t k = 0; k < slotNames.size(); ++k)
        std::memcpy(image.data() + k * sizeof(SceneSlot), slotNames[k].c_str(), slotNames[k].size());
    return image;
}

bool isEmpty(const LetterObject& o) {
    static const LetterObject empty{};
    return std::memcmp(&o, &empty, sizeof o) == 0;
}

class SceneReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int serial = 0;
        dir_ = fs::temp_directory_path() / ("zask-scene-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
        fs::create_directories(dir_);
        objectPath_ = write(minimalObject(), "letter.lwo.clw");
    }
    void TearDown() override {
        releaseScene(&scene_);
        fs::remove_all(dir_);
    }

    std::string write(const Bytes& bytes, const std::string& name) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }
    int load(const Bytes& image) { return loadScene(&scene_, write(image, "scene.sce").c_str(), objectPath_.c_str()); }

    fs::path dir_;
    std::string objectPath_;
    Scene scene_{};
};

TEST_F(SceneReaderTest, FirstByteZeroLoadsNoObject) {
    // A name in slot 1 does not count once slot 0 ends the list.
    ASSERT_EQ(load(sceneImage({"", "Buchstabe"})), 0);
    EXPECT_EQ(usedSlotCount(&scene_), 0);
    ASSERT_NE(scene_.slotImage, nullptr);
    ASSERT_NE(scene_.objects, nullptr);
    for (int i = 0; i < maxUsedSlots; ++i) EXPECT_TRUE(isEmpty(scene_.objects[i])) << i;
}

TEST_F(SceneReaderTest, UsedSlotsGetIndependentObjectsAndTheImageAsRead) {
    Bytes image = sceneImage({"Echo", "Buchstabe"});
    const size_t channel = channelOffset(1, 8);
    putLe32(image, channel, 77);   // outside the format: the evaluator clamps, not the reader
    float value = -2.5f, time = 16.666666f;
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    putLe32(image, channel + 4 + 36, bits);
    std::memcpy(&bits, &time, 4);
    putLe32(image, channel + 4 + 36 + 4, bits);
    putLe32(image, channel + 4 + 36 + 8, 5);

    // The caller's path keeps its spelling: each slot loads from its own copy.
    const std::string upper = (dir_ / "LETTER.lwo.clw").string();
    ASSERT_EQ(loadScene(&scene_, write(image, "scene.sce").c_str(), upper.c_str()), 0);
    EXPECT_EQ(upper, (dir_ / "LETTER.lwo.clw").string());
    EXPECT_EQ(usedSlotCount(&scene_), 2);

    const LetterObject* objects = scene_.objects;
    ASSERT_NE(objects[0].points, nullptr);
    ASSERT_NE(objects[1].points, nullptr);
    EXPECT_NE(objects[0].points, objects[1].points);
    EXPECT_NE(objects[0].polygons, objects[1].polygons);
    EXPECT_NE(objects[0].textures, objects[1].textures);
    EXPECT_EQ(std::memcmp(objects[0].points, objects[1].points, 12 * sizeof(float)), 0);
    EXPECT_TRUE(isEmpty(objects[2]));

    const MotionChannel& c = scene_.slotImage[1].channels[8];
    EXPECT_EQ(c.keyCount, 77);
    EXPECT_EQ(c.keys[1].value, -2.5f);
    EXPECT_EQ(c.keys[1].time, 16.666666f);
    EXPECT_EQ(c.keys[1].shape, 5u);
    EXPECT_STREQ(scene_.slotImage[0].slotName, "Echo");
}

TEST_F(SceneReaderTest, MissingSceneFileEmptiesTheScene) {
    ASSERT_EQ(load(sceneImage({"Buchstabe"})), 0);
    scene_.sceneTime = 3.5f;
    EXPECT_EQ(loadScene(&scene_, (dir_ / "missing.sce").c_str(), objectPath_.c_str()), -1);
    EXPECT_EQ(scene_.slotImage, nullptr);
    EXPECT_EQ(scene_.objects, nullptr);
    EXPECT_EQ(scene_.sceneTime, 3.5f);
}

TEST_F(SceneReaderTest, MissingOrOverlongObjectPathFailsAndEmptiesTheScene) {
    const std::string scenePath = write(sceneImage({"Buchstabe"}), "scene.sce");
    const std::string overlong = dir_.string() + "/" + std::string(1100, 'a');
    for (const std::string& objectPath : {(dir_ / "missing.lwo.clw").string(), overlong}) {
        ASSERT_EQ(load(sceneImage({"Buchstabe"})), 0);
        EXPECT_EQ(loadScene(&scene_, scenePath.c_str(), objectPath.c_str()), -2);
        EXPECT_EQ(scene_.slotImage, nullptr);
        EXPECT_EQ(scene_.objects, nullptr);
    }
}

// Serves a valid object to the first reader of a FIFO and junk to every later
// one, so the object of slot 0 loads and that of slot 1 fails.
class FifoServer {
public:
    explicit FifoServer(std::string path) : path_(std::move(path)) {
        if (mkfifo(path_.c_str(), 0600) != 0) return;
        previousPipeHandler_ = std::signal(SIGPIPE, SIG_IGN);
        thread_ = std::thread([this] { serve(); });
    }
    ~FifoServer() {
        done_ = true;
        if (thread_.joinable()) thread_.join();
        std::signal(SIGPIPE, previousPipeHandler_);
    }
    bool running() const { return thread_.joinable(); }

private:
    void serve() {
        const Bytes valid = minimalObject();
        const Bytes junk{'J', 'U', 'N', 'K', 0, 0, 0, 0};
        bool first = true;
        while (!done_) {
            // A non-blocking open succeeds only while a reader has the FIFO open.
            const int fd = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            fcntl(fd, F_SETFL, 0);
            const Bytes& data = first ? valid : junk;
            // Junk appended after the first object lies past its form length.
            [[maybe_unused]] ssize_t written = ::write(fd, data.data(), data.size());
            close(fd);
            first = false;
        }
    }

    std::string path_;
    std::thread thread_;
    std::atomic<bool> done_{false};
    void (*previousPipeHandler_)(int) = SIG_DFL;
};

TEST_F(SceneReaderTest, ObjectFailingForSlotOneReleasesSlotZero) {
    const std::string fifo = (dir_ / "served.lwo.clw").string();
    int result;
    {
        FifoServer server(fifo);
        ASSERT_TRUE(server.running());
        result = loadScene(&scene_, write(sceneImage({"Buchstabe", "Echo"}), "scene.sce").c_str(), fifo.c_str());
    }
    // Slot 0's object was loaded; the leak checker of the sanitizer build
    // sees it if the failure does not release it.
    EXPECT_EQ(result, -2);
    EXPECT_EQ(scene_.slotImage, nullptr);
    EXPECT_EQ(scene_.objects, nullptr);
}

TEST_F(SceneReaderTest, TruncatedFileLeavesTheRestZero) {
    Bytes full = sceneImage({"Buchstabe", "Echo", "Drei"});
    for (int k = 0; k < 3; ++k)
        for (int c = 0; c < channelsPerSlot; ++c) putLe32(full, channelOffset(k, c), 1);
    struct Case {
        size_t length;
        int usedSlots;
    } cases[] = {{1, 1}, {260, 1}, {16496, 1}, {16497, 2}, {30000, 2}, {2 * 16496 + 1, 3}, {sceneFileSize, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        ASSERT_EQ(load(Bytes(full.begin(), full.begin() + static_cast<long>(c.length))), 0);
        EXPECT_EQ(usedSlotCount(&scene_), c.usedSlots);
        const auto* image = reinterpret_cast<const uint8_t*>(scene_.slotImage);
        EXPECT_EQ(std::memcmp(image, full.data(), c.length), 0);
        EXPECT_EQ(std::count(image + c.length, image + sceneFileSize, 0), static_cast<long>(sceneFileSize - c.length));
    }
}

TEST_F(SceneReaderTest, FiveUsedSlotsLoadFourObjects) {
    ASSERT_EQ(load(sceneImage({"a", "b", "c", "d", "e"})), 0);
    EXPECT_EQ(usedSlotCount(&scene_), maxUsedSlots);
    for (int i = 0; i < maxUsedSlots; ++i) EXPECT_NE(scene_.objects[i].points, nullptr) << i;
    EXPECT_EQ(scene_.slotImage[4].slotName[0], 'e');
}

TEST_F(SceneReaderTest, ReleaseIsRepeatableAndKeepsTheSceneTime) {
    ASSERT_EQ(load(sceneImage({"Buchstabe"})), 0);
    scene_.sceneTime = 7.25f;
    releaseScene(&scene_);
    EXPECT_EQ(scene_.slotImage, nullptr);
    EXPECT_EQ(scene_.objects, nullptr);
    EXPECT_EQ(scene_.sceneTime, 7.25f);
    EXPECT_EQ(usedSlotCount(&scene_), 0);
    releaseScene(&scene_);
    releaseScene(nullptr);
    EXPECT_EQ(usedSlotCount(nullptr), 0);
}

TEST(SceneTable, HoldsOneHundredScenes) {
    EXPECT_EQ(std::size(sceneTable), static_cast<size_t>(sceneTableSize));
    EXPECT_EQ(sceneTableSize, 100);
}

TEST(ShippedScenes, LoadWithTheirSlotCounts) {
    const std::string root = std::string(ZASK_SHARED_DIR) + "/conformance/kthome-a/programs/zask/";
    const std::string objectPath = root + "objects/buchstabe.lwo.clw";
    const std::set<int> twoSlots{12, 19, 27, 44, 45};
    for (int n = 1; n <= 50; ++n) {
        SCOPED_TRACE(n);
        char name[32];
        std::snprintf(name, sizeof name, "scenes/buchstabe_%03d.sce", n);
        Scene scene{};
        ASSERT_EQ(loadScene(&scene, (root + name).c_str(), objectPath.c_str()), 0);
        const int expected = n == 38 ? 3 : twoSlots.count(n) ? 2 : 1;
        EXPECT_EQ(usedSlotCount(&scene), expected);
        EXPECT_STREQ(scene.slotImage[expected - 1].slotName, "Buchstabe");
        for (int i = 0; i < expected; ++i) {
            ASSERT_NE(scene.objects[i].points, nullptr);
            EXPECT_EQ(scene.objects[i].points[16 * 3], -1.0f);
        }
        for (int i = 0; i < expected; ++i)
            for (int c = 0; c < channelsPerSlot; ++c) {
                const int keys = scene.slotImage[i].channels[c].keyCount;
                EXPECT_TRUE(keys >= 1 && keys <= keysPerChannel) << "slot " << i << " channel " << c;
            }
        releaseScene(&scene);
    }

    Scene empty{};
    ASSERT_EQ(loadScene(&empty, (root + "scenes/empty.sce").c_str(), objectPath.c_str()), 0);
    EXPECT_EQ(usedSlotCount(&empty), 1);
    for (int c = 0; c < channelsPerSlot; ++c) EXPECT_EQ(empty.slotImage[0].channels[c].keyCount, 1) << c;
    releaseScene(&empty);
}

}  // namespace
