// Control side of the stand-in GUI toolkit, resource catalogues, requesters
// and message queues: the scripted back end that the host program and the
// tests use to drive the settings dialogs, and what they read back.
//
// Script format, one command a line, '#' starts a comment:
//   set LABEL VALUE      operate the control whose label is catalogue string
//                        LABEL with VALUE (a kind-4 message); VALUE decimal
//                        or 0x hex, up to 32 bits
//   press LABEL          press the button labelled LABEL (kind 4, value 0)
//   ok | cancel          press the dialog's OK or Cancel button
//   close                close the window (kind 6, treated like Cancel)
//   close-keep           close keeping the changes (kind 7, like OK)
//   message KIND [VALUE] a message of any other kind, from no element
//   file PATH            answer of the next file requester: PATH chosen
//   file cancel          the next file requester is cancelled
//   palette COLOUR       answer of the next palette requester (0xYYCbCrAA word)
//   palette cancel
//   archive load|save|delete|cancel|NUMBER   answer of the next archive requester
// Messages, file, palette and archive answers are each taken in script order
// when the dialog asks for one. A dialog that asks for a message when none is
// left gets a kind-6 close; a requester with no answer left is cancelled.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/gui_toolkit.h"
#include "standin/standin_control.h"

namespace standin {

// Forgets the script, trace, pictures, counters, configuration and catalogue
// overrides; closes the trace file. Monitor 1, video mode 0, font height 14,
// extra row height 6.
ZASK_STANDIN_API void resetGui();

ZASK_STANDIN_API bool setGuiScript(std::string_view text, std::string& error);  // error: "line N: what"
ZASK_STANDIN_API bool loadGuiScript(const std::string& path, std::string& error);
// Script lines that could not be carried out (no such control, a disabled one).
ZASK_STANDIN_API std::vector<std::string> scriptProblems();

ZASK_STANDIN_API void setDefaultMonitor(int32_t monitor);
ZASK_STANDIN_API void setVideoMode(int32_t mode);
ZASK_STANDIN_API void setFontHeight(int32_t height);
ZASK_STANDIN_API void setAddHeight(int32_t height);
// The next `count` mreqCreateRequest calls fail.
ZASK_STANDIN_API void failRequests(int count);

// What opPreview does: returns the plug-in's answer (0, or -1 when the host
// cannot render). Without a handler opPreview answers 0.
ZASK_STANDIN_API void setPreviewHandler(std::function<int32_t()> handler);

// Every call of the toolkit, resources, requesters, queues and opPreview,
// one line each, in order.
ZASK_STANDIN_API std::vector<std::string> guiTrace();
ZASK_STANDIN_API bool openGuiTraceFile(const std::string& path, std::string& error);
ZASK_STANDIN_API void closeGuiTraceFile();

// Where mgWriteImage pictures go as panel-001.png, panel-002.png, ...; empty: nowhere.
ZASK_STANDIN_API void setPictureDirectory(const std::string& directory);

struct WrittenImage {
    GuiHandle panel = 0;
    int panelWidth = 0, panelHeight = 0;
    int x = 0, y = 0, width = 0, height = 0;
    uint32_t format = 0;
    std::vector<uint8_t> pixels;  // width * height * 4 host bytes as written
};
ZASK_STANDIN_API std::vector<WrittenImage> writtenImages();

struct ControlInfo {
    std::string kind;         // "popup", "slider", "button", "palette"
    int label = -1;           // catalogue string number, -1 when not from a catalogue
    int x = 0, y = 0, width = 0, height = 0;
    bool enabled = true;
    int32_t value = 0;        // popup: selected index; slider: value; palette: colour
    int32_t minimum = 0, maximum = 0;
    uint32_t flags = 0;       // slider flags
    int secondText = -1;      // slider's second text, string number
    bool framesTime = false;  // slider with the frames-and-time extension
    uint32_t key = 0;         // shortcut key
    std::vector<std::string> items;  // popup: "#311" for strings, "image 33" for images
};
struct PanelInfo {
    GuiHandle handle = 0;
    int x = 0, y = 0, width = 0, height = 0;
    uint32_t flags = 0;
    bool removed = false;
    std::vector<uint8_t> pixels;  // image panels: width * height * 4 bytes, 0 where nothing was written
    std::vector<uint8_t> written; // image panels: 1 where a picture wrote a pixel
};
struct DialogInfo {
    int title = -1;
    int width = 0, height = 0;
    uint32_t flags = 0;
    std::vector<ControlInfo> controls;  // in creation order
    std::vector<PanelInfo> panels;
    bool deleted = false;
    // The script line of the last message delivered ("ok", "cancel", "close",
    // "close-keep", "set 150 3", ...) or "script ended".
    std::string closedBy;
};
// The dialog most recently created (kept after it closed).
ZASK_STANDIN_API DialogInfo lastDialog();

struct GuiCounts {
    uint64_t dialogs = 0;          // requests created
    uint64_t openDialogs = 0;      // created and not deleted
    uint64_t beeps = 0;
    uint64_t previews = 0;         // opPreview calls
    uint64_t openCatalogues = 0;   // loaded and not freed (the toolkit's own not counted)
    uint64_t gadgetExtensions = 0; // allocated and not freed
    uint64_t messagesDelivered = 0;
    uint64_t fileRequests = 0, paletteRequests = 0, archiveRequests = 0;
};
ZASK_STANDIN_API GuiCounts guiCounts();

// Catalogue image `number` of `catalogue` ("zask_ops", or "toolkit" for the
// toolkit's own) given here instead of read from the KTHOME tree.
ZASK_STANDIN_API void setCatalogueImage(const std::string& catalogue, int32_t number, int32_t width, int32_t height,
                                        std::vector<uint8_t> pixels);

// Catalogue files under KTHOME:
//   programs/zask/resources/NAME.strings     "NUMBER<TAB>TEXT" lines
//   programs/zask/resources/NAME.images/N.rgba
//   resources/toolkit.images/N.rgba          the toolkit's own images
// An .rgba file: little-endian signed 32-bit width and height, then
// width * height pixels of 4 bytes, rows top to bottom.
ZASK_STANDIN_API std::string stringCataloguePath(const std::string& kthome, const std::string& name);
ZASK_STANDIN_API std::string imageCataloguePath(const std::string& kthome, const std::string& name, int32_t number);
ZASK_STANDIN_API std::string toolkitImagePath(const std::string& kthome, int32_t number);

// Reads an .rgba picture; errors say what is wrong ("PATH: ...").
ZASK_STANDIN_API bool readRgbaFile(const std::string& path, int32_t& width, int32_t& height,
                                   std::vector<uint8_t>& pixels, std::string& error);
ZASK_STANDIN_API bool writeRgbaFile(const std::string& path, int32_t width, int32_t height,
                                    const std::vector<uint8_t>& pixels, std::string& error);

// ---------------------------------------------------------------- GTK back end
// Built when the build found GTK 3. With it, dialogs are real modal windows
// and messages and requester answers come from the user; the records, trace
// and counters above are kept as with a script.

// Whether this build has the GTK back end.
ZASK_STANDIN_API bool gtkToolkitBuilt();
// Opens the display and makes GTK the back end until resetGui. A non-empty
// `scriptPath` names steps carried out on the real windows once they are up
// (the script commands above, plus "snapshot PNG" for a picture of the
// window on top and "wait MS"); the user may go on when they end. Errors: no
// GTK in the build, no display, a bad script.
ZASK_STANDIN_API bool useGtkToolkit(const std::string& scriptPath, std::string& error);
// Plays RGB frames (width * height * 3 bytes each) in a modal window until
// the user closes it; false when there is no GTK back end in use.
ZASK_STANDIN_API bool showClipWindow(const std::string& title, int width, int height,
                                     const std::vector<std::vector<uint8_t>>& rgbFrames, int framesPerSecond);

// Palette colours are host pixels packed as 0xYYCbCrAA words; the chooser
// works in RGB (full-range BT.601, rounded). The alpha byte is kept.
struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};
ZASK_STANDIN_API Rgb colourWordToRgb(uint32_t colour);
ZASK_STANDIN_API uint32_t rgbToColourWord(Rgb rgb, uint8_t alpha);

// 8-bit RGB PNG (rgb holds width * height * 3 bytes).
ZASK_STANDIN_API bool writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb,
                               std::string& error);
// Host pixels {a, Cr, Cb, Y} to RGB, full-range BT.601.
ZASK_STANDIN_API std::vector<uint8_t> hostPixelsToRgb(const uint8_t* pixels, size_t count);

}  // namespace standin
