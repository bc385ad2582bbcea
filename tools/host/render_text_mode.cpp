// zask render, everyday mode: text laid out with FreeType over a Y4M clip,
// any video ffmpeg reads, a still picture or a built-in background.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>

#include "operator/effect_settings.h"
#include "standin/standin_control.h"
#include "tools/host/commands.h"
#include "tools/host/contact_sheet.h"
#include "tools/host/options.h"
#include "tools/host/output_file.h"
#include "tools/host/paths.h"
#include "tools/host/plugin_loader.h"
#include "tools/host/interrupt.h"
#include "tools/host/render_job.h"
#include "tools/host/settings_names.h"
#include "tools/host/text_layout.h"

namespace zask {

const char* const textModeHelp =
    "\n"
    "Everyday mode:\n"
    "  zask render --text TEXT [--text PAGE2 ...] --output OUT [OPTIONS]\n"
    "\n"
    "Title:\n"
    "  --text TEXT           one page of the title; give it again for more pages.\n"
    "                        A newline, or the two characters \\n, breaks the line\n"
    "                        (\\\\ is a backslash)\n"
    "  --font FILE           TrueType/OpenType font (default DejaVuSans-Bold from\n"
    "                        Debian's fonts-dejavu-core)\n"
    "  --size PX             text height in pixels (default: frame height / 8)\n"
    "  --colour COLOUR       a name (white, black, red, green, blue, yellow, gold,\n"
    "                        orange, cyan, magenta, grey) or #RRGGBB (default white)\n"
    "  --align left|centre|right    lines within the block (default centre)\n"
    "  --position top|middle|bottom|ROW   where the block stands (default middle);\n"
    "                        a number is the block's top row in pixels\n"
    "Plug-in and settings:\n"
    "  --variant zaskN       the plug-in zaskN.so next to this program (default zask4)\n"
    "  --operator FILE.so    a plug-in by path instead\n"
    "  --kthome DIR          the data tree (default: $KTHOME, else the build's\n"
    "                        kthome, else the shared conformance fixtures)\n"
    "  --settings FILE       a 68-byte preset replacing the plug-in's defaults\n"
    "  --set NAME=VALUE      one setting by name, after --settings; repeatable.\n"
    "                        Names: shadingMode lightIntensity lightPosition\n"
    "                        lightColour thickness reserved5 antialiasing rotationX\n"
    "                        rotationY rotationZ inScene outScene inMirror outMirror\n"
    "                        randomSeed inDuration outDuration. Values are integers\n"
    "                        (0x... for hex, e.g. lightColour=0x7A8080FF)\n"
    "  --save-settings FILE  write the resulting 68 bytes as a preset (without\n"
    "                        --output nothing is rendered)\n"
    "Input (one of):\n"
    "  --input FILE          .y4m (4:2:0 jpeg/mpeg2/paldv, 4:2:2, 4:4:4, mono; \"-\"\n"
    "                        for standard input), .png (a still shown for\n"
    "                        --duration), or any video the ffmpeg program reads\n"
    "  --background KIND     bars, gradient or black (default gradient)\n"
    "  --size WxH            frame size of the background (default 720x576)\n"
    "  --duration SECONDS    length of a still or a background (default 5)\n"
    "  --rate N[:D]          frame rate of a still or a background (default 25)\n"
    "Output:\n"
    "  --output FILE         .y4m (the input's chroma; built-in backgrounds and\n"
    "                        stills give C444), .png (numbered frames: NAME-%04d.png,\n"
    "                        or a name with its own %d), or anything ffmpeg writes\n"
    "                        (.mp4, .mkv, ...; interlaced results are shown field\n"
    "                        by field at twice the frame rate)\n"
    "  --contact-sheet FILE.png   twelve sampled frames (their first field) with\n"
    "                        their frame numbers\n"
    "  --frames A:B, --length FIELDS, --draft NUM:DEN, --render-from F   as in\n"
    "                        the exact mode\n"
    "  --log FILE            the plug-in's log lines (they also go to stderr)\n"
    "  --quiet               no progress bar (it shows only on a terminal)\n"
    "\n"
    "Fields: It clips (and unknown order) render field 0 from the even lines;\n"
    "Ib clips are handed over one line higher, so field 0 is their odd lines\n"
    "(the top line passes through unrendered); Ip clips render both fields\n"
    "from the same frame. Colours are full-range BT.601, as the plug-ins use.\n"
    "\n"
    "Example:\n"
    "  zask render --text 'HELLO\\nWORLD' --variant zask2 --set inScene=3 \\\n"
    "              --background bars --output hello.mp4\n";

namespace {

const std::vector<OptionSpec> textSpecs = {
    {"text", true, false, true},      {"font", true, false},          {"size", true, false, true},
    {"colour", true, false},          {"color", true, false},         {"align", true, false},
    {"position", true, false},        {"variant", true, false},       {"operator", true, false},
    {"kthome", true, false},          {"settings", true, false},      {"set", true, false, true},
    {"save-settings", true, false},   {"input", true, false},         {"background", true, false},
    {"duration", true, false},        {"rate", true, false},          {"output", true, false},
    {"contact-sheet", true, false},   {"frames", true, false},        {"length", true, false},
    {"draft", true, false},           {"log", true, false},           {"quiet", false, false},
    {"render-from", true, false},
};

int fail(const std::string& message) { return usageError("render", message); }

bool parseSize(const std::string& text, int& width, int& height) {
    size_t x = text.find('x');
    if (x == std::string::npos) return false;
    auto w = parseInteger(text.substr(0, x), 2, 8192), h = parseInteger(text.substr(x + 1), 2, 8192);
    if (!w || !h) return false;
    width = static_cast<int>(*w);
    height = static_cast<int>(*h);
    return true;
}

bool savePreset(const std::string& path, const uint8_t* block, std::string& error) {
    OutputFile out;
    if (!out.open(path, error)) return false;
    if (std::fwrite(block, 1, sizeof(EffectSettings), out.stream()) != sizeof(EffectSettings)) {
        error = path + ": cannot write: " + std::strerror(errno);
        return false;
    }
    return out.commit(error);
}

struct TitleHolder {
    TitleDocument* title = nullptr;
    ~TitleHolder() { standin::freeTitle(title); }
};

}  // namespace

int runTextRender(int argc, char** argv) {
    ParsedOptions options;
    std::string error;
    if (!parseOptions(argc, argv, 2, textSpecs, 0, "", options, error))
        return fail(error + " (see zask render --help)");

    // ---- what the options say, checked before anything is read
    TextStyle style;
    int frameWidth = 720, frameHeight = 576;
    bool sizeGiven = false;
    for (const std::string& size : options.all("size")) {
        if (size.find('x') != std::string::npos) {
            if (sizeGiven || !parseSize(size, frameWidth, frameHeight))
                return fail("--size " + size + (sizeGiven ? ": the frame size is given twice"
                                                          : ": expected WxH, e.g. 720x576 (2 to 8192 each)"));
            sizeGiven = true;
        } else {
            auto px = parseInteger(size, 4, 4096);
            if (!px || style.sizePx != 0)
                return fail("--size " + size + (style.sizePx != 0 ? ": the text size is given twice"
                                                                   : ": expected a text height in pixels (4 to 4096) or WxH"));
            style.sizePx = static_cast<int>(*px);
        }
    }
    if (frameHeight % 2 != 0) return fail("--size " + std::to_string(frameWidth) + "x" + std::to_string(frameHeight) +
                                          ": the height must be even, a frame holds two fields");
    if (options.has("font")) style.fontPath = options.value("font");
    if (options.has("colour") && options.has("color")) return fail("--colour and --color given both");
    for (const char* name : {"colour", "color"})
        if (options.has(name)) {
            auto rgb = parseColour(options.value(name));
            if (!rgb) return fail(std::string("--") + name + " " + options.value(name) + ": expected #RRGGBB or one of " + colourNames());
            style.colour = *rgb;
        }
    if (options.has("align")) {
        const std::string& a = options.value("align");
        if (a == "left") style.align = Align::left;
        else if (a == "centre" || a == "center") style.align = Align::centre;
        else if (a == "right") style.align = Align::right;
        else return fail("--align " + a + ": expected left, centre or right");
    }
    if (options.has("position")) {
        style.position = options.value("position");
        if (style.position != "top" && style.position != "middle" && style.position != "bottom" &&
            !parseInteger(style.position, -32767, 32767))
            return fail("--position " + style.position + ": expected top, middle, bottom or a row in pixels");
    }
    std::string pluginPath;
    if (options.has("variant") && options.has("operator")) return fail("--variant and --operator given both");
    if (options.has("operator")) {
        pluginPath = options.value("operator");
    } else {
        std::string variant = options.has("variant") ? options.value("variant") : "zask4";
        if (variant.size() != 5 || variant.compare(0, 4, "zask") != 0 || variant[4] < '1' || variant[4] > '6')
            return fail("--variant " + variant + ": expected zask1 to zask6");
        pluginPath = variantPath(variant);
    }
    const std::vector<std::string> sets = options.all("set");
    for (const std::string& set : sets) {
        uint8_t scratch[68] = {};
        if (!applySetting(scratch, set, error)) return fail(error);
    }
    const bool renderWanted = options.has("output");
    if (!renderWanted && !options.has("save-settings"))
        return fail("missing option --output (see zask render --help)");
    if (renderWanted && options.all("text").empty())
        return fail("missing option --text: the words to render (or --title TITLE.json for the exact mode)");
    if (options.has("input") && options.has("background")) return fail("--input and --background given both");
    const bool generated = !options.has("input") || hasExtension(options.value("input"), ".png");
    if (sizeGiven && options.has("input"))
        return fail("--size " + std::to_string(frameWidth) + "x" + std::to_string(frameHeight) +
                    ": a frame size is for --background; the input has its own");
    for (const char* name : {"duration", "rate"})
        if (options.has(name) && !generated) return fail(std::string("--") + name + ": only for a still picture or --background");
    long long rateNum = 25, rateDen = 1;
    if (options.has("rate")) {
        const std::string& r = options.value("rate");
        if (r.find(':') == std::string::npos) {
            auto n = parseInteger(r, 1, 1000);
            if (!n) return fail("--rate " + r + ": expected N or N:D frames per second (1 to 1000)");
            rateNum = *n;
        } else if (!parsePair(r, 1, 1000000, rateNum, rateDen)) {
            return fail("--rate " + r + ": expected N or N:D frames per second");
        }
    }
    double seconds = 5.0;
    if (options.has("duration")) {
        const std::string& d = options.value("duration");
        char* end = nullptr;
        seconds = std::strtod(d.c_str(), &end);
        if (d.empty() || *end != '\0' || !(seconds > 0.0) || seconds > 3600.0)
            return fail("--duration " + d + ": expected seconds, more than 0 and at most 3600");
    }
    const size_t stillFrames =
        std::max<size_t>(1, static_cast<size_t>(seconds * static_cast<double>(rateNum) / static_cast<double>(rateDen) + 0.5));
    bool draft = options.has("draft");
    long long aspectNum = 1, aspectDen = 1;
    if (draft && !parsePair(options.value("draft"), 1, std::numeric_limits<int16_t>::max(), aspectNum, aspectDen))
        return fail("--draft " + options.value("draft") + ": expected NUM:DEN, two numbers from 1 to 32767");
    if (options.has("contact-sheet") && !hasExtension(options.value("contact-sheet"), ".png"))
        return fail("--contact-sheet " + options.value("contact-sheet") + ": the sheet is a .png file");

    // ---- settings only
    auto configure = [&](uint8_t* block, std::string& why) {
        if (options.has("settings") && !readPreset(options.value("settings"), block, why)) return false;
        for (const std::string& set : sets)
            if (!applySetting(block, set, why)) return false;
        if (options.has("save-settings") && !savePreset(options.value("save-settings"), block, why)) return false;
        return true;
    };

    // ---- the video in
    std::unique_ptr<VideoSource> source;
    if (renderWanted) {
        if (options.has("input"))
            source = openInput(options.value("input"), stillFrames, static_cast<int>(rateNum), static_cast<int>(rateDen), error);
        else
            source = makeBackground(options.has("background") ? options.value("background") : "gradient", frameWidth,
                                    frameHeight, stillFrames, static_cast<int>(rateNum), static_cast<int>(rateDen), error);
        if (!source) return fail(error);
    } else {
        // Only the settings are wanted: load the plug-in for its defaults.
        auto plugin = Plugin::load(pluginPath, error);
        if (!plugin) return fail(error);
        std::vector<OperatorTag> tags;
        if (!readDescriptor(plugin->getOperatorInfo(), tags, error)) return fail(pluginPath + ": " + error);
        uint8_t* block = settingsBlock(tags, error);
        if (block == nullptr) return fail(pluginPath + ": " + error);
        if (!configure(block, error)) return fail(error);
        std::printf("zask render: wrote the settings to %s\n", options.value("save-settings").c_str());
        return exitSuccess;
    }
    const long long frameCount = static_cast<long long>(source->frameCount);

    RenderJob job;
    job.pluginPath = pluginPath;
    job.kthome = options.has("kthome") ? options.value("kthome") : defaultKthome();
    job.source = source.get();
    job.first = 0;
    job.last = frameCount;
    if (options.has("frames")) {
        const std::string& text = options.value("frames");
        if (!parsePair(text, 0, std::numeric_limits<int32_t>::max(), job.first, job.last))
            return fail("--frames " + text + ": expected A:B, two frame numbers");
        if (job.first >= job.last || job.last > frameCount)
            return fail("--frames " + text + " is outside the clip of " + std::to_string(frameCount) + " frames (0:" +
                        std::to_string(frameCount) + " is all of it)");
    }
    job.renderFrom = job.first;
    if (options.has("render-from")) {
        auto from = parseInteger(options.value("render-from"), 0, job.first);
        if (!from)
            return fail("--render-from " + options.value("render-from") + ": expected a frame number from 0 to " +
                        std::to_string(job.first) + " (the first frame rendered)");
        job.renderFrom = *from;
    }
    job.clipLength = static_cast<uint32_t>(2 * frameCount);
    if (options.has("length")) {
        auto length = parseInteger(options.value("length"), 1, std::numeric_limits<uint32_t>::max());
        if (!length) return fail("--length " + options.value("length") + ": expected a number of fields from 1");
        job.clipLength = static_cast<uint32_t>(*length);
    }
    job.draft = draft;
    job.aspectNum = static_cast<int16_t>(aspectNum);
    job.aspectDen = static_cast<int16_t>(aspectDen);
    job.logPath = options.has("log") ? options.value("log") : "";
    job.quiet = options.has("quiet");
    job.configure = configure;

    // ---- the title
    std::vector<std::vector<std::string>> pages;
    for (const std::string& text : options.all("text")) pages.push_back(splitLines(text));
    standin::TitleSpec spec;
    if (!layoutText(pages, style, source->format.width, source->format.height, spec, error)) return fail(error);
    TitleHolder title;
    title.title = standin::buildTitle(spec, error);
    if (title.title == nullptr) return fail("the laid-out title: " + error);
    job.title = title.title;

    const std::string outputPath = options.value("output");
    const VideoFormat format = source->format;
    job.openSink = [&](std::string& why) { return openOutput(outputPath, format, why); };
    std::vector<SheetCell> samples;
    if (options.has("contact-sheet")) {
        job.sampleAt = sampleFrames(job.first, job.last, 12);
        job.samples = &samples;
    }
    std::string written;
    job.outputDescription = &written;
    int status = runRenderJob(job, error);
    if (status == exitUsage) return fail(error);
    if (status == exitInterrupted) {
        std::fprintf(stderr, "zask render: %s; %s not written\n", error.c_str(),
                     outputPath == "-" ? "the rest of standard output" : outputPath.c_str());
        return status;
    }
    if (status != exitSuccess) std::fprintf(stderr, "zask render: %s\n", error.c_str());
    // With the video on standard output, messages go to standard error.
    FILE* messages = outputPath == "-" ? stderr : stdout;
    if (!written.empty())
        std::fprintf(messages, "zask render: wrote %s%s\n", written.c_str(),
                     status == exitSuccess ? "" : " (up to the failure)");
    if (options.has("contact-sheet") && !samples.empty()) {
        std::vector<SheetRow> rows;
        for (size_t i = 0; i < samples.size(); ++i) {
            if (i % 4 == 0) rows.emplace_back();
            rows.back().cells.push_back(std::move(samples[i]));
        }
        const std::string& sheet = options.value("contact-sheet");
        if (!writePng(sheet, composeSheet(rows, 240), error)) return fail(error);
        std::fprintf(messages, "zask render: wrote the contact sheet %s\n", sheet.c_str());
    }
    return status;
}

}  // namespace zask
