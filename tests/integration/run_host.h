// Runs the built host program as a user would and captures what it says.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zask_test {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// An empty folder of its own for the running test: GROUP/SUITE_NAME under
// the build's test output.
inline std::filesystem::path freshTestFolder(const std::string& group) {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    const std::filesystem::path dir = std::filesystem::path(ZASK_TEST_OUTPUT_DIR) / group / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// How the program's surroundings misbehave.
struct Surroundings {
    // Files may grow to this many bytes at most (0: no limit): a full disk,
    // as the program sees it (writes fail with EFBIG).
    rlim_t fileSizeLimit = 0;
    // Standard output is a pipe whose reader has gone.
    bool closedPipe = false;
};

// Starts the host program with the arguments, both streams captured in files
// of the scratch folder; returns its process id.
inline pid_t startHost(const std::vector<std::string>& args, const std::filesystem::path& scratch,
                       const Surroundings& around = {}) {
    std::filesystem::path outPath = scratch / "stdout.txt", errPath = scratch / "stderr.txt";
    int pipeEnds[2] = {-1, -1};
    if (around.closedPipe && pipe(pipeEnds) == 0) close(pipeEnds[0]);
    pid_t pid = fork();
    if (pid == 0) {
        int out = around.closedPipe ? pipeEnds[1] : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        if (around.fileSizeLimit != 0) {
            std::signal(SIGXFSZ, SIG_IGN);  // kept across exec: the write fails instead
            rlimit limit{around.fileSizeLimit, around.fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(ZASK_HOST_PROGRAM));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(ZASK_HOST_PROGRAM, argv.data());
        _exit(127);
    }
    if (around.closedPipe) close(pipeEnds[1]);
    return pid;
}

// Waits for a program started with startHost and collects what it said.
inline RunResult finishHost(pid_t pid, const std::filesystem::path& scratch) {
    RunResult result;
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readFile(scratch / "stdout.txt");
    result.err = readFile(scratch / "stderr.txt");
    return result;
}

// Runs the host program with the arguments, capturing both streams in files
// of the scratch folder.
inline RunResult runHost(const std::vector<std::string>& args, const std::filesystem::path& scratch,
                         const Surroundings& around = {}) {
    if (around.closedPipe) std::filesystem::remove(scratch / "stdout.txt");
    return finishHost(startHost(args, scratch, around), scratch);
}

}  // namespace zask_test
