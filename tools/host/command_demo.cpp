// zask demo: one title, a built-in background, every variant; a short clip
// per variant and one contact sheet of them all.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "standin/standin_control.h"
#include "tools/host/commands.h"
#include "tools/host/contact_sheet.h"
#include "tools/host/interrupt.h"
#include "tools/host/options.h"
#include "tools/host/paths.h"
#include "tools/host/render_job.h"
#include "tools/host/settings_names.h"
#include "tools/host/text_layout.h"

namespace zask {

namespace {

const char* const helpText =
    "usage: zask demo [--output-dir DIR] [--size WxH] [--duration SECONDS]\n"
    "                 [--kthome DIR] [--quiet]\n"
    "\n"
    "Renders the title \"ZASK / TITLES\" over a drifting gradient (25 frames per\n"
    "second) with each of zask1 to zask6, which sit next to this program. Writes DIR/zaskN.mp4 (DIR/zaskN.y4m when the ffmpeg\n"
    "program is not installed) and DIR/contact-sheet.png: one row per variant,\n"
    "six frames each (their first field), labelled with their frame numbers.\n"
    "\n"
    "  --output-dir DIR  where the files go (default zask-demo; made if missing)\n"
    "  --size WxH        frame size (default 640x360)\n"
    "  --duration SECONDS  length of each clip (default 3, at least 0.5)\n"
    "  --kthome DIR      the data tree (default: $KTHOME, else the build's kthome,\n"
    "                    else the shared conformance fixtures)\n"
    "  --quiet           no progress bars\n";

const std::vector<OptionSpec> optionSpecs = {
    {"output-dir", true, false}, {"size", true, false}, {"duration", true, false},
    {"kthome", true, false},     {"quiet", false, false}};

// Settings that suit the short clip: a quick in and out, soft light, edge
// antialiasing, and a different pair of scenes for each variant.
const char* const demoSettings[] = {"shadingMode=2", "lightIntensity=40", "antialiasing=1", "thickness=2"};

}  // namespace

int runDemo(int argc, char** argv) {
    watchForInterrupts();
    ParsedOptions options;
    std::string error;
    if (!parseOptions(argc, argv, 2, optionSpecs, 0, "", options, error))
        return usageError("demo", error + " (see zask demo --help)");
    if (options.help) {
        std::fputs(helpText, stdout);
        return exitSuccess;
    }
    const std::string dir = options.has("output-dir") ? options.value("output-dir") : "zask-demo";
    struct stat info;
    if (stat(dir.c_str(), &info) != 0) {
        if (mkdir(dir.c_str(), 0755) != 0)
            return usageError("demo", dir + ": cannot create: " + std::strerror(errno));
    } else if (!S_ISDIR(info.st_mode)) {
        return usageError("demo", dir + ": not a directory");
    }
    int width = 640, height = 360;
    if (options.has("size")) {
        const std::string& size = options.value("size");
        size_t x = size.find('x');
        auto w = x == std::string::npos ? std::nullopt : parseInteger(size.substr(0, x), 32, 8192);
        auto h = x == std::string::npos ? std::nullopt : parseInteger(size.substr(x + 1), 32, 8192);
        if (!w || !h || *h % 2 != 0)
            return usageError("demo", "--size " + size + ": expected WxH, 32 to 8192 each, an even height");
        width = static_cast<int>(*w);
        height = static_cast<int>(*h);
    }
    double seconds = 3.0;
    if (options.has("duration")) {
        const std::string& d = options.value("duration");
        char* end = nullptr;
        seconds = std::strtod(d.c_str(), &end);
        if (d.empty() || *end != '\0' || !(seconds >= 0.5) || seconds > 600.0)
            return usageError("demo", "--duration " + d + ": expected seconds from 0.5 to 600");
    }
    const int frames = static_cast<int>(seconds * 25 + 0.5);
    const bool mp4 = !findFfmpeg().empty();
    auto source = makeBackground("gradient", width, height, frames, 25, 1, error);

    TextStyle style;
    style.sizePx = height * 7 / 30;
    style.colour = {255, 200, 60};
    standin::TitleSpec spec;
    if (!layoutText({{"ZASK", "TITLES"}}, style, width, height, spec, error)) return usageError("demo", error);

    std::vector<SheetRow> rows;
    int status = exitSuccess;
    for (int n = 1; n <= 6; ++n) {
        const std::string variant = "zask" + std::to_string(n);
        TitleDocument* title = standin::buildTitle(spec, error);
        if (title == nullptr) return usageError("demo", error);
        RenderJob job;
        job.pluginPath = variantPath(variant);
        job.kthome = options.has("kthome") ? options.value("kthome") : defaultKthome();
        job.title = title;
        job.source = source.get();
        job.first = 0;
        job.last = frames;
        job.clipLength = 2 * frames;
        job.quiet = options.has("quiet");
        job.progressLabel = variant;
        const std::string out = dir + "/" + variant + (mp4 ? ".mp4" : ".y4m");
        const VideoFormat format = source->format;
        job.openSink = [&](std::string& why) { return openOutput(out, format, why); };
        job.configure = [&](uint8_t* block, std::string& why) {
            for (const char* s : demoSettings)
                if (!applySetting(block, s, why)) return false;
            // In and out take a third of the clip each; the hold shows the title whole.
            const std::string scenes[] = {"inScene=" + std::to_string(n % 3), "outScene=" + std::to_string((n + 1) % 3),
                                          "randomSeed=" + std::to_string(100 + n),
                                          "inDuration=" + std::to_string(frames * 3 / 8),
                                          "outDuration=" + std::to_string(frames * 3 / 10)};
            for (const auto& s : scenes)
                if (!applySetting(block, s, why)) return false;
            return true;
        };
        std::vector<SheetCell> samples;
        // The first and last frames show only the background.
        job.sampleAt = sampleFrames(frames / 12, frames - frames / 12, 6);
        job.samples = &samples;
        std::string written;
        job.outputDescription = &written;
        int result = runRenderJob(job, error);
        standin::freeTitle(title);
        if (result == exitUsage) return usageError("demo", error);
        if (result == exitInterrupted) {
            std::fprintf(stderr, "zask demo: %s during %s; its clip and the contact sheet not written\n",
                         error.c_str(), variant.c_str());
            return exitInterrupted;
        }
        if (result != exitSuccess) {
            std::fprintf(stderr, "zask demo: %s: %s\n", variant.c_str(), error.c_str());
            status = exitFailure;
        }
        if (!written.empty()) std::printf("zask demo: wrote %s\n", written.c_str());
        rows.push_back({variant, std::move(samples)});
    }
    const std::string sheet = dir + "/contact-sheet.png";
    if (!writePng(sheet, composeSheet(rows, 200), error)) return usageError("demo", error);
    std::printf("zask demo: wrote the contact sheet %s\n", sheet.c_str());
    return status;
}

}  // namespace zask
