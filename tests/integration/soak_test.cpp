// A long render through the host program: 100,000 fields of a small clip
// whose title changes page every 400 fields. The process's resident memory
// must stay flat, and the last page must come out as a fresh render of it.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr int frameWidth = 48, frameHeight = 24;
constexpr long long frameCount = 50000;  // 100,000 fields
constexpr int pageCount = 250;           // 400 fields a page
constexpr size_t frameBytes = static_cast<size_t>(frameWidth) * frameHeight * 3;  // C444

struct RenderRun {
    int exitStatus = -1;
    std::vector<long> residentKiB;  // sampled while it ran
};

long residentKiB(pid_t pid)
{
    std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
    long size = 0, resident = 0;
    if (!(statm >> size >> resident))
        return -1;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

RenderRun runSampled(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    RenderRun run;
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return run;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        const long kib = residentKiB(pid);
        if (kib > 0)
            run.residentKiB.push_back(kib);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

std::vector<std::string> renderArgs(const std::string& variant, const fs::path& output)
{
    std::vector<std::string> args = {ZASK_HOST_PROGRAM, "render", "--variant", variant, "--background", "gradient",
                                     "--size", std::to_string(frameWidth) + "x" + std::to_string(frameHeight),
                                     "--size", "14", "--duration", std::to_string(frameCount / 25), "--rate", "25",
                                     "--output", output.string(), "--quiet"};
    for (int page = 1; page <= pageCount; ++page) {
        args.push_back("--text");
        args.push_back("P" + std::to_string(page));
    }
    return args;
}

// Frames [first, last) of a C444 Y4M file whose frames are all frameBytes.
std::string readFrames(const fs::path& path, long long first, long long last)
{
    std::ifstream in(path, std::ios::binary);
    std::string header;
    std::getline(in, header);
    const std::streamoff frameSize = static_cast<std::streamoff>(6 + frameBytes);  // "FRAME\n" + planes
    in.seekg(static_cast<std::streamoff>(header.size() + 1) + first * frameSize);
    std::string bytes(static_cast<size_t>((last - first) * frameSize), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size()))
        return {};
    return bytes;
}

class SoakTest : public testing::TestWithParam<const char*> {};

TEST_P(SoakTest, HundredThousandFieldsStayFlatAndTheLastPageMatchesAFreshRender)
{
    const std::string variant = GetParam();
    const fs::path folder = fs::path(ZASK_TEST_OUTPUT_DIR) / "soak";
    fs::create_directories(folder);
    const fs::path whole = folder / (variant + "-whole.y4m"), last = folder / (variant + "-last-page.y4m");

    const RenderRun run = runSampled(renderArgs(variant, whole));
    ASSERT_EQ(run.exitStatus, 0);
    ASSERT_GE(run.residentKiB.size(), 20u) << "too few memory samples";
    // Flat: what the second half of the render held at most against the
    // first half, once the first tenth has settled.
    const size_t n = run.residentKiB.size();
    const long early = *std::max_element(run.residentKiB.begin() + n / 10, run.residentKiB.begin() + n / 2);
    const long late = *std::max_element(run.residentKiB.begin() + n / 2, run.residentKiB.end());
    std::printf("%s: %zu samples, resident %ld KiB at the start, %ld KiB in the first half, %ld KiB in the second\n",
                variant.c_str(), n, run.residentKiB.front(), early, late);
#ifndef ZASK_SANITIZED
    // (The sanitizer build keeps freed memory in quarantine on purpose.)
    EXPECT_LE(late - early, 256) << "resident memory grew by " << late - early << " KiB";
#endif

    // The last page on its own, in a fresh process that first replays the
    // page starts before it (zask6 draws its random scenes there).
    const long long lastPageStart = frameCount - frameCount / pageCount;
    std::vector<std::string> args = renderArgs(variant, last);
    args.insert(args.end(), {"--frames", std::to_string(lastPageStart) + ":" + std::to_string(frameCount),
                             "--render-from", "0"});
    ASSERT_EQ(runSampled(args).exitStatus, 0);
    const std::string expected = readFrames(whole, lastPageStart, frameCount);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(expected == readFrames(last, 0, frameCount - lastPageStart)) << "the last page differs";
    fs::remove(whole);
    fs::remove(last);
}

INSTANTIATE_TEST_SUITE_P(Variants, SoakTest, testing::Values("zask4", "zask6"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
