// zask render: a title over a clip, field by field, through one plug-in.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <optional>
#include <sstream>

#include "operator/effect_settings.h"
#include "standin/standin_control.h"
#include "tools/host/commands.h"
#include "tools/host/interrupt.h"
#include "tools/host/dialog_host.h"
#include "tools/host/options.h"
#include "tools/host/output_file.h"
#include "tools/host/plugin_loader.h"
#include "tools/host/render_job.h"
#include "tools/host/y4m.h"

namespace zask {

namespace {

const char* const helpText =
    "usage: zask render --text TEXT [--text TEXT2 ...] --output OUT [OPTIONS]\n"
    "       zask render --operator PLUGIN.so --kthome DIR --title TITLE.json\n"
    "                   --input IN.y4m --output OUT.y4m --settings SETTINGS.bin\n"
    "                   [--frames A:B] [--length FIELDS] [--draft NUM:DEN]\n"
    "                   --log LOG.txt [--strict-images] [--jobs N]\n"
    "\n"
    "Renders a title over a clip with a plug-in. With --title it is the exact\n"
    "mode below (C444 in and out, every option required); without it, the\n"
    "everyday mode described after it.\n"
    "\n"
    "Exact mode:\n"
    "  --operator PLUGIN.so  the plug-in (zask1.so .. zask6.so)\n"
    "  --kthome DIR          data tree with programs/zask/objects and scenes;\n"
    "                        exported as KTHOME before the render starts\n"
    "  --title TITLE.json    title document: pages of boxes of lines of characters,\n"
    "                        each character with its own picture\n"
    "  --input IN.y4m        YUV4MPEG2 clip, C444, even frame height\n"
    "  --output OUT.y4m      result: the input's header line, then frames A to B-1,\n"
    "                        each after a plain FRAME line; written to a temporary\n"
    "                        file and renamed into place\n"
    "  --settings FILE       the 68-byte settings record copied over the plug-in's\n"
    "                        defaults\n"
    "  --frames A:B          render frames A to B-1 only (default: all frames)\n"
    "  --length FIELDS       effect length in fields (default: 2 x frame count)\n"
    "  --draft NUM:DEN       draft render with pixel aspect NUM:DEN (default: full\n"
    "                        render, aspect 1:1)\n"
    "  --log LOG.txt         every log message of the plug-in, one line each; also\n"
    "                        echoed to standard error. Created even when empty.\n"
    "  --jobs N              split the frames over N processes, each with its own\n"
    "                        copy of the plug-in; the output and the log are the\n"
    "                        same bytes as with one process (default 1)\n"
    "  --render-from F       these frames are part of a render that starts at frame\n"
    "                        F (default A): the plug-in first replays, silently, the\n"
    "                        page starts from F on, so that parts rendered apart\n"
    "                        (on several machines) join into that render's bytes\n"
    "  --fail CALL:N         make the N-th call of a host function fail, to try the\n"
    "                        plug-in's failure paths: opGetField, opAllocImage,\n"
    "                        mtCreateLineImage, mtBoundingBox or mtPenPosition,\n"
    "                        or 'allocation': the plug-in's own working\n"
    "                        allocations (render buffers, letter entries)\n"
    "                        (with --jobs, in every process)\n"
    "  --strict-images       exit with status 3 instead of only warning when a\n"
    "                        successful render leaves host images unreleased or\n"
    "                        releases one twice or through the wrong function\n"
    "\n"
    "For each frame k the plug-in renders field 2k (even lines) then 2k+1 (odd\n"
    "lines). When the plug-in fails, the frames completed before the failing one\n"
    "are written.\n"
    "\n"
    "exit status: 0 rendered, 1 the plug-in failed (action 1 or 3 returned -1),\n"
    "2 bad arguments or input files, 3 image problems with --strict-images.\n";

const std::vector<OptionSpec> optionSpecs = {
    {"operator", true, true}, {"kthome", true, true},  {"title", true, true},
    {"input", true, true},    {"output", true, true},  {"settings", true, true},
    {"frames", true, false},  {"length", true, false}, {"draft", true, false},
    {"log", true, true},      {"strict-images", false, false}, {"jobs", true, false},
    {"render-from", true, false}, {"fail", true, false},
};

// Owns the parts of a render that must be undone on every way out.
struct RenderSession {
    TitleDocument* title = nullptr;
    ~RenderSession() {
        standin::setOutputFrame(nullptr);
        standin::clearInputClip();
        standin::resetImages();
        standin::closeLogFile();
        standin::freeTitle(title);
    }
};

// The exact mode, with a title document, as the conformance cases run it.
// What rendering a range of frames came to.
struct RangeResult {
    bool failed = false;        // action 1 or 3 returned -1
    bool writeFailed = false;
    bool interrupted = false;   // Ctrl-C and the like
    long long completed = 0;    // frames rendered and written before a failure
    standin::ImageCounts images;
};

using ActFunction = std::function<int32_t(uint16_t, uint32_t, uint8_t)>;

// Action 1, frames first .. last - 1 (each as its two fields, handed to sink),
// action 2. `replay`, when given, runs after action 1: a range that is part of a
// longer render first replays what that render did before it (replayPageStarts).
RangeResult renderRange(const ActFunction& act, const std::string& operatorPath, long long first, long long last,
                        const std::function<bool(const std::vector<uint8_t>&)>& sink,
                        const std::function<bool()>& replay = nullptr) {
    RangeResult result;
    standin::resetImages();
    if (act(actionInitialise, 0, 0) == -1) {
        std::fprintf(stderr, "zask render: %s: initialisation (action 1) failed\n", operatorPath.c_str());
        result.failed = true;
    }
    if (!result.failed && replay && !replay()) result.failed = true;
    std::vector<uint8_t> frame;
    for (long long k = first; !result.failed && k < last; ++k) {
        if (interrupted()) {
            result.interrupted = true;
            break;
        }
        frame = standin::inputFrame(static_cast<size_t>(k));
        standin::setOutputFrame(frame.data());
        for (uint32_t p = 0; p < 2 && !result.failed; ++p) {
            size_t putBefore = standin::fieldsPut();
            uint32_t position = static_cast<uint32_t>(2 * k + p);
            int32_t status = act(actionRender, position, p != 0 ? requestFlagSecondField : 0);
            if (status != 0) {
                std::fprintf(stderr, "zask render: %s: field %" PRIu32 " (frame %lld) failed with %" PRId32 "\n",
                             operatorPath.c_str(), position, k, status);
                result.failed = true;
            } else if (standin::fieldsPut() == putBefore) {
                std::fprintf(stderr, "zask render: warning: field %" PRIu32 " reported success but was not handed back\n",
                             position);
            }
        }
        standin::setOutputFrame(nullptr);
        if (result.failed) break;
        if (!sink(frame)) {
            result.writeFailed = true;
            break;
        }
        ++result.completed;
    }
    act(actionRelease, 0, 0);
    result.images = standin::imageCounts();
    return result;
}

// Renders, silently, the page starts a render from frame `first` went through
// before frame `start` (pageStartFields).
bool replayPageStarts(const ActFunction& act, uint32_t pageCount, uint32_t clipLength, long long first,
                      long long start) {
    const std::vector<uint32_t> fields = pageStartFields(pageCount, clipLength, first, start);
    if (fields.empty()) return true;
    std::vector<uint8_t> scratch(standin::inputFrame(0).size());
    standin::setLogMuted(true);
    bool ok = true;
    for (size_t i = 0; ok && i < fields.size(); ++i) {
        standin::setOutputFrame(scratch.data());
        ok = act(actionRender, fields[i], (fields[i] & 1) != 0 ? requestFlagSecondField : 0) == 0;
        standin::setOutputFrame(nullptr);
    }
    standin::setLogMuted(false);
    return ok;
}

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Splits frames first .. last - 1 into `jobs` ranges, renders each in a child
// process with its own copy of the plug-in, and joins frames and log lines in
// order up to the first failing range, which is where a serial render stops.
RangeResult renderInProcesses(const ActFunction& act, const std::string& operatorPath, uint32_t pageCount,
                              uint32_t clipLength, long long renderFrom, long long first, long long last, int jobs,
                              OutputFile& output,
                              const std::string& logPath, std::string& error) {
    const long long frames = last - first;
    jobs = static_cast<int>(std::min<long long>(jobs, frames));
    char pattern[] = "/tmp/zask-render-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        error = std::string("cannot make a folder for the render processes: ") + std::strerror(errno);
        return {};
    }
    const std::string folder = pattern;
    auto workerFile = [&](int w, const char* kind) { return folder + "/" + std::to_string(w) + "." + kind; };
    const size_t frameBytes = standin::inputFrame(0).size();

    // Nothing buffered may be written twice by the children.
    std::fflush(stdout);
    std::fflush(stderr);
    std::fflush(output.stream());
    std::vector<pid_t> children;
    for (int w = 0; w < jobs; ++w) {
        const long long start = first + frames * w / jobs, end = first + frames * (w + 1) / jobs;
        const pid_t pid = fork();
        if (pid < 0) {
            error = std::string("cannot start a render process: ") + std::strerror(errno);
            break;
        }
        if (pid == 0) {
            std::string ignored;
            standin::closeLogFile();
            standin::openLogFile(workerFile(w, "log"), ignored);
            std::ofstream out(workerFile(w, "frames"), std::ios::binary);
            RangeResult r = renderRange(
                act, operatorPath, start, end,
                [&](const std::vector<uint8_t>& frame) {
                    out.write(reinterpret_cast<const char*>(frame.data()), static_cast<std::streamsize>(frame.size()));
                    return static_cast<bool>(out);
                },
                [&] { return replayPageStarts(act, pageCount, clipLength, renderFrom, start); });
            // A part that cannot be written (a full disk) ends the process
            // with 64 + the reason, for the parent's message.
            if (r.writeFailed || !out) _exit(64 + (errno > 0 && errno < 64 ? errno : EIO));
            out.close();
            if (!out) _exit(64 + (errno > 0 && errno < 64 ? errno : EIO));
            standin::closeLogFile();
            std::ofstream summary(workerFile(w, "result"));
            if (r.interrupted) _exit(exitInterrupted);
            summary << (r.failed ? 1 : 0) << ' ' << (r.writeFailed || !out ? 1 : 0) << ' ' << r.completed << ' '
                    << r.images.handedOut << ' ' << r.images.takenBack << ' ' << r.images.outstanding << ' '
                    << r.images.badReleases << '\n';
            summary.close();
            std::fflush(stderr);
            _exit(summary ? 0 : 64 + (errno > 0 && errno < 64 ? errno : EIO));
        }
        children.push_back(pid);
    }
    bool allExited = error.empty();
    bool stopped = false;
    for (pid_t pid : children) {
        int status = 0;
        pid_t waited;
        while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
            if (interrupted() && !stopped) {
                // Each process stops at its next frame.
                for (pid_t child : children) kill(child, SIGTERM);
                stopped = true;
            }
        }
        if (waited != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) allExited = false;
        if (waited == pid && WIFEXITED(status) && WEXITSTATUS(status) >= 64 && WEXITSTATUS(status) < 128 &&
            error.empty())
            error = "a render process cannot write its part of the render in " + folder + ": " +
                    std::strerror(WEXITSTATUS(status) - 64);
    }
    auto removeParts = [&] {
        for (int w = 0; w < jobs; ++w)
            for (const char* kind : {"log", "frames", "result"}) std::remove(workerFile(w, kind).c_str());
        rmdir(folder.c_str());
    };
    if (!error.empty()) {
        removeParts();
        return {};
    }
    if (interrupted()) {
        removeParts();
        RangeResult stoppedResult;
        stoppedResult.interrupted = true;
        return stoppedResult;
    }

    RangeResult joined;
    if (allExited) {
        standin::closeLogFile();
        std::ofstream log(logPath, std::ios::binary | std::ios::app);
        for (int w = 0; w < jobs && error.empty(); ++w) {
            std::istringstream summary(readWhole(workerFile(w, "result")));
            int failed = 0, writeFailed = 0;
            long long completed = 0;
            standin::ImageCounts images;
            summary >> failed >> writeFailed >> completed >> images.handedOut >> images.takenBack >> images.outstanding >>
                images.badReleases;
            if (!summary || writeFailed) {
                error = "render process " + std::to_string(w + 1) + " could not write its part in " + folder;
                break;
            }
            log << readWhole(workerFile(w, "log"));
            const std::string bytes = readWhole(workerFile(w, "frames"));
            for (long long f = 0; f < completed; ++f) {
                std::vector<uint8_t> frame(bytes.begin() + static_cast<std::ptrdiff_t>(f * frameBytes),
                                           bytes.begin() + static_cast<std::ptrdiff_t>((f + 1) * frameBytes));
                if (!writeY4mFrame(output.stream(), frame)) {
                    error = "cannot write the output";
                    break;
                }
            }
            joined.completed += completed;
            joined.images.handedOut += images.handedOut;
            joined.images.takenBack += images.takenBack;
            joined.images.outstanding += images.outstanding;
            joined.images.badReleases += images.badReleases;
            if (failed) {
                joined.failed = true;
                break;
            }
        }
        if (!log) error = logPath + ": cannot write the log";
    } else if (error.empty()) {
        error = "a render process ended abnormally (its part is in " + folder + ")";
    }
    if (error.empty()) removeParts();
    return joined;
}

int runContractRender(int argc, char** argv) {
    ParsedOptions options;
    std::string error;
    if (!parseOptions(argc, argv, 2, optionSpecs, 0, "", options, error))
        return usageError("render", error + " (see zask render --help)");

    RenderSession session;
    if (!standin::openLogFile(options.value("log"), error))
        return usageError("render", options.value("log") + ": cannot create the log: " + error);

    std::vector<uint8_t> settings;
    if (!readSettingsFile(options.value("settings"), settings, error)) return usageError("render", error);
    session.title = standin::loadTitleFile(options.value("title"), error);
    if (session.title == nullptr) return usageError("render", error);
    Y4mClip clip;
    if (!readY4m(options.value("input"), clip, error)) return usageError("render", error);
    const long long frameCount = static_cast<long long>(clip.frames.size());

    long long first = 0, last = frameCount;
    if (options.has("frames")) {
        const std::string& text = options.value("frames");
        if (!parsePair(text, 0, std::numeric_limits<int32_t>::max(), first, last))
            return usageError("render", "--frames " + text + ": expected A:B, two frame numbers");
        if (first >= last || last > frameCount)
            return usageError("render", "--frames " + text + " is outside the clip " + options.value("input") +
                                            " of " + std::to_string(frameCount) + " frames (0:" +
                                            std::to_string(frameCount) + " is all of it)");
    }
    uint32_t clipLength = static_cast<uint32_t>(2 * frameCount);
    if (options.has("length")) {
        auto length = parseInteger(options.value("length"), 1, std::numeric_limits<uint32_t>::max());
        if (!length) return usageError("render", "--length " + options.value("length") + ": expected a number of fields from 1");
        clipLength = static_cast<uint32_t>(*length);
    }
    bool draft = options.has("draft");
    long long aspectNum = 1, aspectDen = 1;
    if (draft && !parsePair(options.value("draft"), 1, std::numeric_limits<int16_t>::max(), aspectNum, aspectDen))
        return usageError("render", "--draft " + options.value("draft") + ": expected NUM:DEN, two numbers from 1 to 32767");

    const std::string& operatorPath = options.value("operator");
    auto plugin = Plugin::load(operatorPath, error);
    if (!plugin) return usageError("render", error);
    std::vector<OperatorTag> tags;
    if (!readDescriptor(plugin->getOperatorInfo(), tags, error)) return usageError("render", operatorPath + ": " + error);
    uint8_t* block = settingsBlock(tags, error);
    if (block == nullptr) return usageError("render", operatorPath + ": " + error);
    std::memcpy(block, settings.data(), settings.size());

    OutputFile output;
    if (!output.open(options.value("output"), error)) return usageError("render", error);

    setenv("KTHOME", options.value("kthome").c_str(), 1);
    const int width = clip.width, height = clip.height;
    std::string header = clip.header;
    std::vector<standin::PlanarFrame> inputFrames = std::move(clip.frames);
    standin::setInputClip(width, height, std::move(inputFrames));
    standin::resetImages();
    standin::resetCounters();

    ActionRequest request{};
    request.flags = draft ? requestFlagDraft : 0;
    request.clipLength = clipLength;
    request.aspectNum = static_cast<int16_t>(aspectNum);
    request.aspectDen = static_cast<int16_t>(aspectDen);
    request.title = session.title;
    ActFunction act = [&](uint16_t action, uint32_t position, uint8_t secondField) {
        ActionRequest r = request;
        r.action = action;
        r.position = position;
        r.flags = static_cast<uint8_t>(request.flags | secondField);
        return plugin->operatorAction(&r);
    };

    if (!writeY4mHeader(output.stream(), header)) return usageError("render", options.value("output") + ": cannot write");

    long long jobs = 1;
    if (options.has("jobs")) {
        auto value = parseInteger(options.value("jobs"), 1, 64);
        if (!value) return usageError("render", "--jobs " + options.value("jobs") + ": expected a number from 1 to 64");
        jobs = *value;
    }

    if (options.has("fail")) {
        const std::string& text = options.value("fail");
        const size_t colon = text.find(':');
        standin::HostCall call;
        auto n = colon == std::string::npos ? std::nullopt
                                            : parseInteger(text.substr(colon + 1), 1, std::numeric_limits<int32_t>::max());
        if (colon == std::string::npos || !standin::parseHostCall(text.substr(0, colon), call) || !n)
            return usageError("render", "--fail " + text +
                                            ": expected CALL:N, CALL one of opGetField, opAllocImage, "
                                            "mtCreateLineImage, mtBoundingBox, mtPenPosition, allocation; N from 1");
        standin::failNthCall(call, static_cast<uint64_t>(*n));
    }

    long long renderFrom = first;
    if (options.has("render-from")) {
        auto value = parseInteger(options.value("render-from"), 0, first);
        if (!value)
            return usageError("render", "--render-from " + options.value("render-from") +
                                            ": expected a frame number from 0 to the first frame rendered, " +
                                            std::to_string(first));
        renderFrom = *value;
    }

    RangeResult result;
    if (jobs > 1 && last - first > 1) {
        result = renderInProcesses(act, operatorPath, session.title->pageCount, clipLength, renderFrom, first, last,
                                   static_cast<int>(jobs), output, options.value("log"), error);
        if (!error.empty()) return usageError("render", error);
    } else {
        result = renderRange(
            act, operatorPath, first, last,
            [&](const std::vector<uint8_t>& frame) { return writeY4mFrame(output.stream(), frame); },
            [&] { return replayPageStarts(act, session.title->pageCount, clipLength, renderFrom, first); });
        if (result.writeFailed)
            return usageError("render", (options.value("output") == "-" ? std::string("standard output")
                                                                          : options.value("output")) +
                                            ": cannot write: " + std::strerror(errno));
    }
    if (result.interrupted) {
        std::fprintf(stderr, "zask render: %s; %s not written\n", interruptDescription(),
                     options.value("output") == "-" ? "the rest of standard output" : options.value("output").c_str());
        return exitInterrupted;  // the unfinished output file is removed
    }
    int status = result.failed ? exitFailure : exitSuccess;
    const long long completed = result.completed;

    standin::ImageCounts images = result.images;
    bool imageProblem = images.outstanding != 0 || images.badReleases != 0;
    if (imageProblem)
        std::fprintf(stderr,
                     "zask render: warning: the plug-in left %" PRIu64 " of %" PRIu64
                     " host images unreleased and made %" PRIu64 " wrong releases\n",
                     images.outstanding, images.handedOut, images.badReleases);

    if (!output.commit(error)) return usageError("render", error);
    if (status == exitSuccess) {
        // With the video on standard output, messages go to standard error.
        std::fprintf(options.value("output") == "-" ? stderr : stdout, "zask render: wrote %lld frames to %s\n",
                     completed, options.value("output").c_str());
        if (imageProblem && options.has("strict-images")) status = exitImageProblem;
    } else {
        std::fprintf(stderr, "zask render: wrote the %lld frames completed before the failure to %s\n", completed,
                     options.value("output").c_str());
    }
    return status;
}

}  // namespace

int runRender(int argc, char** argv) {
    watchForInterrupts();
    bool title = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(helpText, stdout);
            std::fputs(textModeHelp, stdout);
            return exitSuccess;
        }
        if (arg == "--title" || arg.rfind("--title=", 0) == 0) title = true;
    }
    return title ? runContractRender(argc, argv) : runTextRender(argc, argv);
}

}  // namespace zask
