// zask render: a title over a clip, field by field, through one plug-in.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

#include "operator/effect_settings.h"
#include "standin/standin_control.h"
#include "tools/host/commands.h"
#include "tools/host/options.h"
#include "tools/host/output_file.h"
#include "tools/host/plugin_loader.h"
#include "tools/host/y4m.h"

namespace zask {

namespace {

const char* const helpText =
    "usage: zask render --text TEXT [--text TEXT2 ...] --output OUT [OPTIONS]\n"
    "       zask render --operator PLUGIN.so --kthome DIR --title TITLE.json\n"
    "                   --input IN.y4m --output OUT.y4m --settings SETTINGS.bin\n"
    "                   [--frames A:B] [--length FIELDS] [--draft NUM:DEN]\n"
    "                   --log LOG.txt [--strict-images]\n"
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
    {"log", true, true},      {"strict-images", false, false},
};

bool readSettings(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (bytes.size() != sizeof(EffectSettings)) {
        error = path + ": " + std::to_string(bytes.size()) + " bytes, a settings file holds exactly " +
                std::to_string(sizeof(EffectSettings));
        return false;
    }
    return true;
}

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
int runContractRender(int argc, char** argv) {
    ParsedOptions options;
    std::string error;
    if (!parseOptions(argc, argv, 2, optionSpecs, 0, "", options, error))
        return usageError("render", error + " (see zask render --help)");

    RenderSession session;
    if (!standin::openLogFile(options.value("log"), error))
        return usageError("render", options.value("log") + ": cannot create the log: " + error);

    std::vector<uint8_t> settings;
    if (!readSettings(options.value("settings"), settings, error)) return usageError("render", error);
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
    auto act = [&](uint16_t action, uint32_t position, uint8_t secondField) {
        ActionRequest r = request;
        r.action = action;
        r.position = position;
        r.flags = static_cast<uint8_t>(request.flags | secondField);
        return plugin->operatorAction(&r);
    };

    if (!writeY4mHeader(output.stream(), header)) return usageError("render", options.value("output") + ": cannot write");

    int status = exitSuccess;
    long long completed = 0;
    if (act(actionInitialise, 0, 0) == -1) {
        std::fprintf(stderr, "zask render: %s: initialisation (action 1) failed\n", operatorPath.c_str());
        status = exitFailure;
    }
    std::vector<uint8_t> frame;
    for (long long k = first; status == exitSuccess && k < last; ++k) {
        frame = standin::inputFrame(static_cast<size_t>(k));
        standin::setOutputFrame(frame.data());
        for (uint32_t p = 0; p < 2 && status == exitSuccess; ++p) {
            size_t putBefore = standin::fieldsPut();
            uint32_t position = static_cast<uint32_t>(2 * k + p);
            int32_t result = act(actionRender, position, p != 0 ? requestFlagSecondField : 0);
            if (result != 0) {
                std::fprintf(stderr, "zask render: %s: field %" PRIu32 " (frame %lld) failed with %" PRId32 "\n",
                             operatorPath.c_str(), position, k, result);
                status = exitFailure;
            } else if (standin::fieldsPut() == putBefore) {
                std::fprintf(stderr, "zask render: warning: field %" PRIu32 " reported success but was not handed back\n",
                             position);
            }
        }
        standin::setOutputFrame(nullptr);
        if (status != exitSuccess) break;
        if (!writeY4mFrame(output.stream(), frame)) {
            act(actionRelease, 0, 0);
            return usageError("render", options.value("output") + ": cannot write: " + std::strerror(errno));
        }
        ++completed;
    }
    act(actionRelease, 0, 0);

    standin::ImageCounts images = standin::imageCounts();
    bool imageProblem = images.outstanding != 0 || images.badReleases != 0;
    if (imageProblem)
        std::fprintf(stderr,
                     "zask render: warning: the plug-in left %" PRIu64 " of %" PRIu64
                     " host images unreleased and made %" PRIu64 " wrong releases\n",
                     images.outstanding, images.handedOut, images.badReleases);

    if (!output.commit(error)) return usageError("render", error);
    if (status == exitSuccess) {
        std::printf("zask render: wrote %lld frames to %s\n", completed, options.value("output").c_str());
        if (imageProblem && options.has("strict-images")) status = exitImageProblem;
    } else {
        std::fprintf(stderr, "zask render: wrote the %lld frames completed before the failure to %s\n", completed,
                     options.value("output").c_str());
    }
    return status;
}

}  // namespace

int runRender(int argc, char** argv) {
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
