// zask: the stand-in host program that loads the Zask plug-ins and drives them.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/host/commands.h"

namespace zask {

namespace {

const Command commands[] = {
    {"info", "print a plug-in's descriptor: version, panels, default settings", runInfo},
    {"render", "render text (or a title document) over a clip, a picture or a background", runRender},
    {"demo", "render a sample title with each of the six plug-ins, and a contact sheet", runDemo},
    {"mkdir", "let a plug-in create its data directory under KTHOME", runMkdir},
    {"panel", "open a plug-in's settings dialog, driven by a script", runPanel},
    {"presets", "list, save, load and delete a plug-in's presets", runPresets},
    {"preview", "the rotation panel's first preview picture as a C444 Y4M frame", runPreview},
};

void printHelp(FILE* out) {
    std::fputs("usage: zask COMMAND [OPTIONS]\n"
               "\n"
               "The stand-in host for the Zask title plug-ins (zask1.so .. zask6.so).\n"
               "\n"
               "commands:\n",
               out);
    for (const auto& c : commands) std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
    std::fputs("\n"
               "'zask COMMAND --help' describes a command and its options.\n"
               "exit status: 0 success, 1 the plug-in failed, 2 bad arguments or input\n"
               "(or an output that cannot be written), 3 render --strict-images found host\n"
               "images leaked or released wrongly, 130 a render or demo interrupted\n"
               "(Ctrl-C): what it was writing is removed.\n",
               out);
}

}  // namespace

}  // namespace zask

namespace {

// What went to standard output must have arrived (a closed pipe, a full disk).
int checkStandardOutput(int status) {
    // A command that failed has said why already.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && status == zask::exitSuccess) {
        std::fprintf(stderr, "zask: standard output: cannot write: %s\n", std::strerror(errno));
        return zask::exitUsage;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace zask;
    // A closed pipe shows as a write error with a message, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    if (argc < 2) {
        printHelp(stderr);
        return exitUsage;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printHelp(stdout);
        return checkStandardOutput(exitSuccess);
    }
    for (const auto& c : commands)
        if (name == c.name) return checkStandardOutput(c.run(argc, argv));
    std::fprintf(stderr, "zask: unknown command '%s' (see zask --help)\n", name.c_str());
    return exitUsage;
}
