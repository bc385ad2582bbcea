// Shared between the stand-in's toolkit, resource and video files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/gui_toolkit.h"
#include "standin/gui_control.h"

namespace standin {

// One line of the GUI trace.
void traceGui(const std::string& line);
// "#310" for a text from a loaded string catalogue, else the text quoted.
std::string describeText(const char* text);
// Catalogue string number of a text, or -1.
int stringNumberOf(const char* text);
// A script's number: decimal, or hex after 0x, the whole text, within [low, high].
bool parseScriptNumber(const std::string& text, long long low, long long high, long long& value);
// "image 33" for a catalogue image, else "image ?".
std::string describeImage(const void* image);
// Frees every catalogue and override.
void resetResources();
uint64_t openCatalogueCount();
// What opPreview answers.
int32_t runPreviewHandler();

// What a view needs of a control beyond its record: the texts and pictures
// themselves, copied at creation (the plug-in may free the item list and the
// slider extension right after the call).
struct ControlContent {
    std::string label;
    std::string secondText;
    std::vector<std::string> itemTexts;      // popup: one per item, empty for an image item
    struct Picture {
        int width = 0, height = 0;
        std::vector<uint8_t> pixels;         // catalogue bytes: alpha, blue, green, red
    };
    std::vector<Picture> itemPictures;       // popup: one per item, empty for a text item
    SliderFormatCallback format = nullptr;
};

// An interactive back end. The toolkit keeps its records and trace as with
// a script; a view shows the dialogs and takes the messages and requester
// answers from the user instead of from the script.
class GuiView {
public:
    virtual ~GuiView() = default;
    virtual void requestCreated(GuiHandle request, GuiHandle ok, GuiHandle cancel, int width, int height,
                                const std::string& title) = 0;
    virtual void requestDeleted(GuiHandle request) = 0;
    virtual void panelCreated(GuiHandle request, const PanelInfo& panel) = 0;
    virtual void panelRemoved(GuiHandle panel) = 0;
    virtual void controlAdded(GuiHandle request, GuiHandle element, const ControlInfo& info,
                              const ControlContent& content) = 0;
    // The key, colour or enabled state of the record changed.
    virtual void controlChanged(GuiHandle element, const ControlInfo& info) = 0;
    virtual void pictureWritten(const PanelInfo& panel) = 0;
    // Waits for the next message of the dialog; `said` tells what the user did
    // in the words of a script line ("ok", "close", "set 187 40").
    virtual void receive(GuiHandle request, int32_t timeout, GuiMessage& message, std::string& said) = 0;
    // False when the user cancelled. `path` must fit `limit` bytes with its NUL.
    virtual bool chooseFile(const std::string& directory, uint32_t mode, size_t limit, std::string& path) = 0;
    virtual bool chooseColour(uint32_t& colour) = 0;
    virtual bool chooseArchiveAction(const std::string& title, int32_t& action) = 0;
    virtual void beep() = 0;
    // Script lines that could not be carried out.
    virtual std::vector<std::string> problems() = 0;
    virtual int32_t fontHeight() = 0;
    virtual int32_t addHeight() = 0;
};

// Installs the view (null: the script again).
void setGuiView(std::unique_ptr<GuiView> view);
GuiView* guiView();

}  // namespace standin
