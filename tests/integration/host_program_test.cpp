#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/integration/test_clip.h"
#include "tests/integration/run_host.h"

namespace fs = std::filesystem;

namespace {

using zask_test::RunResult;
using zask_test::readFile;
using zask_test::runHost;

std::string plugin(int n) { return std::string(ZASK_PLUGIN_DIR) + "/zask" + std::to_string(n) + ".so"; }

// A folder per test with valid inputs for render: a 4-frame 8x6 clip, the
// default settings, a one-letter title.
struct HostProgramTest : testing::Test {
    fs::path dir;

    void SetUp() override {
        dir = zask_test::freshTestFolder("host_program");
        zask_test::writeTestClip(path("clip.y4m"), 8, 6, 4);
        const int32_t defaults[17] = {2, 100, 4, 0x7A8080FF, 2, 50, 0, 0, 0, 0, 0, 0, 0, 0, 100, 50, 50};
        std::ofstream(path("settings.bin"), std::ios::binary).write(reinterpret_cast<const char*>(defaults), 68);
        std::ofstream(path("title.json"))
            << "{\"pages\": [{\"boxes\": [{\"x\": 64, \"y\": 64, \"lines\": [{\"chars\": ["
               "{\"pen\": 0, \"width\": 1, \"height\": 1, \"top\": 0, \"pixels\": \"ff8080eb\"}]}]}]}]}\n";
    }

    std::string path(const std::string& file) const { return (dir / file).string(); }

    std::vector<std::string> renderArgs() const {
        return {"render",   "--operator", plugin(4),          "--kthome", std::string(ZASK_SHARED_DIR) + "/conformance/kthome-a",
                "--title",  path("title.json"), "--input", path("clip.y4m"), "--output", path("out.y4m"),
                "--settings", path("settings.bin"), "--log", path("log.txt")};
    }

    RunResult run(const std::vector<std::string>& args) const { return runHost(args, dir); }
};

// Replaces the value after an option, or appends the option.
std::vector<std::string> with(std::vector<std::string> args, const std::string& option, const std::string& value) {
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == option) {
            args[i + 1] = value;
            return args;
        }
    args.push_back(option);
    if (!value.empty()) args.push_back(value);
    return args;
}

std::vector<std::string> without(std::vector<std::string> args, const std::string& option) {
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == option) {
            args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
            break;
        }
    return args;
}

struct ErrorCase {
    const char* what;
    // Turns the valid render arguments into the failing ones; may write files.
    std::vector<std::string> (*make)(const HostProgramTest&);
    int status;
    const char* phrase;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.what; }

class HostProgramErrorTest : public HostProgramTest, public testing::WithParamInterface<ErrorCase> {};

TEST_P(HostProgramErrorTest, ExitsWithStatusAndOneLineMessage) {
    const ErrorCase& c = GetParam();
    RunResult r = run(c.make(*this));
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.phrase), std::string::npos) << "stderr: " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_FALSE(fs::exists(path("out.y4m")));
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename().string().find(".partial-"), std::string::npos) << "left behind: " << entry.path();
}

INSTANTIATE_TEST_SUITE_P(
    Usage, HostProgramErrorTest,
    testing::Values(
        ErrorCase{"no_command", [](const HostProgramTest&) { return std::vector<std::string>{"frobnicate"}; }, 2,
                  "unknown command 'frobnicate'"},
        ErrorCase{"unknown_option",
                  [](const HostProgramTest& t) { return with(t.renderArgs(), "--bogus", "1"); }, 2,
                  "unknown option --bogus"},
        ErrorCase{"missing_log", [](const HostProgramTest& t) { return without(t.renderArgs(), "--log"); }, 2,
                  "missing option --log"},
        ErrorCase{"option_twice",
                  [](const HostProgramTest& t) {
                      auto a = t.renderArgs();
                      a.push_back("--input");
                      a.push_back(t.path("clip.y4m"));
                      return a;
                  },
                  2, "option --input given twice"},
        ErrorCase{"missing_input",
                  [](const HostProgramTest& t) { return with(t.renderArgs(), "--input", t.path("none.y4m")); }, 2,
                  "none.y4m: cannot open: No such file or directory"},
        ErrorCase{"not_y4m",
                  [](const HostProgramTest& t) {
                      std::ofstream(t.path("text.y4m")) << "hello\n";
                      return with(t.renderArgs(), "--input", t.path("text.y4m"));
                  },
                  2, "text.y4m: not a YUV4MPEG2 stream"},
        ErrorCase{"not_c444",
                  [](const HostProgramTest& t) {
                      zask_test::writeTestClip(t.path("c420.y4m"), 8, 6, 2, "C420jpeg");
                      return with(t.renderArgs(), "--input", t.path("c420.y4m"));
                  },
                  2, "c420.y4m: colour space C420jpeg, only C444 is supported"},
        ErrorCase{"no_colour_tag",
                  [](const HostProgramTest& t) {
                      zask_test::writeTestClip(t.path("plain.y4m"), 8, 6, 2, "");
                      return with(t.renderArgs(), "--input", t.path("plain.y4m"));
                  },
                  2, "plain.y4m: colour space 4:2:0 (no C parameter)"},
        ErrorCase{"odd_height",
                  [](const HostProgramTest& t) {
                      zask_test::writeTestClip(t.path("odd.y4m"), 8, 5, 2);
                      return with(t.renderArgs(), "--input", t.path("odd.y4m"));
                  },
                  2, "odd.y4m: frame height 5 is odd"},
        ErrorCase{"truncated_frame",
                  [](const HostProgramTest& t) {
                      zask_test::writeTestClip(t.path("cut.y4m"), 8, 6, 2, "C444", 10);
                      return with(t.renderArgs(), "--input", t.path("cut.y4m"));
                  },
                  2, "cut.y4m: frame 1 is truncated (134 of 144 bytes)"},
        ErrorCase{"short_settings",
                  [](const HostProgramTest& t) {
                      std::ofstream(t.path("short.bin"), std::ios::binary) << std::string(67, '\0');
                      return with(t.renderArgs(), "--settings", t.path("short.bin"));
                  },
                  2, "short.bin: 67 bytes, a settings file holds exactly 68"},
        ErrorCase{"long_settings",
                  [](const HostProgramTest& t) {
                      std::ofstream(t.path("long.bin"), std::ios::binary) << std::string(69, '\0');
                      return with(t.renderArgs(), "--settings", t.path("long.bin"));
                  },
                  2, "long.bin: 69 bytes"},
        ErrorCase{"malformed_title",
                  [](const HostProgramTest& t) {
                      std::ofstream(t.path("bad.json")) << "{\"pages\": [\n  {\"boxes\": [}]}\n";
                      return with(t.renderArgs(), "--title", t.path("bad.json"));
                  },
                  2, "bad.json: line 2, column 14: unexpected '}', expected a value"},
        ErrorCase{"title_bad_pixels",
                  [](const HostProgramTest& t) {
                      std::ofstream(t.path("px.json"))
                          << "{\"pages\": [{\"boxes\": [{\"x\": 0, \"y\": 0, \"lines\": [{\"chars\": [{\"pen\": 0, "
                             "\"width\": 2, \"height\": 1, \"top\": 0, \"pixels\": \"ff8080eb\"}]}]}]}]}";
                      return with(t.renderArgs(), "--title", t.path("px.json"));
                  },
                  2, "\"pixels\" has 8 hex digits, width 2 x height 1 needs 16"},
        ErrorCase{"plugin_without_entry_points",
                  [](const HostProgramTest& t) {
                      return with(t.renderArgs(), "--operator", std::string(ZASK_PLUGIN_DIR) + "/libzask_standin.so");
                  },
                  2, "not a Zask plug-in: it does not export GetOperatorInfo"},
        ErrorCase{"plugin_not_a_library",
                  [](const HostProgramTest& t) { return with(t.renderArgs(), "--operator", t.path("settings.bin")); },
                  2, "settings.bin: cannot load the plug-in"},
        ErrorCase{"frames_outside",
                  [](const HostProgramTest& t) { return with(t.renderArgs(), "--frames", "2:5"); }, 2,
                  "--frames 2:5 is outside the clip"},
        ErrorCase{"frames_empty", [](const HostProgramTest& t) { return with(t.renderArgs(), "--frames", "3:3"); },
                  2, "--frames 3:3 is outside the clip"},
        ErrorCase{"frames_syntax", [](const HostProgramTest& t) { return with(t.renderArgs(), "--frames", "1-3"); },
                  2, "--frames 1-3: expected A:B"},
        ErrorCase{"length_zero", [](const HostProgramTest& t) { return with(t.renderArgs(), "--length", "0"); }, 2,
                  "--length 0: expected a number of fields"},
        ErrorCase{"draft_zero_den", [](const HostProgramTest& t) { return with(t.renderArgs(), "--draft", "16:0"); },
                  2, "--draft 16:0: expected NUM:DEN"},
        ErrorCase{"output_directory_missing",
                  [](const HostProgramTest& t) { return with(t.renderArgs(), "--output", t.path("no/out.y4m")); },
                  2, "no/out.y4m: cannot create"},
        ErrorCase{"log_directory_missing",
                  [](const HostProgramTest& t) { return with(t.renderArgs(), "--log", t.path("no/log.txt")); }, 2,
                  "no/log.txt: cannot create the log"},
        ErrorCase{"info_without_plugin", [](const HostProgramTest&) { return std::vector<std::string>{"info"}; }, 2,
                  "missing the plug-in file"},
        ErrorCase{"info_not_a_plugin",
                  [](const HostProgramTest&) {
                      return std::vector<std::string>{"info", std::string(ZASK_PLUGIN_DIR) + "/libzask_standin.so"};
                  },
                  2, "does not export GetOperatorInfo"},
        ErrorCase{"mkdir_without_kthome",
                  [](const HostProgramTest&) { return std::vector<std::string>{"mkdir", plugin(1)}; }, 2,
                  "missing option --kthome"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.what); });

TEST_F(HostProgramTest, LogFileIsCreatedOnceTheOptionsAreRead) {
    RunResult r = run(with(renderArgs(), "--input", path("none.y4m")));
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(fs::exists(path("log.txt")));
    EXPECT_EQ(readFile(path("log.txt")), "");
}

TEST_F(HostProgramTest, HelpOfEveryCommandTellsItsUsage) {
    struct Case {
        std::vector<std::string> args;
        const char* phrase;
    };
    for (const Case& c : {Case{{"--help"}, "usage: zask COMMAND"}, Case{{"help"}, "commands:"},
                          Case{{"info", "--help"}, "usage: zask info PLUGIN.so"},
                          Case{{"render", "--help"}, "--strict-images"},
                          Case{{"render", "-h"}, "--frames A:B"},
                          Case{{"mkdir", "--help"}, "usage: zask mkdir PLUGIN.so --kthome DIR"}}) {
        RunResult r = run(c.args);
        EXPECT_EQ(r.status, 0) << c.args[0];
        EXPECT_NE(r.out.find(c.phrase), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");
    }
    RunResult bare = run({});
    EXPECT_EQ(bare.status, 2);
    EXPECT_NE(bare.err.find("usage: zask COMMAND"), std::string::npos);
}

TEST_F(HostProgramTest, InfoOfZask6ShowsIdentityPanelsAndDefaults) {
    RunResult r = run({"info", plugin(6)});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* phrase :
         {"version text \"$Id: Zask6 2.0 2015/11/10 00:00:00 ", "name: Zask6\n", "version: 2.0\n",
          "module: 0x0BE10000 (derived", "tag 0x4F504500: number 0\n", "tag 0x4F50450B: number 135\n",
          "panel 0 label: kind 4, string 310, mode 2\n", "panel 1 label: kind 4, string 294, mode 2\n",
          "panel 2 label: kind 4, string 180, mode 2\n", "panel 3 label: kind 4, string 299, mode 0\n",
          ", 68 bytes\n", "  shadingMode     2\n", "  lightColour     0x7A8080FF\n", "  reserved5       50\n",
          "  randomSeed      100\n", "  outDuration     50\n"})
        EXPECT_NE(r.out.find(phrase), std::string::npos) << phrase << "\n" << r.out;
}

TEST_F(HostProgramTest, InfoDerivesEachVariantsModule) {
    for (int n = 1; n <= 6; ++n) {
        RunResult r = run({"info", plugin(n)});
        ASSERT_EQ(r.status, 0) << r.err;
        char expected[64];
        std::snprintf(expected, sizeof expected, "module: 0x%08X", 0xBDC0000u + (n - 1) * 0x10000u);
        EXPECT_NE(r.out.find(expected), std::string::npos) << r.out;
    }
}

TEST_F(HostProgramTest, MkdirCreatesTheVariantsDirectory) {
    fs::path kthome = dir / "kthome";
    fs::create_directories(kthome / "programs" / "zask");
    RunResult r = run({"mkdir", plugin(3), "--kthome", kthome.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_directory(kthome / "programs" / "zask" / "zask3"));
    // Already there: still fine.
    EXPECT_EQ(run({"mkdir", plugin(3), "--kthome", kthome.string()}).status, 0);
}

TEST_F(HostProgramTest, MkdirReportsAMissingParent) {
    fs::path kthome = dir / "empty-kthome";
    fs::create_directories(kthome);
    RunResult r = run({"mkdir", plugin(2), "--kthome", kthome.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("its parent directory does not exist"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(kthome / "programs"));
}

TEST(TestClipTest, WrittenClipReadsBackFrameByFrame) {
    fs::path file = fs::path(ZASK_TEST_OUTPUT_DIR) / "test_clip_roundtrip.y4m";
    fs::create_directories(file.parent_path());
    zask_test::writeTestClip(file.string(), 6, 4, 3);
    std::string header;
    std::vector<std::vector<uint8_t>> frames;
    ASSERT_TRUE(zask_test::readTestClip(file.string(), header, frames, 6 * 4 * 3));
    EXPECT_EQ(header, "YUV4MPEG2 W6 H4 F25:1 It A1:1 C444");
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[2], zask_test::testClipFrame(6, 4, 2));
    EXPECT_NE(frames[1], frames[2]);
}

}  // namespace

namespace {

TEST_F(HostProgramTest, FailingFieldEndsTheRenderWithTheFramesBeforeIt) {
    // Without scene files the first field fails after logging the scene line.
    auto args = with(with(renderArgs(), "--kthome", std::string(ZASK_SHARED_DIR) + "/conformance/kthome-noscenes"),
                     "--strict-images", "");
    RunResult r = run(args);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(readFile(path("log.txt")), "severity=4 line=1187 source=src\\Zask4 module=0x0BDF0000 message=\" \"\n");
    EXPECT_NE(r.err.find("field 0 (frame 0) failed with -1"), std::string::npos) << r.err;
    // The failed field stays with the plug-in, as a failing render leaves it.
    EXPECT_NE(r.err.find("left 1 of 2 host images unreleased"), std::string::npos) << r.err;
    std::string header;
    std::vector<std::vector<uint8_t>> frames;
    ASSERT_TRUE(zask_test::readTestClip(path("out.y4m"), header, frames, 8 * 6 * 3));
    EXPECT_EQ(header, zask_test::testClipHeader(8, 6));
    EXPECT_TRUE(frames.empty());
}

}  // namespace
