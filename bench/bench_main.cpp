// zask-bench: fields per second of the plug-ins at real video sizes, and the
// ratios that say whether a render keeps up with the video.
//
// Every scenario loads a plug-in the way the host does and renders fields of a
// generated clip with a 20-letter title (two lines) through the stand-in host.
#include <dlfcn.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "host/operator_interface.h"
#include "bench/bench_inputs.h"
#include "standin/standin_control.h"

namespace {

// Time spent on this thread's processor: other work on the machine does not
// count, so ratios of one run stay comparable on a busy machine.
double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Options {
    std::string pluginDir = ZASK_PLUGIN_DIR;
    std::string kthome = ZASK_DEFAULT_KTHOME;
    std::string variant = "zask4";
    double seconds = 1.0;          // measuring time per scenario
    bool quick = false;            // the three ratio scenarios at 1080i only
    std::string only;              // one scenario by name, for profiling
};

struct Scenario {
    std::string name;
    int width, height;     // frame size
    int aa;                // 0, 4, 8
    int shading;           // 0, 1, 2
    bool hold;             // hold phase instead of in phase
    bool inkless;          // letters that draw nothing: the pass-through floor
    bool draft;
};

struct Result {
    double msPerField;
    int fields;
};

struct Plugin {
    void* handle = nullptr;
    GetOperatorInfoFunction getInfo = nullptr;
    OperatorActionFunction action = nullptr;
};

bool loadPlugin(const std::string& path, Plugin& plugin)
{
    plugin.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (plugin.handle == nullptr) {
        std::fprintf(stderr, "zask-bench: %s\n", dlerror());
        return false;
    }
    plugin.getInfo = reinterpret_cast<GetOperatorInfoFunction>(dlsym(plugin.handle, "GetOperatorInfo"));
    plugin.action = reinterpret_cast<OperatorActionFunction>(dlsym(plugin.handle, "OperatorAction"));
    if (plugin.getInfo == nullptr || plugin.action == nullptr) {
        std::fprintf(stderr, "zask-bench: %s lacks the entry points\n", path.c_str());
        return false;
    }
    return true;
}

int32_t* settingsBlock(OperatorInfo* info)
{
    for (OperatorTag* tag = info; tag->tag != tagEnd; ++tag)
        if (tag->tag == tagSettings)
            return static_cast<int32_t*>(reinterpret_cast<SettingsDescriptor*>(tag->value)->block);
    return nullptr;
}

constexpr uint32_t clipLength = 400;   // fields; the in phase is fields 0 .. 99

Result runScenario(const Options& options, const Scenario& s)
{
    Plugin plugin;
    if (!loadPlugin(options.pluginDir + "/" + options.variant + ".so", plugin))
        std::exit(2);
    int32_t* settings = settingsBlock(plugin.getInfo());
    settings[0] = s.shading;
    settings[6] = s.aa == 0 ? 0 : (s.aa == 4 ? 1 : 2);
    settings[10] = 2;   // a tumbling scene
    settings[11] = 2;

    std::vector<standin::PlanarFrame> frames;
    for (int f = 0; f < 4; ++f)
        frames.push_back(zask_bench::backgroundFrame(s.width, s.height, f));
    std::vector<uint8_t> output(static_cast<size_t>(s.width) * s.height * 3);
    std::string error;
    TitleDocument* title = standin::parseTitle(zask_bench::titleJson(s.width, s.height, s.inkless), error);
    if (title == nullptr) {
        std::fprintf(stderr, "zask-bench: title: %s\n", error.c_str());
        std::exit(2);
    }

    ActionRequest request{};
    request.action = actionInitialise;
    if (plugin.action(&request) != 0) {
        std::fprintf(stderr, "zask-bench: initialisation failed\n");
        std::exit(1);
    }
    // In phase: positions 40 .. 47 keep every letter in flight; hold: 200 ..
    const uint32_t first = s.hold ? 200 : 40;
    auto renderOne = [&](int n) {
        ActionRequest r{};
        r.action = actionRender;
        r.clipLength = clipLength;
        r.position = first + static_cast<uint32_t>(n % 8);
        r.flags = static_cast<uint8_t>((r.position & 1) * 2 + (s.draft ? 1 : 0));
        r.aspectNum = 1;
        r.aspectDen = 1;
        r.title = title;
        if (plugin.action(&r) != 0) {
            std::fprintf(stderr, "zask-bench: render failed\n");
            std::exit(1);
        }
    };
    // Field n reads frame n / 2: the clip repeats four frames up to the last one read.
    std::vector<standin::PlanarFrame> clip((first + 8) / 2 + 1);
    for (size_t f = 0; f < clip.size(); ++f)
        clip[f] = frames[f % 4];
    standin::setInputClip(s.width, s.height, clip);
    standin::setOutputFrame(output.data());

    renderOne(0);   // loads the page and the scenes
    const double start = cpuSeconds();
    int fields = 0;
    double elapsed = 0.0;
    do {
        renderOne(fields + 1);
        ++fields;
        elapsed = cpuSeconds() - start;
    } while (elapsed < options.seconds || fields < 4);

    request.action = actionRelease;
    plugin.action(&request);
    standin::freeTitle(title);
    standin::clearInputClip();
    dlclose(plugin.handle);
    return {elapsed * 1000.0 / fields, fields};
}

// Reading a field, doubling its lines into the frame and the background and
// writing the field back: the bytes a field pass must move, with memcpy.
double plainCopyMs(int width, int height, double seconds)
{
    const size_t fieldBytes = static_cast<size_t>(width) * (height / 2) * 4;
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    std::vector<uint8_t> field(fieldBytes, 1), frame(fieldBytes * 2), background(fieldBytes * 2);
    const double start = cpuSeconds();
    int passes = 0;
    double elapsed = 0.0;
    do {
        for (int k = 0; k < height / 2; ++k) {
            std::memcpy(&frame[2 * k * rowBytes], &field[k * rowBytes], rowBytes);
            std::memcpy(&frame[(2 * k + 1) * rowBytes], &field[k * rowBytes], rowBytes);
        }
        std::memcpy(background.data(), frame.data(), frame.size());
        for (int k = 0; k < height / 2; ++k)
            std::memcpy(&field[k * rowBytes], &frame[2 * k * rowBytes], rowBytes);
        ++passes;
        elapsed = cpuSeconds() - start;
    } while (elapsed < seconds || passes < 4);
    return elapsed * 1000.0 / passes;
}

void printRow(const Scenario& s, const Result& r)
{
    std::printf("%-34s %5dx%-5d aa %d shading %d %-5s %8.2f ms %8.1f fields/s\n", s.name.c_str(), s.width,
                s.height, s.aa, s.shading, s.hold ? "hold" : "in", r.msPerField, 1000.0 / r.msPerField);
    std::fflush(stdout);
}

void usage(FILE* out)
{
    std::fprintf(out,
                 "usage: zask-bench [--quick] [--only NAME] [--seconds S] [--variant zaskN] [--plugins DIR] [--kthome DIR]\n"
                 "Times are processor time of the rendering thread.\n"
                 "Renders fields of generated clips with a 20-letter title and prints milliseconds\n"
                 "and fields per second per scenario, then the real-time ratios at 1080i:\n"
                 "  render (aa 4x4, per-pixel light, in phase) / pass-through   target <= 3\n"
                 "  draft render / pass-through                                 target <= 1.5\n"
                 "  aa 8x8 / aa 4x4                                             target <= 2\n"
                 "  pass-through / plain copy of the field's bytes              target <= 3\n"
                 "--quick measures only the scenarios of the ratios; --only NAME one of them\n"
                 "(\"1080i render\", \"1080i pass-through\", \"1080i draft\", \"1080i aa 8x8\").\n");
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "zask-bench: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (arg == "--quick") {
            options.quick = true;
        } else if (arg == "--only") {
            options.only = value();
        } else if (arg == "--seconds") {
            options.seconds = std::atof(value().c_str());
        } else if (arg == "--variant") {
            options.variant = value();
        } else if (arg == "--plugins") {
            options.pluginDir = value();
        } else if (arg == "--kthome") {
            options.kthome = value();
        } else {
            std::fprintf(stderr, "zask-bench: unknown option %s\n", arg.c_str());
            usage(stderr);
            return 2;
        }
    }
    setenv("KTHOME", options.kthome.c_str(), 1);
    standin::setLogEcho(true);

    const int hdW = 1920, hdH = 1080;
    const Scenario render = {"1080i render", hdW, hdH, 4, 2, false, false, false};
    const Scenario passThrough = {"1080i pass-through", hdW, hdH, 4, 2, false, true, false};
    const Scenario draft = {"1080i draft", hdW, hdH, 4, 2, false, false, true};
    const Scenario aa8 = {"1080i aa 8x8", hdW, hdH, 8, 2, false, false, false};

    if (!options.only.empty()) {
        for (const Scenario& s : {render, passThrough, draft, aa8})
            if (s.name == options.only) {
                printRow(s, runScenario(options, s));
                return 0;
            }
        std::fprintf(stderr, "zask-bench: --only takes one of the ratio scenarios, e.g. \"1080i render\"\n");
        return 2;
    }

    std::vector<Scenario> table;
    if (!options.quick) {
        for (auto [w, h, label] : {std::tuple{720, 576, "PAL"}, std::tuple{1920, 1080, "1080i"},
                                   std::tuple{3840, 2160, "2160"}})
            for (int aa : {0, 4, 8})
                table.push_back({std::string(label) + " aa " + std::to_string(aa), w, h, aa, 2, false, false, false});
        for (int shading : {0, 1})
            table.push_back({"1080i shading " + std::to_string(shading), hdW, hdH, 4, shading, false, false, false});
        table.push_back({"1080i hold", hdW, hdH, 4, 2, true, false, false});
        table.push_back({"1080i hold draft", hdW, hdH, 4, 2, true, false, true});
    }

    std::printf("%-34s %11s %-21s %11s %15s\n", "scenario", "frame", "settings", "per field", "speed");
    for (const Scenario& s : table)
        printRow(s, runScenario(options, s));

    const Result rRender = runScenario(options, render);
    printRow(render, rRender);
    const Result rPass = runScenario(options, passThrough);
    printRow(passThrough, rPass);
    const Result rDraft = runScenario(options, draft);
    printRow(draft, rDraft);
    const Result rAa8 = runScenario(options, aa8);
    printRow(aa8, rAa8);
    const double copy = plainCopyMs(hdW, hdH, options.seconds);
    std::printf("%-34s %5dx%-5d %-21s %8.2f ms\n", "1080i plain copy", hdW, hdH, "", copy);

    std::printf("\nratios at 1080i (one run)\n");
    std::printf("  render / pass-through      %6.2f  (target <= 3)\n", rRender.msPerField / rPass.msPerField);
    std::printf("  draft / pass-through       %6.2f  (target <= 1.5)\n", rDraft.msPerField / rPass.msPerField);
    std::printf("  aa 8x8 / aa 4x4            %6.2f  (target <= 2)\n", rAa8.msPerField / rRender.msPerField);
    std::printf("  pass-through / plain copy  %6.2f  (target <= 3)\n", rPass.msPerField / copy);
    std::printf("  render speed               %6.1f fields/s (1080i50 needs 50)\n", 1000.0 / rRender.msPerField);
    return 0;
}
