// The host program's dialog commands: preview, panel and presets.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "standin/gui_control.h"

namespace fs = std::filesystem;

namespace {

struct RunResult {
    int status = -1;
    std::string out, err;
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

class HostDialogCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        scratch = fs::path(ZASK_TEST_OUTPUT_DIR) / ("dialog-commands-" + std::to_string(getpid()));
        fs::remove_all(scratch);
        fs::create_directories(scratch);
    }
    void TearDown() override { fs::remove_all(scratch); }

    RunResult run(const std::vector<std::string>& args) {
        const fs::path outPath = scratch / "stdout.txt", errPath = scratch / "stderr.txt";
        pid_t pid = fork();
        if (pid == 0) {
            int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> argv{const_cast<char*>(ZASK_HOST_PROGRAM)};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(ZASK_HOST_PROGRAM, argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readFile(outPath), readFile(errPath)};
    }
    std::vector<std::string> previewArgs(const std::string& letter) {
        const std::string cases = ZASK_SHARED_DIR "/conformance/preview-cases";
        return {"preview", "--operator", std::string(ZASK_PLUGIN_DIR) + "/zask4.so", "--kthome",
                ZASK_SHARED_DIR "/conformance/kthome-a", "--settings", cases + "/zask4-pixel-light-default/settings.bin",
                "--image998", letter, "--output", (scratch / "out.y4m").string(), "--log", (scratch / "log.txt").string()};
    }
    fs::path scratch;
};

TEST_F(HostDialogCommandTest, PreviewWritesTheReferencePicture) {
    const std::string cases = ZASK_SHARED_DIR "/conformance/preview-cases";
    RunResult r = run(previewArgs(cases + "/letter998.rgba"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(scratch / "out.y4m"), readFile(cases + "/zask4-pixel-light-default/expected.y4m"));
    EXPECT_EQ(readFile(scratch / "log.txt"), "");
}

TEST_F(HostDialogCommandTest, PreviewRefusesBadLetterFilesAndWritesNothing) {
    auto header = [](int32_t w, int32_t h) {
        std::string bytes(8, '\0');
        for (int i = 0; i < 4; ++i) {
            bytes[i] = static_cast<char>(static_cast<uint32_t>(w) >> (8 * i));
            bytes[4 + i] = static_cast<char>(static_cast<uint32_t>(h) >> (8 * i));
        }
        return bytes;
    };
    const struct {
        const char* name;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"negative", header(-2, 2) + std::string(16, 'x'), "negative size"},
        {"short", header(2, 2) + std::string(15, 'x'), "takes 24"},
        {"long", header(2, 2) + std::string(17, 'x'), "takes 24"},
        {"tiny", "abc", "too short"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(scratch / c.name, c.bytes);
        RunResult r = run(previewArgs((scratch / c.name).string()));
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(scratch / "out.y4m"));
    }
    RunResult missing = run(previewArgs((scratch / "missing.rgba").string()));
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
}

TEST_F(HostDialogCommandTest, PanelWritesTheSettingsBackOnlyWhenKept) {
    const struct {
        const char* script;
        int status;
        bool written;
    } cases[] = {
        {"set 150 3\nok\n", 0, true},
        {"set 150 3\nclose-keep\n", 0, true},
        {"set 150 3\ncancel\n", 0, false},
        {"set 150 3\n", 0, false},        // the script ends: the window is closed
        {"set 185 3\nok\n", 1, false},    // no such control in the main panel
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const fs::path settings = scratch / "settings.bin", scriptFile = scratch / "script.txt";
        fs::remove(settings);
        writeFile(scriptFile, c.script);
        RunResult r = run({"panel", std::string(ZASK_PLUGIN_DIR) + "/zask4.so", "0", "--ui", "script:" + scriptFile.string(),
                           "--settings", settings.string(), "--trace", (scratch / "trace.txt").string()});
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(fs::exists(settings), c.written);
        if (c.written) {
            const std::string bytes = readFile(settings);
            ASSERT_EQ(bytes.size(), 68u);
            EXPECT_EQ(bytes[40], 3);  // inScene
        }
        EXPECT_NE(readFile(scratch / "trace.txt").find("mreqCreateRequest width=422"), std::string::npos);
    }
}

TEST_F(HostDialogCommandTest, PanelRefusesBadArguments) {
    const std::string plugin = std::string(ZASK_PLUGIN_DIR) + "/zask4.so";
    writeFile(scratch / "bad-script.txt", "wiggle 3\n");
    writeFile(scratch / "short.bin", "12345");
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"panel", plugin, "4", "--ui", "script:x"}, "panel number 4"},
        {{"panel", plugin, "0"}, "is needed"},
        {{"panel", plugin, "0", "--ui", "wiggle"}, "expected script:FILE"},
        {{"panel", plugin, "0", "--ui", "gtk:" + (scratch / "nothing.txt").string()},
         standin::gtkToolkitBuilt() ? "cannot open" : "this build has no GTK toolkit"},
        {{"panel", plugin, "0", "--ui", "script:" + (scratch / "bad-script.txt").string()}, "line 1: unknown command"},
        {{"panel", plugin, "0", "--ui", "script:" + (scratch / "nothing.txt").string()}, "cannot open"},
        {{"panel", plugin, "0", "--ui", "script:" + (scratch / "bad-script.txt").string(), "--input", "a.y4m"},
         "--input and --title go together"},
    };
    for (const auto& c : cases) {
        RunResult r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST_F(HostDialogCommandTest, PresetsSaveListLoadDelete) {
    const fs::path home = scratch / "home";
    fs::create_directories(home / "programs/zask");
    std::string settings(68, '\0');
    for (int i = 0; i < 68; ++i) settings[i] = static_cast<char>(i * 3 + 1);
    writeFile(scratch / "in.bin", settings);
    const std::string kthome = "--kthome=" + home.string();
    RunResult save = run({"presets", "zask4", "save", "warm", "--settings", (scratch / "in.bin").string(), kthome});
    ASSERT_EQ(save.status, 0) << save.err;
    EXPECT_EQ(readFile(home / "programs/zask/zask4/warm"), settings);

    RunResult list = run({"presets", "zask4", "list", kthome});
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.out.find("warm"), std::string::npos);

    fs::create_directories(home / "programs/zask/zask2");
    fs::copy_file(home / "programs/zask/zask4/warm", home / "programs/zask/zask2" / "warm",
                  fs::copy_options::overwrite_existing);
    RunResult load = run({"presets", "zask2", "load", "warm", "--settings", (scratch / "out.bin").string(), kthome});
    ASSERT_EQ(load.status, 0) << load.err;
    EXPECT_EQ(readFile(scratch / "out.bin"), settings);

    RunResult missing = run({"presets", "zask4", "load", "cold", "--settings", (scratch / "x.bin").string(), kthome});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("no preset 'cold'"), std::string::npos);

    RunResult remove = run({"presets", "zask4", "delete", "warm", kthome});
    EXPECT_EQ(remove.status, 0) << remove.err;
    EXPECT_FALSE(fs::exists(home / "programs/zask/zask4/warm"));
}

}  // namespace
