// ktmerogui, ktmeroreq and ktmsgq with a scripted back end: dialogs are
// records, messages and requester answers come from a script, and every call
// is written to a trace.
#include <dlfcn.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "standin/gui_control.h"
#include "standin/gui_internal.h"

namespace standin {

namespace {

enum class ScriptKind { set, press, ok, cancel, close, closeKeep, message };

struct ScriptMessage {
    ScriptKind kind;
    int line;
    std::string text;    // the script line, for the trace
    int label = -1;      // set, press
    int32_t value = 0;   // set, message
    uint16_t messageKind = 0;
};

struct ScriptAnswer {
    int line = 0;
    bool cancel = false;
    std::string path;       // file
    uint32_t colour = 0;    // palette
    int32_t action = 0;     // archive
};

struct Element {
    GuiHandle request = 0;
    ControlInfo info;
};

struct Panel {
    GuiHandle request = 0;
    PanelInfo info;
};

struct Request {
    GuiHandle handle = 0;
    GuiHandle ok = 0, cancel = 0;
    uint32_t queue = 0;
    bool open = true;
    std::vector<GuiHandle> elements;  // creation order
    std::vector<GuiHandle> panels;
    DialogInfo info;
};

struct Gui {
    int32_t monitor = 1;
    int32_t videoMode = 0;
    int32_t fontHeight = 14;
    int32_t addHeight = 6;
    int failRequests = 0;
    GuiHandle nextHandle = 1;
    uint32_t nextQueue = 1;
    std::map<GuiHandle, Request> requests;
    std::map<GuiHandle, Element> elements;
    std::map<GuiHandle, Panel> panels;
    GuiHandle current = 0;  // the request whose messages are asked for
    DialogInfo last;
    std::deque<ScriptMessage> messages;
    std::deque<ScriptAnswer> files, palettes, archives;
    std::vector<std::string> problems;
    std::vector<std::string> trace;
    FILE* traceFile = nullptr;
    std::string pictureDirectory;
    std::vector<WrittenImage> images;
    std::function<int32_t()> previewHandler;
    GuiCounts counts;
    std::map<GadgetExtension*, bool> extensions;
    std::unique_ptr<GuiView> view;  // null: messages and answers come from the script
};

Gui& gui() {
    static Gui instance;
    return instance;
}

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%" PRIx32, value);
    return text;
}

std::string geometry(uint16_t x, uint16_t y, uint16_t width, uint16_t height) {
    return "x=" + std::to_string(x) + " y=" + std::to_string(y) + " width=" + std::to_string(width) +
           " height=" + std::to_string(height);
}

// The request a handle names, or null (traced as an error by the caller).
Request* findRequest(GuiHandle handle) {
    auto it = gui().requests.find(handle);
    return it == gui().requests.end() || !it->second.open ? nullptr : &it->second;
}

void snapshot(const Request& request) {
    Gui& g = gui();
    DialogInfo info = request.info;
    info.controls.clear();
    info.panels.clear();
    for (GuiHandle e : request.elements) info.controls.push_back(g.elements[e].info);
    for (GuiHandle p : request.panels) info.panels.push_back(g.panels[p].info);
    g.last = std::move(info);
}

GuiHandle addElement(GuiHandle requestHandle, ControlInfo info, const std::string& call,
                     const ControlContent& content = {}) {
    Gui& g = gui();
    Request* request = findRequest(requestHandle);
    if (request == nullptr) {
        traceGui(call + " -> 0 (error: no open dialog " + std::to_string(requestHandle) + ")");
        return 0;
    }
    const GuiHandle handle = g.nextHandle++;
    g.elements[handle] = Element{requestHandle, std::move(info)};
    request->elements.push_back(handle);
    snapshot(*request);
    traceGui(call + " -> " + std::to_string(handle));
    if (g.view) g.view->controlAdded(requestHandle, handle, g.elements[handle].info, content);
    return handle;
}

Element* findElement(GuiHandle requestHandle, GuiHandle element) {
    auto it = gui().elements.find(element);
    if (it == gui().elements.end() || it->second.request != requestHandle) return nullptr;
    return &it->second;
}

// The element of the open dialog whose label is string `label`.
GuiHandle elementLabelled(const Request& request, int label) {
    for (GuiHandle e : request.elements)
        if (gui().elements[e].info.label == label) return e;
    return 0;
}

int labelNumber(const char* label) { return label == nullptr ? -1 : stringNumberOf(label); }

std::string textOf(const char* text) { return text == nullptr ? std::string() : std::string(text); }

uint8_t clampByte(double value) {
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value + 0.5);
}

}  // namespace

bool parseScriptNumber(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const bool isHex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    value = isHex ? static_cast<long long>(std::strtoull(text.c_str() + 2, &end, 16)) : std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && end == text.c_str() + text.size() && value >= low && value <= high;
}

void traceGui(const std::string& line) {
    Gui& g = gui();
    g.trace.push_back(line);
    if (g.traceFile != nullptr) {
        std::fputs(line.c_str(), g.traceFile);
        std::fputc('\n', g.traceFile);
        std::fflush(g.traceFile);
    }
}

int32_t runPreviewHandler() {
    Gui& g = gui();
    ++g.counts.previews;
    traceGui("opPreview mode=0");
    const int32_t result = g.previewHandler ? g.previewHandler() : 0;
    traceGui("opPreview -> " + std::to_string(result));
    return result;
}

void resetGui() {
    Gui& g = gui();
    closeGuiTraceFile();
    Gui fresh;
    std::swap(g, fresh);
    resetResources();
}

bool setGuiScript(std::string_view text, std::string& error) {
    Gui& g = gui();
    std::deque<ScriptMessage> messages;
    std::deque<ScriptAnswer> files, palettes, archives;
    std::istringstream in{std::string(text)};
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string command;
        if (!(words >> command)) continue;
        std::vector<std::string> args;
        for (std::string w; words >> w;) args.push_back(w);
        const std::string where = "line " + std::to_string(number) + ": ";
        auto bad = [&](const std::string& what) {
            error = where + what;
            return false;
        };
        std::string rest;
        for (size_t i = 0; i < args.size(); ++i) rest += (i ? " " : "") + args[i];
        ScriptMessage m{ScriptKind::ok, number, command + (rest.empty() ? "" : " " + rest)};
        long long value = 0;
        if (command == "set") {
            if (args.size() != 2) return bad("set takes a label number and a value: set LABEL VALUE");
            if (!parseScriptNumber(args[0], 0, 65535, value)) return bad("label '" + args[0] + "' is not a string number");
            m.kind = ScriptKind::set;
            m.label = static_cast<int>(value);
            if (!parseScriptNumber(args[1], INT32_MIN, UINT32_MAX, value))
                return bad("value '" + args[1] + "' is not a 32-bit number");
            m.value = static_cast<int32_t>(static_cast<uint32_t>(value));
            messages.push_back(m);
        } else if (command == "press") {
            if (args.size() != 1 || !parseScriptNumber(args[0], 0, 65535, value))
                return bad("press takes the button's label number: press LABEL");
            m.kind = ScriptKind::press;
            m.label = static_cast<int>(value);
            messages.push_back(m);
        } else if (command == "ok" || command == "cancel" || command == "close" || command == "close-keep") {
            if (!args.empty()) return bad(command + " takes no arguments");
            m.kind = command == "ok"       ? ScriptKind::ok
                     : command == "cancel" ? ScriptKind::cancel
                     : command == "close"  ? ScriptKind::close
                                           : ScriptKind::closeKeep;
            messages.push_back(m);
        } else if (command == "message") {
            if (args.empty() || args.size() > 2 || !parseScriptNumber(args[0], 0, 65535, value))
                return bad("message takes a kind and an optional value: message KIND [VALUE]");
            m.kind = ScriptKind::message;
            m.messageKind = static_cast<uint16_t>(value);
            if (args.size() == 2) {
                if (!parseScriptNumber(args[1], INT32_MIN, UINT32_MAX, value))
                    return bad("value '" + args[1] + "' is not a 32-bit number");
                m.value = static_cast<int32_t>(static_cast<uint32_t>(value));
            }
            messages.push_back(m);
        } else if (command == "file") {
            // The path is the rest of the line, spaces included.
            std::string path = line.substr(line.find("file") + 4);
            path.erase(0, path.find_first_not_of(" \t"));
            path.erase(path.find_last_not_of(" \t\r") + 1);
            if (path.empty()) return bad("file takes a path, or cancel");
            ScriptAnswer a;
            a.line = number;
            a.cancel = path == "cancel";
            a.path = path;
            files.push_back(a);
        } else if (command == "palette") {
            ScriptAnswer a;
            a.line = number;
            if (args.size() != 1) return bad("palette takes a colour word, or cancel");
            a.cancel = args[0] == "cancel";
            if (!a.cancel) {
                if (!parseScriptNumber(args[0], 0, UINT32_MAX, value)) return bad("colour '" + args[0] + "' is not a 32-bit word");
                a.colour = static_cast<uint32_t>(value);
            }
            palettes.push_back(a);
        } else if (command == "archive") {
            ScriptAnswer a;
            a.line = number;
            if (args.size() != 1) return bad("archive takes load, save, delete, cancel or a number");
            const std::string& w = args[0];
            if (w == "cancel") a.cancel = true;
            else if (w == "load") a.action = archiveActionLoad;
            else if (w == "save") a.action = archiveActionSave;
            else if (w == "delete") a.action = archiveActionDelete;
            else if (parseScriptNumber(w, INT32_MIN, INT32_MAX, value)) a.action = static_cast<int32_t>(value);
            else return bad("archive answer '" + w + "' is not load, save, delete, cancel or a number");
            archives.push_back(a);
        } else {
            return bad("unknown command '" + command +
                       "' (set, press, ok, cancel, close, close-keep, message, file, palette, archive)");
        }
    }
    g.messages = std::move(messages);
    g.files = std::move(files);
    g.palettes = std::move(palettes);
    g.archives = std::move(archives);
    g.problems.clear();
    return true;
}

bool loadGuiScript(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (!setGuiScript(text.str(), error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

std::vector<std::string> scriptProblems() {
    std::vector<std::string> problems = gui().problems;
    if (gui().view)
        for (auto& p : gui().view->problems()) problems.push_back(p);
    return problems;
}

void setGuiView(std::unique_ptr<GuiView> view) {
    Gui& g = gui();
    g.view = std::move(view);
    if (g.view) {
        g.fontHeight = g.view->fontHeight();
        g.addHeight = g.view->addHeight();
    }
}

GuiView* guiView() { return gui().view.get(); }

Rgb colourWordToRgb(uint32_t colour) {
    const double y = colour >> 24, cb = ((colour >> 16) & 0xff) - 128.0, cr = ((colour >> 8) & 0xff) - 128.0;
    return Rgb{clampByte(y + 1.402 * cr), clampByte(y - 0.344136 * cb - 0.714136 * cr), clampByte(y + 1.772 * cb)};
}

uint32_t rgbToColourWord(Rgb rgb, uint8_t alpha) {
    const double r = rgb.r, g = rgb.g, b = rgb.b;
    const uint32_t y = clampByte(0.299 * r + 0.587 * g + 0.114 * b);
    const uint32_t cb = clampByte(-0.168736 * r - 0.331264 * g + 0.5 * b + 128);
    const uint32_t cr = clampByte(0.5 * r - 0.418688 * g - 0.081312 * b + 128);
    return y << 24 | cb << 16 | cr << 8 | alpha;
}

// The GTK back end is a module of its own beside this library, loaded when a
// host asks for it, so that neither the plug-ins nor the hosts that only script
// their dialogs carry GTK.
namespace {

using GtkStart = bool (*)(const std::string&, std::string&);
using GtkShowClip = bool (*)(const std::string&, int, int, const std::vector<std::vector<uint8_t>>&, int);

struct GtkModule {
    void* handle = nullptr;
    GtkStart start = nullptr;
    GtkShowClip showClip = nullptr;
};

GtkModule& gtkModule() {
    static GtkModule module;
    return module;
}

std::string libraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&gtkModule), &info) == 0 || info.dli_fname == nullptr) return ".";
    const std::string path = info.dli_fname;
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

#ifdef ZASK_GTK_MODULE
bool gtkToolkitBuilt() { return true; }
#else
bool gtkToolkitBuilt() { return false; }
#endif

bool useGtkToolkit(const std::string& scriptPath, std::string& error) {
#ifdef ZASK_GTK_MODULE
    GtkModule& m = gtkModule();
    if (m.handle == nullptr) {
        const std::string path = libraryFolder() + "/" ZASK_GTK_MODULE;
        m.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (m.handle == nullptr) {
            const char* why = dlerror();
            error = "the GTK toolkit cannot be loaded: " + std::string(why != nullptr ? why : path);
            return false;
        }
        m.start = reinterpret_cast<GtkStart>(dlsym(m.handle, "zaskGtkStart"));
        m.showClip = reinterpret_cast<GtkShowClip>(dlsym(m.handle, "zaskGtkShowClip"));
        if (m.start == nullptr || m.showClip == nullptr) {
            dlclose(m.handle);
            m = GtkModule{};
            error = path + ": not the GTK toolkit module (zaskGtkStart or zaskGtkShowClip missing)";
            return false;
        }
    }
    return m.start(scriptPath, error);
#else
    (void)scriptPath;
    error = "this build has no GTK toolkit (GTK 3 was not found when it was configured)";
    return false;
#endif
}

bool showClipWindow(const std::string& title, int width, int height, const std::vector<std::vector<uint8_t>>& rgbFrames,
                    int framesPerSecond) {
    GtkModule& m = gtkModule();
    if (m.showClip == nullptr || guiView() == nullptr) return false;
    return m.showClip(title, width, height, rgbFrames, framesPerSecond);
}
void setDefaultMonitor(int32_t monitor) { gui().monitor = monitor; }
void setVideoMode(int32_t mode) { gui().videoMode = mode; }
void setFontHeight(int32_t height) { gui().fontHeight = height; }
void setAddHeight(int32_t height) { gui().addHeight = height; }
void failRequests(int count) { gui().failRequests = count; }
void setPreviewHandler(std::function<int32_t()> handler) { gui().previewHandler = std::move(handler); }
std::vector<std::string> guiTrace() { return gui().trace; }

bool openGuiTraceFile(const std::string& path, std::string& error) {
    closeGuiTraceFile();
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        error = path + ": cannot create: " + std::strerror(errno);
        return false;
    }
    gui().traceFile = file;
    return true;
}

void closeGuiTraceFile() {
    Gui& g = gui();
    if (g.traceFile != nullptr) std::fclose(g.traceFile);
    g.traceFile = nullptr;
}

void setPictureDirectory(const std::string& directory) { gui().pictureDirectory = directory; }
std::vector<WrittenImage> writtenImages() { return gui().images; }
DialogInfo lastDialog() { return gui().last; }

GuiCounts guiCounts() {
    Gui& g = gui();
    GuiCounts c = g.counts;
    c.openDialogs = 0;
    for (auto& [handle, request] : g.requests) c.openDialogs += request.open ? 1 : 0;
    c.openCatalogues = openCatalogueCount();
    c.gadgetExtensions = g.extensions.size();
    return c;
}

std::vector<uint8_t> hostPixelsToRgb(const uint8_t* pixels, size_t count) {
    std::vector<uint8_t> rgb(count * 3);
    auto clamp = [](double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5); };
    for (size_t i = 0; i < count; ++i) {
        const double cr = pixels[i * 4 + 1] - 128.0, cb = pixels[i * 4 + 2] - 128.0, y = pixels[i * 4 + 3];
        rgb[i * 3 + 0] = clamp(y + 1.402 * cr);
        rgb[i * 3 + 1] = clamp(y - 0.344136 * cb - 0.714136 * cr);
        rgb[i * 3 + 2] = clamp(y + 1.772 * cb);
    }
    return rgb;
}

}  // namespace standin

using namespace standin;

extern "C" {

uint32_t msgQCreate(int32_t messages, int32_t messageSize, int32_t flags) {
    const uint32_t queue = gui().nextQueue++;
    traceGui("msgQCreate messages=" + std::to_string(messages) + " size=" + std::to_string(messageSize) +
             " flags=" + std::to_string(flags) + " -> " + std::to_string(queue));
    return queue;
}

int32_t mreqCreateRequest(PanelRequest* record) {
    Gui& g = gui();
    if (record == nullptr) {
        traceGui("mreqCreateRequest null -> -1");
        return -1;
    }
    std::string call = "mreqCreateRequest width=" + std::to_string(record->width) +
                       " height=" + std::to_string(record->height) + " title=" + describeText(record->titleText) +
                       " flags=" + hex(record->requestFlags) + " queue=" + std::to_string(record->messageQueue);
    if (g.failRequests > 0) {
        --g.failRequests;
        traceGui(call + " -> -1 (failure asked for)");
        return -1;
    }
    Request request;
    request.handle = g.nextHandle++;
    request.ok = g.nextHandle++;
    request.cancel = g.nextHandle++;
    request.queue = record->messageQueue;
    request.info.title = labelNumber(record->titleText);
    request.info.width = record->width;
    request.info.height = record->height;
    request.info.flags = record->requestFlags;
    record->handle = request.handle;
    record->okElement = request.ok;
    record->cancelElement = request.cancel;
    g.current = request.handle;
    ++g.counts.dialogs;
    g.requests[request.handle] = request;
    snapshot(g.requests[request.handle]);
    traceGui(call + " -> 0 handle=" + std::to_string(request.handle) + " ok=" + std::to_string(request.ok) +
             " cancel=" + std::to_string(request.cancel));
    if (g.view)
        g.view->requestCreated(request.handle, request.ok, request.cancel, record->width, record->height,
                               textOf(record->titleText));
    return 0;
}

void mreqDeleteRequest(PanelRequest* record) {
    Gui& g = gui();
    Request* request = record != nullptr ? findRequest(record->handle) : nullptr;
    if (request == nullptr) {
        traceGui("mreqDeleteRequest (error: no open dialog)");
        return;
    }
    int left = 0;
    for (GuiHandle p : request->panels) left += g.panels[p].info.removed ? 0 : 1;
    request->open = false;
    request->info.deleted = true;
    snapshot(*request);
    for (GuiHandle e : request->elements) g.elements.erase(e);
    for (GuiHandle p : request->panels) g.panels.erase(p);
    traceGui("mreqDeleteRequest handle=" + std::to_string(record->handle) +
             (left != 0 ? " (error: " + std::to_string(left) + " panels not removed)" : ""));
    g.requests.erase(record->handle);
    if (g.current == record->handle) g.current = 0;
    if (g.view) g.view->requestDeleted(record->handle);
}

int32_t mreqFileRequest(FileRequestRecord* record) {
    Gui& g = gui();
    ++g.counts.fileRequests;
    if (record == nullptr) {
        traceGui("mreqFileRequest null -> -1");
        return -1;
    }
    std::string call = "mreqFileRequest directory=" + describeText(record->directory) +
                       " mode=" + std::to_string(record->mode) + " buffer=" + std::to_string(record->pathBufferSize);
    record->result = 0;
    std::string path;
    if (g.view) {
        if (!g.view->chooseFile(textOf(record->directory), record->mode, record->pathBufferSize, path)) {
            traceGui(call + " -> 0 result=0 (cancelled)");
            return 0;
        }
    } else {
        if (g.files.empty() || g.files.front().cancel) {
            if (!g.files.empty()) g.files.pop_front();
            traceGui(call + " -> 0 result=0 (cancelled)");
            return 0;
        }
        ScriptAnswer a = g.files.front();
        g.files.pop_front();
        // A bare name is taken from the requester's directory, as a user picks it there.
        path = a.path.find('/') == std::string::npos && record->directory != nullptr
                   ? std::string(record->directory) + a.path
                   : a.path;
    }
    if (record->pathBuffer == nullptr || path.size() + 1 > record->pathBufferSize) {
        traceGui(call + " -> -1 (path does not fit the buffer: " + path + ")");
        return -1;
    }
    std::memcpy(record->pathBuffer, path.c_str(), path.size() + 1);
    record->result = 1;
    traceGui(call + " -> 0 result=1 path=" + path);
    return 0;
}

int32_t mreqPaletteRequest(PaletteRequestRecord* record) {
    Gui& g = gui();
    ++g.counts.paletteRequests;
    if (record == nullptr) {
        traceGui("mreqPaletteRequest null -> -1");
        return -1;
    }
    std::string call = "mreqPaletteRequest colour=" + hex(record->colour);
    record->result = 0;
    if (g.view) {
        uint32_t colour = record->colour;
        if (!g.view->chooseColour(colour)) {
            traceGui(call + " -> 0 result=0 (cancelled)");
            return 0;
        }
        record->colour = colour;
        record->result = 1;
        traceGui(call + " -> 0 result=1 colour=" + hex(record->colour));
        return 0;
    }
    if (g.palettes.empty() || g.palettes.front().cancel) {
        if (!g.palettes.empty()) g.palettes.pop_front();
        traceGui(call + " -> 0 result=0 (cancelled)");
        return 0;
    }
    record->colour = g.palettes.front().colour;
    record->result = 1;
    g.palettes.pop_front();
    traceGui(call + " -> 0 result=1 colour=" + hex(record->colour));
    return 0;
}

int32_t mreqArchivesRequest(ArchiveRequestRecord* record) {
    Gui& g = gui();
    ++g.counts.archiveRequests;
    if (record == nullptr) {
        traceGui("mreqArchivesRequest null -> -1");
        return -1;
    }
    std::string call = "mreqArchivesRequest title=" + describeText(record->titleText);
    if (g.view) {
        int32_t action = 0;
        if (!g.view->chooseArchiveAction(textOf(record->titleText), action)) {
            traceGui(call + " -> -1 (cancelled)");
            return -1;
        }
        record->chosenAction = action;
        traceGui(call + " -> 0 action=" + std::to_string(record->chosenAction));
        return 0;
    }
    if (g.archives.empty() || g.archives.front().cancel) {
        if (!g.archives.empty()) g.archives.pop_front();
        traceGui(call + " -> -1 (cancelled)");
        return -1;
    }
    record->chosenAction = g.archives.front().action;
    g.archives.pop_front();
    traceGui(call + " -> 0 action=" + std::to_string(record->chosenAction));
    return 0;
}

int32_t mgGetDefaultMonitor(void) {
    traceGui("mgGetDefaultMonitor -> " + std::to_string(gui().monitor));
    return gui().monitor;
}

int32_t mgGetFontHeightMonitor(int32_t monitor) {
    traceGui("mgGetFontHeightMonitor monitor=" + std::to_string(monitor) + " -> " + std::to_string(gui().fontHeight));
    return gui().fontHeight;
}

int32_t mgGetAddHeight(void) {
    traceGui("mgGetAddHeight -> " + std::to_string(gui().addHeight));
    return gui().addHeight;
}

int32_t mgGetVideoMode(void) {
    traceGui("mgGetVideoMode -> " + std::to_string(gui().videoMode));
    return gui().videoMode;
}

GuiHandle mgCreatePanel(GuiHandle requestHandle, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                        uint32_t panelFlags, int32_t, int32_t) {
    Gui& g = gui();
    std::string call = "mgCreatePanel request=" + std::to_string(requestHandle) + " " + geometry(x, y, width, height) +
                       " flags=" + std::to_string(panelFlags);
    Request* request = findRequest(requestHandle);
    if (request == nullptr) {
        traceGui(call + " -> 0 (error: no open dialog)");
        return 0;
    }
    const GuiHandle handle = g.nextHandle++;
    Panel panel{requestHandle, PanelInfo{handle, x, y, width, height, panelFlags, false, {}, {}}};
    if (panelFlags & panelFlagsImage) {
        panel.info.pixels.assign(static_cast<size_t>(width) * height * 4, 0);
        panel.info.written.assign(static_cast<size_t>(width) * height, 0);
    }
    g.panels[handle] = std::move(panel);
    request->panels.push_back(handle);
    snapshot(*request);
    traceGui(call + " -> " + std::to_string(handle));
    if (g.view) g.view->panelCreated(requestHandle, g.panels[handle].info);
    return handle;
}

void mgRemovePanel(GuiHandle panel) {
    Gui& g = gui();
    auto it = g.panels.find(panel);
    if (it == g.panels.end() || it->second.info.removed) {
        traceGui("mgRemovePanel panel=" + std::to_string(panel) + " (error: no such panel)");
        return;
    }
    it->second.info.removed = true;
    if (Request* request = findRequest(it->second.request)) snapshot(*request);
    traceGui("mgRemovePanel panel=" + std::to_string(panel));
    if (g.view) g.view->panelRemoved(panel);
}

GuiHandle mgAddPopup(GuiHandle request, uint16_t x, uint16_t y, uint16_t width, uint16_t height, ListHeader* items,
                     uint32_t selected, const char* label, int32_t, int32_t) {
    ControlInfo info;
    info.kind = "popup";
    info.label = labelNumber(label);
    info.x = x, info.y = y, info.width = width, info.height = height;
    info.value = static_cast<int32_t>(selected);
    ControlContent content;
    content.label = textOf(label);
    std::string list;
    // Copied now: the list may be freed right after this call.
    for (ListNode* node = items != nullptr ? lstFirst(items) : nullptr; node != nullptr; node = lstNext(node)) {
        const PopupItem* item = reinterpret_cast<const PopupItem*>(node);
        std::string text = item->itemKind == popupTextItem    ? describeText(static_cast<const char*>(item->itemData))
                           : item->itemKind == popupImageItem ? describeImage(item->itemData)
                                                              : "kind " + hex(item->itemKind);
        info.items.push_back(text);
        list += (list.empty() ? "" : ",") + text;
        ControlContent::Picture picture;
        std::string itemText;
        if (item->itemKind == popupTextItem) {
            itemText = textOf(static_cast<const char*>(item->itemData));
        } else if (item->itemKind == popupImageItem && item->itemData != nullptr) {
            const auto* image = static_cast<const ResourceImage*>(item->itemData);
            if (image->width > 0 && image->height > 0 && image->pixels != nullptr) {
                picture.width = image->width;
                picture.height = image->height;
                picture.pixels.assign(image->pixels, image->pixels + static_cast<size_t>(image->width) * image->height * 4);
            }
        }
        content.itemTexts.push_back(itemText);
        content.itemPictures.push_back(std::move(picture));
    }
    std::string call = "mgAddPopup request=" + std::to_string(request) + " " + geometry(x, y, width, height) +
                       " items=[" + list + "] selected=" + std::to_string(selected) + " label=" + describeText(label);
    return addElement(request, std::move(info), call, content);
}

GuiHandle mgAddSlider(GuiHandle request, uint16_t x, uint16_t y, uint16_t width, uint16_t height, int32_t minimum,
                      int32_t maximum, int32_t value, const char* label, const char* secondText, uint32_t sliderFlags,
                      GadgetExtension* extension) {
    ControlInfo info;
    info.kind = "slider";
    info.label = labelNumber(label);
    info.x = x, info.y = y, info.width = width, info.height = height;
    info.minimum = minimum, info.maximum = maximum, info.value = value;
    info.flags = sliderFlags;
    info.secondText = labelNumber(secondText);
    info.framesTime = extension != nullptr && extension->formatCallback == mgSliderCallbackFramesTime;
    std::string call = "mgAddSlider request=" + std::to_string(request) + " " + geometry(x, y, width, height) +
                       " min=" + std::to_string(minimum) + " max=" + std::to_string(maximum) +
                       " value=" + std::to_string(value) + " label=" + describeText(label) +
                       " second=" + describeText(secondText) + " flags=" + hex(sliderFlags) +
                       " extension=" + (extension == nullptr ? "none" : info.framesTime ? "frames-and-time" : "other");
    ControlContent content;
    content.label = textOf(label);
    content.secondText = textOf(secondText);
    content.format = extension != nullptr ? extension->formatCallback : nullptr;
    return addElement(request, std::move(info), call, content);
}

GuiHandle mgAddTextButton(GuiHandle request, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                          const char* label, int32_t, int32_t) {
    ControlInfo info;
    info.kind = "button";
    info.label = labelNumber(label);
    info.x = x, info.y = y, info.width = width, info.height = height;
    ControlContent content;
    content.label = textOf(label);
    return addElement(request, std::move(info),
                      "mgAddTextButton request=" + std::to_string(request) + " " + geometry(x, y, width, height) +
                          " label=" + describeText(label),
                      content);
}

GuiHandle mgAddPaletteButton(GuiHandle request, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                             const char* label, uint32_t colour, int32_t, int32_t) {
    ControlInfo info;
    info.kind = "palette";
    info.label = labelNumber(label);
    info.x = x, info.y = y, info.width = width, info.height = height;
    info.value = static_cast<int32_t>(colour);
    ControlContent content;
    content.label = textOf(label);
    return addElement(request, std::move(info),
                      "mgAddPaletteButton request=" + std::to_string(request) + " " + geometry(x, y, width, height) +
                          " label=" + describeText(label) + " colour=" + hex(colour),
                      content);
}

int32_t mgChangeElement(GuiHandle request, GuiHandle element, uint32_t attribute, uint32_t value, int32_t last) {
    std::string call = "mgChangeElement request=" + std::to_string(request) + " element=" + std::to_string(element) +
                       " attribute=" + std::to_string(attribute) + " value=" + std::to_string(value) +
                       " last=" + std::to_string(last);
    Element* e = findElement(request, element);
    if (e == nullptr) {
        traceGui(call + " -> -1 (error: no such element)");
        return -1;
    }
    if (attribute == elementAttributeKey) e->info.key = value;
    else if (attribute == elementAttributeColour) e->info.value = static_cast<int32_t>(value);
    if (Request* r = findRequest(request)) snapshot(*r);
    traceGui(call + " -> 0");
    if (gui().view) gui().view->controlChanged(element, e->info);
    return 0;
}

static int32_t setEnabled(GuiHandle request, GuiHandle element, bool enabled) {
    std::string call = std::string(enabled ? "mgEnableElement" : "mgDisableElement") + " request=" +
                       std::to_string(request) + " element=" + std::to_string(element);
    Element* e = findElement(request, element);
    if (e == nullptr) {
        traceGui(call + " -> -1 (error: no such element)");
        return -1;
    }
    e->info.enabled = enabled;
    if (Request* r = findRequest(request)) snapshot(*r);
    traceGui(call + " -> 0");
    if (gui().view) gui().view->controlChanged(element, e->info);
    return 0;
}

int32_t mgEnableElement(GuiHandle request, GuiHandle element) { return setEnabled(request, element, true); }
int32_t mgDisableElement(GuiHandle request, GuiHandle element) { return setEnabled(request, element, false); }

int32_t mgMsgQReceive(GuiMessage* message, int32_t timeout) {
    Gui& g = gui();
    *message = GuiMessage{};
    Request* request = findRequest(g.current);
    std::string call = "mgMsgQReceive timeout=" + std::to_string(timeout);
    if (g.view && request != nullptr) {
        std::string said;
        g.view->receive(request->handle, timeout, *message, said);
        ++g.counts.messagesDelivered;
        request->info.closedBy = said;
        traceGui(call + " -> kind=" + std::to_string(message->kind) + " element=" + std::to_string(message->element) +
                 " value=" + std::to_string(message->value) + " (user: " + said + ")");
        return 0;
    }
    while (true) {
        if (request == nullptr || g.messages.empty()) {
            // Nothing more to say: the user closes the window.
            message->kind = guiMessageCloseCancel;
            ++g.counts.messagesDelivered;
            if (request != nullptr) request->info.closedBy = "script ended";
            traceGui(call + " -> kind=6 (" + std::string(request == nullptr ? "no open dialog" : "script ended") +
                     ": window closed)");
            return 0;
        }
        ScriptMessage m = g.messages.front();
        g.messages.pop_front();
        const std::string from = " (script line " + std::to_string(m.line) + ": " + m.text + ")";
        switch (m.kind) {
        case ScriptKind::ok:
        case ScriptKind::cancel:
            message->kind = guiMessageOperated;
            message->element = m.kind == ScriptKind::ok ? request->ok : request->cancel;
            break;
        case ScriptKind::close: message->kind = guiMessageCloseCancel; break;
        case ScriptKind::closeKeep: message->kind = guiMessageCloseKeep; break;
        case ScriptKind::message:
            message->kind = m.messageKind;
            message->value = m.value;
            break;
        case ScriptKind::set:
        case ScriptKind::press: {
            const GuiHandle element = elementLabelled(*request, m.label);
            const Element* e = element != 0 ? &g.elements[element] : nullptr;
            std::string problem;
            if (e == nullptr) problem = "the dialog has no control labelled " + std::to_string(m.label);
            else if (!e->info.enabled) problem = "the control labelled " + std::to_string(m.label) + " is disabled";
            if (!problem.empty()) {
                g.problems.push_back("script line " + std::to_string(m.line) + ": " + problem);
                traceGui("script line " + std::to_string(m.line) + " skipped: " + problem);
                continue;
            }
            message->kind = guiMessageOperated;
            message->element = element;
            message->value = m.kind == ScriptKind::set ? m.value : 0;
            break;
        }
        }
        ++g.counts.messagesDelivered;
        request->info.closedBy = m.text;
        traceGui(call + " -> kind=" + std::to_string(message->kind) + " element=" + std::to_string(message->element) +
                 " value=" + std::to_string(message->value) + from);
        return 0;
    }
}

void mgPointerBeep(void) {
    ++gui().counts.beeps;
    traceGui("mgPointerBeep");
    if (gui().view) gui().view->beep();
}

int32_t mgWriteImage(GuiHandle panelHandle, PanelImage* image, int32_t x, int32_t y) {
    Gui& g = gui();
    std::string call = "mgWriteImage panel=" + std::to_string(panelHandle);
    auto it = g.panels.find(panelHandle);
    if (image == nullptr || it == g.panels.end() || it->second.info.removed) {
        traceGui(call + " -> -1 (error: " + (image == nullptr ? "no image" : "no such panel") + ")");
        return -1;
    }
    PanelInfo& panel = it->second.info;
    call += " width=" + std::to_string(image->width) + " height=" + std::to_string(image->height) +
            " format=" + std::to_string(image->format) + " x=" + std::to_string(x) + " y=" + std::to_string(y);
    if (!(panel.flags & panelFlagsImage) || image->pixels == nullptr) {
        traceGui(call + " -> -1 (error: " + (image->pixels == nullptr ? "no pixels" : "not an image panel") + ")");
        return -1;
    }
    WrittenImage written;
    written.panel = panelHandle;
    written.panelWidth = panel.width, written.panelHeight = panel.height;
    written.x = x, written.y = y, written.width = image->width, written.height = image->height;
    written.format = image->format;
    const size_t count = static_cast<size_t>(image->width) * image->height;
    written.pixels.assign(image->pixels, image->pixels + count * 4);
    bool outside = false;
    for (int row = 0; row < image->height; ++row) {
        for (int column = 0; column < image->width; ++column) {
            const long px = x + column, py = y + row;
            if (px < 0 || py < 0 || px >= panel.width || py >= panel.height) {
                outside = true;
                continue;
            }
            const size_t at = static_cast<size_t>(py) * panel.width + static_cast<size_t>(px);
            std::memcpy(panel.pixels.data() + at * 4, image->pixels + (static_cast<size_t>(row) * image->width + column) * 4, 4);
            panel.written[at] = 1;
        }
    }
    if (Request* r = findRequest(it->second.request)) snapshot(*r);
    if (g.view) g.view->pictureWritten(panel);
    g.images.push_back(std::move(written));
    std::string note;
    if (!g.pictureDirectory.empty()) {
        char name[32];
        std::snprintf(name, sizeof name, "/panel-%03zu.png", g.images.size());
        std::string error, path = g.pictureDirectory + name;
        note = writePng(path, image->width, image->height, hostPixelsToRgb(image->pixels, count), error)
                   ? " picture " + path
                   : " (error: " + error + ")";
    }
    traceGui(call + " -> 0" + (outside ? " (error: the picture reaches outside the panel)" : "") + note);
    return outside ? -1 : 0;
}

GadgetExtension* mgAllocGadExt(void) {
    auto* extension = static_cast<GadgetExtension*>(std::calloc(1, sizeof(GadgetExtension)));
    if (extension != nullptr) gui().extensions[extension] = true;
    traceGui(std::string("mgAllocGadExt -> ") + (extension != nullptr ? "extension" : "null"));
    return extension;
}

void mgFreeGadExt(GadgetExtension* extension) {
    Gui& g = gui();
    if (extension == nullptr) {
        traceGui("mgFreeGadExt null");
        return;
    }
    if (g.extensions.erase(extension) == 0) {
        traceGui("mgFreeGadExt (error: not an allocated extension)");
        return;
    }
    std::free(extension);
    traceGui("mgFreeGadExt");
}

// The durations count frames; at 25 frames a second.
void mgSliderCallbackFramesTime(int32_t value, char* text, int32_t textSize) {
    if (text == nullptr || textSize <= 0) return;
    const long long frames = value, hundredths = frames * 4;
    const long long sign = hundredths < 0 ? -1 : 1, magnitude = hundredths * sign;
    std::snprintf(text, static_cast<size_t>(textSize), "%lld frames (%s%lld.%02lld s)", frames, sign < 0 ? "-" : "",
                  magnitude / 100, magnitude % 100);
}

}  // extern "C"
