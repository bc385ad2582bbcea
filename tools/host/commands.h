// The host program's commands, one file each. Every command takes the whole
// argv with argv[1] being its own name and returns the exit status.
#pragma once

#include <string>

namespace zask {

// Exit statuses shared by every command.
enum ExitStatus : int {
    exitSuccess = 0,
    exitFailure = 1,       // the operator failed (render) or did not do its job
    exitUsage = 2,         // bad arguments or bad input files
    exitImageProblem = 3,  // render --strict-images: images leaked or released wrongly
    exitInterrupted = 130, // a render stopped by Ctrl-C, SIGTERM or SIGHUP; its output not written
};

struct Command {
    const char* name;
    const char* summary;
    int (*run)(int argc, char** argv);
};

int runInfo(int argc, char** argv);
int runRender(int argc, char** argv);
int runMkdir(int argc, char** argv);
int runPanel(int argc, char** argv);
int runPresets(int argc, char** argv);
int runPreview(int argc, char** argv);
int runDemo(int argc, char** argv);

// render without --title: text laid out with a font, any video in and out.
int runTextRender(int argc, char** argv);
extern const char* const textModeHelp;

// Prints "zask COMMAND: message" on standard error and returns exitUsage.
int usageError(const char* command, const std::string& message);

}  // namespace zask
