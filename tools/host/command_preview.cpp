// zask preview: the first picture of the rotation panel's preview, as a
// one-frame C444 clip.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "standin/gui_control.h"
#include "tools/host/commands.h"
#include "tools/host/dialog_host.h"
#include "tools/host/options.h"
#include "tools/host/output_file.h"

namespace zask {

namespace {

const char* const helpText =
    "usage: zask preview --operator PLUGIN.so --kthome DIR --settings SETTINGS.bin\n"
    "                    --image998 LETTER.rgba --output OUT.y4m [--monitor N]\n"
    "                    [--video-mode N] [--log LOG.txt]\n"
    "\n"
    "Opens the rotation panel (action 4, panel 1) of a plug-in with the scripted\n"
    "toolkit, takes the first preview picture the panel writes and answers the\n"
    "dialog with OK.\n"
    "\n"
    "  --operator PLUGIN.so   the plug-in (zask1.so .. zask6.so, or zask1 .. zask6)\n"
    "  --kthome DIR           data tree with the letter objects and the empty\n"
    "                         scene; exported as KTHOME before the panel opens\n"
    "  --settings FILE        the 68-byte settings record copied over the defaults\n"
    "  --image998 FILE        image 998 of the catalogue \"zask_ops\": little-endian\n"
    "                         signed 32-bit width and height, then width x height\n"
    "                         pixels of 4 bytes, rows top to bottom\n"
    "  --output OUT.y4m       one C444 frame of the picture (192 x 152 or 192 x 135)\n"
    "  --monitor N            what mgGetDefaultMonitor answers (default 1)\n"
    "  --video-mode N         what mgGetVideoMode answers (default 0)\n"
    "  --log LOG.txt          every log message of the plug-in, one line each\n"
    "\n"
    "exit status: 0 picture written, 1 the dialog did not open or wrote no\n"
    "picture (nothing is written), 2 bad arguments or input files.\n";

const std::vector<OptionSpec> optionSpecs = {
    {"operator", true, true},  {"kthome", true, true}, {"settings", true, true},
    {"image998", true, true},  {"output", true, true}, {"monitor", true, false},
    {"video-mode", true, false}, {"log", true, false},
};

struct PreviewSession {
    ~PreviewSession() {
        standin::resetGui();
        standin::closeLogFile();
    }
};

}  // namespace

int runPreview(int argc, char** argv) {
    ParsedOptions options;
    std::string error;
    if (!parseOptions(argc, argv, 2, optionSpecs, 0, "", options, error))
        return usageError("preview", error + " (see zask preview --help)");
    if (options.help) {
        std::fputs(helpText, stdout);
        return exitSuccess;
    }
    int32_t monitor = 1, videoMode = 0;
    for (auto [name, target] : {std::pair{"monitor", &monitor}, std::pair{"video-mode", &videoMode}}) {
        if (!options.has(name)) continue;
        auto value = parseInteger(options.value(name), INT32_MIN, INT32_MAX);
        if (!value) return usageError("preview", "--" + std::string(name) + " " + options.value(name) + ": expected a number");
        *target = static_cast<int32_t>(*value);
    }

    PreviewSession session;
    standin::resetGui();
    if (options.has("log") && !standin::openLogFile(options.value("log"), error))
        return usageError("preview", options.value("log") + ": cannot create the log: " + error);
    std::vector<uint8_t> settings;
    if (!readSettingsFile(options.value("settings"), settings, error)) return usageError("preview", error);
    int32_t width = 0, height = 0;
    std::vector<uint8_t> letter;
    if (!standin::readRgbaFile(options.value("image998"), width, height, letter, error))
        return usageError("preview", error);

    DialogHost host;
    if (!openDialogHost(options.value("operator"), host, error)) return usageError("preview", error);
    std::memcpy(host.settings, settings.data(), settings.size());
    setenv("KTHOME", options.value("kthome").c_str(), 1);

    standin::setDefaultMonitor(monitor);
    standin::setVideoMode(videoMode);
    standin::setCatalogueImage("zask_ops", 998, width, height, std::move(letter));
    // The picture is drawn before the dialog asks for its first message.
    if (!standin::setGuiScript("ok\n", error)) return usageError("preview", error);
    openPanelAction(host, 1);

    const std::vector<standin::WrittenImage> images = standin::writtenImages();
    if (images.empty()) {
        std::fprintf(stderr, "zask preview: %s: %s\n", host.pluginPath.c_str(),
                     standin::guiCounts().dialogs == 0 ? "the rotation panel did not open"
                                                       : "the rotation panel wrote no picture");
        return exitFailure;
    }
    const standin::WrittenImage& picture = images.front();
    const size_t pixels = static_cast<size_t>(picture.width) * picture.height;
    std::vector<uint8_t> planes(pixels * 3);
    for (size_t i = 0; i < pixels; ++i) {
        planes[i] = picture.pixels[i * 4 + 3];
        planes[pixels + i] = picture.pixels[i * 4 + 2];
        planes[2 * pixels + i] = picture.pixels[i * 4 + 1];
    }
    OutputFile output;
    if (!output.open(options.value("output"), error)) return usageError("preview", error);
    std::fprintf(output.stream(), "YUV4MPEG2 W%d H%d F25:1 Ip A1:1 C444\nFRAME\n", picture.width, picture.height);
    if (std::fwrite(planes.data(), 1, planes.size(), output.stream()) != planes.size())
        return usageError("preview", options.value("output") + ": cannot write: " + std::strerror(errno));
    if (!output.commit(error)) return usageError("preview", error);
    std::printf("zask preview: wrote the %d x %d picture to %s\n", picture.width, picture.height,
                options.value("output").c_str());
    return exitSuccess;
}

}  // namespace zask
