// The host program when its output cannot be written (a full disk, a closed
// pipe) or it is interrupted mid-render: a clear message, its own exit
// status, and no output file, whole or partial, left behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/integration/run_host.h"
#include "tests/integration/test_clip.h"

namespace fs = std::filesystem;

namespace {

using zask_test::RunResult;
using zask_test::Surroundings;

std::string plugin(int n) { return std::string(ZASK_PLUGIN_DIR) + "/zask" + std::to_string(n) + ".so"; }
const std::string fixtureHome = std::string(ZASK_SHARED_DIR) + "/conformance/kthome-a";

struct OutputFaultTest : testing::Test {
    fs::path dir;

    void SetUp() override {
        dir = zask_test::freshTestFolder("output_faults");
        zask_test::writeTestClip(path("clip.y4m"), 64, 48, 6);
        const int32_t defaults[17] = {2, 100, 4, 0x7A8080FF, 2, 50, 1, 0, 0, 0, 0, 0, 0, 0, 100, 50, 50};
        std::ofstream(path("settings.bin"), std::ios::binary).write(reinterpret_cast<const char*>(defaults), 68);
        std::ofstream(path("title.json"))
            << "{\"pages\": [{\"boxes\": [{\"x\": 20, \"y\": 10, \"lines\": [{\"chars\": ["
               "{\"pen\": 0, \"width\": 2, \"height\": 2, \"top\": 0, \"pixels\": \"ff8080ebff8080ebff8080ebff8080eb\"}"
               "]}]}]}]}\n";
        // The preview's letter: 2 x 2 opaque pixels.
        std::ofstream letter(path("letter.rgba"), std::ios::binary);
        const int32_t size[2] = {2, 2};
        letter.write(reinterpret_cast<const char*>(size), 8);
        letter << std::string(16, '\xff');
    }

    std::string path(const std::string& file) const { return (dir / file).string(); }

    std::vector<std::string> exactRender(const std::string& output, const std::string& clip = "clip.y4m",
                                         const std::string& title = "title.json") const {
        return {"render", "--operator", plugin(4), "--kthome", fixtureHome, "--title", path(title),
                "--input", path(clip), "--output", output, "--settings", path("settings.bin"), "--log",
                path("log.txt")};
    }
    std::vector<std::string> everydayRender(const std::string& output, const std::string& seconds = "2") const {
        return {"render", "--text", "HI", "--background", "gradient", "--size", "160x120", "--duration", seconds,
                "--output", output, "--quiet", "--log", path("log.txt")};
    }

    // No file of a render's output, finished or not, anywhere in the folder.
    void expectNothingWritten(const std::vector<std::string>& names) const {
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            EXPECT_EQ(name.find(".partial-"), std::string::npos) << "left behind: " << entry.path();
            for (const std::string& output : names)
                EXPECT_NE(name, output) << "written: " << entry.path();
        }
    }
};

std::vector<std::string> with(std::vector<std::string> args, std::vector<std::string> more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// ---------------------------------------------------------------- a full disk

TEST_F(OutputFaultTest, AFullDiskEndsEveryWritingCommandWithTheReasonAndNoFile) {
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::vector<std::string> outputs;
    } cases[] = {
        {"exact render", exactRender(path("out.y4m")), {"out.y4m"}},
        {"exact render in two processes", with(exactRender(path("out.y4m")), {"--jobs", "2"}), {"out.y4m"}},
        {"everyday render to y4m", everydayRender(path("out.y4m")), {"out.y4m"}},
        {"everyday render to png frames", everydayRender(path("frame.png")), {"frame-0000.png", "frame-0001.png"}},
        {"contact sheet", with(everydayRender(path("out.y4m"), "1"), {"--contact-sheet", path("sheet.png")}),
         {"sheet.png"}},
        {"preview", {"preview", "--operator", plugin(4), "--kthome", fixtureHome, "--settings", path("settings.bin"),
                     "--image998", path("letter.rgba"), "--output", path("preview.y4m")},
         {"preview.y4m"}},
        {"demo", {"demo", "--output-dir", path("demo"), "--quiet"}, {"contact-sheet.png"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Surroundings around;
        around.fileSizeLimit = 1024;
        const RunResult r = zask_test::runHost(c.args, dir, around);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
        expectNothingWritten(c.outputs);
    }
}

// ---------------------------------------------------------------- a closed pipe

TEST_F(OutputFaultTest, AClosedPipeOnStandardOutputIsAWriteErrorWithAMessage) {
    const struct {
        const char* what;
        std::vector<std::string> args;
    } cases[] = {
        {"exact render", exactRender("-")},
        {"everyday render", everydayRender("-")},
        {"info", {"info", plugin(4)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Surroundings around;
        around.closedPipe = true;
        const RunResult r = zask_test::runHost(c.args, dir, around);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find("standard output: cannot write: Broken pipe"), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST_F(OutputFaultTest, VideoOnStandardOutputKeepsTheMessagesOffIt) {
    const RunResult r = zask_test::runHost(exactRender("-"), dir);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string header;
    std::vector<std::vector<uint8_t>> frames;
    std::ofstream(path("piped.y4m"), std::ios::binary) << r.out;
    ASSERT_TRUE(zask_test::readTestClip(path("piped.y4m"), header, frames, 64 * 48 * 3));
    EXPECT_EQ(frames.size(), 6u);
    EXPECT_NE(r.err.find("wrote 6 frames to -"), std::string::npos) << r.err;
}

// ---------------------------------------------------------------- an interrupt

bool isOutput(const fs::path& file) {
    const std::string name = file.filename().string();
    return name.find(".partial-") != std::string::npos || name.rfind("frame-", 0) == 0;
}

size_t renderScratchFolders() {
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator("/tmp"))
        if (entry.path().filename().string().rfind("zask-render-", 0) == 0) ++count;
    return count;
}

// Starts a render, waits until it has begun writing its output, and signals it.
RunResult interruptRender(const OutputFaultTest& t, const std::vector<std::string>& args, int signal) {
    const pid_t pid = zask_test::startHost(args, t.dir);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool writing = false;
    while (!writing && std::chrono::steady_clock::now() < deadline) {
        for (const auto& entry : fs::recursive_directory_iterator(t.dir))
            if (isOutput(entry.path())) writing = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(writing ? 100 : 10));
    }
    kill(pid, signal);
    RunResult r = zask_test::finishHost(pid, t.dir);
    EXPECT_TRUE(writing) << "the render never began its output";
    return r;
}

TEST_F(OutputFaultTest, AnInterruptedRenderRemovesItsOutputAndSaysSo) {
    // Long enough to be caught in the middle: 600 frames, a large letter.
    zask_test::writeTestClip(path("long.y4m"), 320, 240, 600);
    std::string pixels;
    for (int i = 0; i < 96 * 96; ++i) pixels += "ff8080eb";
    std::ofstream(path("large.json")) << "{\"pages\": [{\"boxes\": [{\"x\": 100, \"y\": 60, \"lines\": [{\"chars\": "
                                         "[{\"pen\": 0, \"width\": 96, \"height\": 96, \"top\": 0, \"pixels\": \""
                                      << pixels << "\"}]}]}]}]}\n";
    const struct {
        const char* what;
        std::vector<std::string> args;
        int signal;
        const char* phrase;
    } cases[] = {
        {"exact render", exactRender(path("out.y4m"), "long.y4m", "large.json"), SIGINT, "interrupted (SIGINT); "},
        {"exact render in two processes", with(exactRender(path("out.y4m"), "long.y4m", "large.json"), {"--jobs", "2"}),
         SIGTERM,
         "interrupted (SIGTERM); "},
        {"everyday render", everydayRender(path("out.y4m"), "600"), SIGINT, "interrupted (SIGINT); "},
        {"everyday render to png frames", everydayRender(path("frame.png"), "600"), SIGHUP,
         "interrupted (SIGHUP); "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t before = renderScratchFolders();
        const RunResult r = interruptRender(*this, c.args, c.signal);
        EXPECT_EQ(r.status, 130) << r.err;
        EXPECT_NE(r.err.find(c.phrase), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("not written"), std::string::npos) << r.err;
        expectNothingWritten({"out.y4m", "frame-0000.png"});
        // The processes' scratch folder is gone too.
        EXPECT_LE(renderScratchFolders(), before);
    }
}

}  // namespace
