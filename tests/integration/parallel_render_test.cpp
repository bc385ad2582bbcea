// render --jobs N: the same output, log and status as one process, for the
// random variant across page changes and for a render that fails part way.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Outcome {
    int status;
    std::string output, log;
};

Outcome render(const std::string& caseName, const std::string& variant, const std::string& frames,
               const std::string& length, int jobs, const std::string& extra = "")
{
    const fs::path cases = fs::path(ZASK_SHARED_DIR) / "conformance/cases" / caseName;
    const fs::path dir = fs::path(ZASK_TEST_OUTPUT_DIR) / "parallel_render" / (caseName + "-" + std::to_string(jobs) + "-" + frames.substr(0, frames.find(':')));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string command =
        std::string(ZASK_HOST_PROGRAM) + " render --operator " + ZASK_PLUGIN_DIR + "/" + variant + ".so" +
        " --kthome " + ZASK_SHARED_DIR + "/conformance/kthome-a --title " + (cases / "title.json").string() +
        " --input " + (cases / "../../inputs" / (caseName == "zask6-seed100-pages" ? "noise.y4m" : "gradient.y4m")).string() +
        " --output " + (dir / "out.y4m").string() + " --settings " + (cases / "settings.bin").string() +
        " --frames " + frames + " --length " + length + " --log " + (dir / "log.txt").string() +
        " --jobs " + std::to_string(jobs) + " " + extra + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir / "out.y4m"), readFile(dir / "log.txt")};
}

TEST(ParallelRenderTest, RandomScenesAcrossPagesAreTheSerialOnes)
{
    // Three pages over 36 fields; the ranges of four processes start inside pages.
    const Outcome serial = render("zask6-seed100-pages", "zask6", "0:18", "36", 1);
    ASSERT_EQ(serial.status, 0);
    ASSERT_FALSE(serial.output.empty());
    for (int jobs : {2, 4, 7}) {
        const Outcome parallel = render("zask6-seed100-pages", "zask6", "0:18", "36", jobs);
        EXPECT_EQ(parallel.status, 0) << jobs;
        EXPECT_TRUE(parallel.output == serial.output) << jobs << " processes";
        EXPECT_EQ(parallel.log, serial.log) << jobs;
    }
}

TEST(ParallelRenderTest, AFailureEndsTheOutputWhereTheSerialRenderStops)
{
    // The sixth page change draws a scene that has no file.
    const Outcome serial = render("zask6-seed662-scene51", "zask6", "0:12", "32", 1);
    ASSERT_EQ(serial.status, 1);
    ASSERT_FALSE(serial.log.empty());
    const Outcome parallel = render("zask6-seed662-scene51", "zask6", "0:12", "32", 3);
    EXPECT_EQ(parallel.status, 1);
    EXPECT_TRUE(parallel.output == serial.output);
    EXPECT_EQ(parallel.log, serial.log);
}

// Parts rendered apart (as on several machines) and joined: the first part's
// header, every part's frames in order, the logs one after the other.
TEST(ParallelRenderTest, PartsRenderedApartJoinIntoTheWholeRender)
{
    const Outcome whole = render("zask6-seed100-pages", "zask6", "0:18", "36", 1);
    ASSERT_EQ(whole.status, 0);
    const Outcome parts[] = {render("zask6-seed100-pages", "zask6", "0:7", "36", 1),
                             render("zask6-seed100-pages", "zask6", "7:13", "36", 1, "--render-from 0"),
                             render("zask6-seed100-pages", "zask6", "13:18", "36", 2, "--render-from 0")};
    std::string joined, log;
    for (const Outcome& part : parts) {
        ASSERT_EQ(part.status, 0);
        const size_t headerEnd = part.output.find('\n') + 1;
        joined += joined.empty() ? part.output : part.output.substr(headerEnd);
        log += part.log;
    }
    EXPECT_TRUE(joined == whole.output);
    EXPECT_EQ(log, whole.log);
}

}  // namespace
