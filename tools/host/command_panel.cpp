// zask panel: one settings dialog of a plug-in, driven by a script or shown
// as a GTK window, with the settings read from and written back to a file.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "standin/gui_control.h"
#include "tools/host/commands.h"
#include "tools/host/dialog_host.h"
#include "tools/host/options.h"
#include "tools/host/y4m.h"

namespace zask {

namespace {

const char* const helpText =
    "usage: zask panel PLUGIN N --ui script:FILE|gtk|gtk:FILE [--settings FILE]\n"
    "                  [--trace FILE] [--pictures DIR] [--input CLIP.y4m --title TITLE.json]\n"
    "                  [--kthome DIR] [--monitor N] [--video-mode N] [--log FILE]\n"
    "\n"
    "Opens settings dialog N of a plug-in (action 4): 0 main panel, 1 rotation,\n"
    "2 light and look, 3 presets. PLUGIN is a file (zask4.so) or a variant name\n"
    "(zask4) found beside this program.\n"
    "\n"
    "  --ui script:FILE   the scripted toolkit: FILE says what the user does, one\n"
    "                     command a line ('#' starts a comment):\n"
    "                       set LABEL VALUE    operate the control labelled with\n"
    "                                          catalogue string LABEL (e.g. set 150 3)\n"
    "                       press LABEL        press a button (press 189: preview)\n"
    "                       ok | cancel        the dialog's OK or Cancel button\n"
    "                       close              close the window (like Cancel)\n"
    "                       close-keep         close keeping the changes (like OK)\n"
    "                       message KIND [V]   a message of another kind\n"
    "                       file PATH|cancel   answer of the next file requester\n"
    "                                          (a bare name is taken from the\n"
    "                                          requester's folder)\n"
    "                       palette 0xYYBBRRAA|cancel  next palette requester\n"
    "                       archive load|save|delete|cancel  next archive requester\n"
    "                     When the script ends the window is closed (like Cancel).\n"
    "  --ui gtk           the dialog as a GTK window on the display: the user\n"
    "                     operates it; OK, Cancel, closing the window (like\n"
    "                     Cancel) or Escape end it. Shortcut keys are underlined\n"
    "                     in the labels (F5: preview). The host preview plays the\n"
    "                     rendered clip in a window.\n"
    "  --ui gtk:FILE      the same window, with FILE's steps carried out on it\n"
    "                     once it is drawn: the script commands above but\n"
    "                     'message' ('file', 'palette' and 'archive' answer the\n"
    "                     requester on top, 'close' also closes the preview\n"
    "                     window), plus\n"
    "                       snapshot PNG       a picture of the window on top\n"
    "                       wait MS            a pause\n"
    "                     The user may go on when the steps end.\n"
    "  --settings FILE    the 68-byte settings record; read when it exists (else\n"
    "                     the plug-in's defaults), written back when the dialog\n"
    "                     ends with OK or close-keep (panels 0 to 2) or changed\n"
    "                     the settings (panel 3)\n"
    "  --trace FILE       every toolkit call, one line each\n"
    "  --pictures DIR     the preview pictures as PNG: panel-001.png, ... for the\n"
    "                     panel's own preview, preview-NNN-frame-KKKK.png for the\n"
    "                     host preview (press 189)\n"
    "  --input, --title   the project the host preview renders (a C444 clip and a\n"
    "                     title document, as for zask render); without them the\n"
    "                     host preview fails and the dialog beeps\n"
    "  --kthome DIR       data tree (default: $KTHOME, else the build's tree)\n"
    "  --monitor N        what mgGetDefaultMonitor answers (default 1)\n"
    "  --video-mode N     what mgGetVideoMode answers (default 0)\n"
    "  --log FILE         every log message of the plug-in\n"
    "\n"
    "exit status: 0 the dialog ran and the script was carried out, 1 a script\n"
    "line could not be carried out (no such control, a disabled one; the\n"
    "settings are then not written), 2 bad arguments or input files.\n";

const std::vector<OptionSpec> optionSpecs = {
    {"ui", true, false},      {"settings", true, false}, {"trace", true, false},   {"pictures", true, false},
    {"input", true, false},   {"title", true, false},    {"kthome", true, false},  {"monitor", true, false},
    {"video-mode", true, false}, {"log", true, false},
};

struct PanelSession {
    TitleDocument* title = nullptr;
    ~PanelSession() {
        standin::resetGui();
        standin::setOutputFrame(nullptr);
        standin::clearInputClip();
        standin::resetImages();
        standin::closeLogFile();
        standin::freeTitle(title);
    }
};

// The host preview: a render bracket over the whole project clip.
struct HostPreview {
    DialogHost* host = nullptr;
    Y4mClip* clip = nullptr;
    TitleDocument* title = nullptr;
    std::string pictures;
    int count = 0;
    bool window = false;  // show the rendered clip in a window (GTK)

    int32_t operator()() {
        if (clip == nullptr || title == nullptr) {
            std::fprintf(stderr, "zask panel: the host preview needs --input and --title\n");
            return -1;
        }
        ++count;
        standin::setInputClip(clip->width, clip->height, clip->frames);
        ActionRequest request{};
        request.clipLength = static_cast<uint32_t>(2 * clip->frames.size());
        request.aspectNum = request.aspectDen = 1;
        request.title = title;
        auto act = [&](uint16_t action, uint32_t position, uint8_t flags) {
            ActionRequest r = request;
            r.action = action;
            r.position = position;
            r.flags = flags;
            return host->plugin->operatorAction(&r);
        };
        int32_t result = act(actionInitialise, 0, 0);
        std::vector<std::vector<uint8_t>> shown;
        for (size_t k = 0; result == 0 && k < clip->frames.size(); ++k) {
            std::vector<uint8_t> frame = clip->frames[k];
            standin::setOutputFrame(frame.data());
            for (uint32_t p = 0; p < 2 && result == 0; ++p)
                result = act(actionRender, static_cast<uint32_t>(2 * k + p), p != 0 ? requestFlagSecondField : 0);
            standin::setOutputFrame(nullptr);
            if (result == 0 && !pictures.empty()) writeFrame(frame, k);
            if (result == 0 && window) shown.push_back(rgbOf(frame));
        }
        act(actionRelease, 0, 0);
        standin::clearInputClip();
        if (result != 0) return -1;
        if (window) standin::showClipWindow("Preview", clip->width, clip->height, shown, 25);
        return 0;
    }

    std::vector<uint8_t> rgbOf(const std::vector<uint8_t>& planes) const {
        const size_t n = static_cast<size_t>(clip->width) * clip->height;
        std::vector<uint8_t> host(n * 4);
        for (size_t i = 0; i < n; ++i) {
            host[i * 4 + 1] = planes[2 * n + i];
            host[i * 4 + 2] = planes[n + i];
            host[i * 4 + 3] = planes[i];
        }
        return standin::hostPixelsToRgb(host.data(), n);
    }

    void writeFrame(const std::vector<uint8_t>& planes, size_t k) {
        char name[64];
        std::snprintf(name, sizeof name, "/preview-%03d-frame-%04zu.png", count, k);
        std::string error;
        if (!standin::writePng(pictures + name, clip->width, clip->height, rgbOf(planes), error))
            std::fprintf(stderr, "zask panel: %s\n", error.c_str());
    }
};

}  // namespace

int runPanel(int argc, char** argv) {
    ParsedOptions options;
    std::string error;
    if (!parseOptions(argc, argv, 2, optionSpecs, 2, "the plug-in and the panel number (zask panel PLUGIN N)",
                      options, error))
        return usageError("panel", error + " (see zask panel --help)");
    if (options.help) {
        std::fputs(helpText, stdout);
        return exitSuccess;
    }
    auto panel = parseInteger(options.positionals[1], 0, 3);
    if (!panel)
        return usageError("panel", "panel number " + options.positionals[1] +
                                       ": expected 0 (main), 1 (rotation), 2 (light and look) or 3 (presets)");
    const char* const toolkits = standin::gtkToolkitBuilt() ? "script:FILE, gtk or gtk:FILE"
                                                            : "script:FILE (this build has no GTK toolkit)";
    if (!options.has("ui")) return usageError("panel", std::string("--ui ") + toolkits + " is needed");
    const std::string& ui = options.value("ui");
    const bool gtk = ui == "gtk" || ui.rfind("gtk:", 0) == 0;
    if (gtk && !standin::gtkToolkitBuilt())
        return usageError("panel", "--ui " + ui + ": this build has no GTK toolkit (GTK 3 was not found when it was "
                                                  "configured; install libgtk-3-dev and build again)");
    if (!gtk && (ui.rfind("script:", 0) != 0 || ui.size() == 7))
        return usageError("panel", "--ui " + ui + ": expected " + toolkits);
    if (ui == "gtk:") return usageError("panel", "--ui gtk: takes a script file after the colon");
    int32_t monitor = 1, videoMode = 0;
    for (auto [name, target] : {std::pair{"monitor", &monitor}, std::pair{"video-mode", &videoMode}}) {
        if (!options.has(name)) continue;
        auto value = parseInteger(options.value(name), INT32_MIN, INT32_MAX);
        if (!value) return usageError("panel", "--" + std::string(name) + " " + options.value(name) + ": expected a number");
        *target = static_cast<int32_t>(*value);
    }
    if (options.has("input") != options.has("title"))
        return usageError("panel", "--input and --title go together: they are the project the host preview renders");

    PanelSession session;
    standin::resetGui();
    if (gtk ? !standin::useGtkToolkit(ui.size() > 4 ? ui.substr(4) : "", error)
            : !standin::loadGuiScript(ui.substr(7), error))
        return usageError("panel", error);
    if (options.has("log") && !standin::openLogFile(options.value("log"), error))
        return usageError("panel", options.value("log") + ": cannot create the log: " + error);
    if (options.has("trace") && !standin::openGuiTraceFile(options.value("trace"), error))
        return usageError("panel", error);
    std::string pictures = options.has("pictures") ? options.value("pictures") : "";
    if (!pictures.empty()) {
        struct stat info;
        if (stat(pictures.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            return usageError("panel", "--pictures " + pictures + ": not a directory");
        standin::setPictureDirectory(pictures);
    }
    Y4mClip clip;
    if (options.has("input")) {
        if (!readY4m(options.value("input"), clip, error)) return usageError("panel", error);
        session.title = standin::loadTitleFile(options.value("title"), error);
        if (session.title == nullptr) return usageError("panel", error);
    }

    DialogHost host;
    if (!openDialogHost(options.positionals[0], host, error)) return usageError("panel", error);
    const bool haveSettingsFile = options.has("settings") && fileExists(options.value("settings"));
    if (haveSettingsFile) {
        std::vector<uint8_t> settings;
        if (!readSettingsFile(options.value("settings"), settings, error)) return usageError("panel", error);
        std::memcpy(host.settings, settings.data(), settings.size());
    }
    const std::string kthome = options.has("kthome") ? options.value("kthome") : dialogKthome();
    setenv("KTHOME", kthome.c_str(), 1);
    standin::setDefaultMonitor(monitor);
    standin::setVideoMode(videoMode);
    HostPreview preview{&host, options.has("input") ? &clip : nullptr, session.title, pictures};
    preview.window = gtk;
    standin::setPreviewHandler([&preview] { return preview(); });

    uint8_t before[68];
    std::memcpy(before, host.settings, sizeof before);
    openPanelAction(host, static_cast<uint16_t>(*panel));
    standin::setPreviewHandler(nullptr);

    const auto problems = standin::scriptProblems();
    for (const auto& p : problems) std::fprintf(stderr, "zask panel: %s\n", p.c_str());
    const standin::DialogInfo dialog = standin::lastDialog();
    const standin::GuiCounts counts = standin::guiCounts();
    if (*panel != 3 && counts.dialogs == 0) {
        std::fprintf(stderr, "zask panel: %s: panel %lld did not open\n", host.pluginPath.c_str(), *panel);
        return exitFailure;
    }
    const auto changes = settingChanges(before, host.settings);
    const bool kept = *panel == 3 ? !changes.empty() : (dialog.closedBy == "ok" || dialog.closedBy == "close-keep");
    if (*panel != 3) std::printf("zask panel: the dialog ended with: %s\n", dialog.closedBy.c_str());
    for (const auto& c : changes) std::printf("  %s\n", c.c_str());
    if (counts.beeps != 0) std::printf("zask panel: the dialog beeped %llu times\n", static_cast<unsigned long long>(counts.beeps));
    if (!problems.empty()) return exitFailure;
    if (kept && options.has("settings")) {
        if (!writeSettingsFile(options.value("settings"), host.settings, error)) return usageError("panel", error);
        std::printf("zask panel: settings written to %s\n", options.value("settings").c_str());
    } else if (kept && !changes.empty()) {
        std::printf("zask panel: the changes are not kept anywhere (no --settings)\n");
    }
    return exitSuccess;
}

}  // namespace zask
