#include "fuzz/fuzz_host.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "standin/gui_control.h"
#include "standin/standin_control.h"

extern "C" OperatorTag* GetOperatorInfo(void);
extern "C" int32_t OperatorAction(ActionRequest* request);

namespace fuzzhost {

namespace {

constexpr int clipWidth = 16, clipHeight = 8;

}  // namespace

void prepare()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    setenv("KTHOME", ZASK_FUZZ_KTHOME, 1);
    standin::setLogEcho(false);
    GetOperatorInfo();
}

int32_t* settingsBlock()
{
    for (OperatorTag* tag = GetOperatorInfo(); tag->tag != tagEnd; ++tag)
        if (tag->tag == tagSettings)
            return static_cast<int32_t*>(reinterpret_cast<SettingsDescriptor*>(tag->value)->block);
    std::abort();
}

void renderFields(TitleDocument* title, uint32_t fields)
{
    standin::resetImages();
    standin::clearLoggedLines();
    std::vector<standin::PlanarFrame> frames;
    for (uint32_t f = 0; f < (fields + 1) / 2; ++f)
        frames.emplace_back(clipWidth * clipHeight * 3, static_cast<uint8_t>(40 + 30 * f));
    standin::setInputClip(clipWidth, clipHeight, frames);
    std::vector<uint8_t> output(clipWidth * clipHeight * 3);
    standin::setOutputFrame(output.data());
    ActionRequest request{};
    request.clipLength = fields;
    request.title = title;
    request.action = actionInitialise;
    uint64_t failedFields = 0;
    if (OperatorAction(&request) == 0) {
        request.action = actionRender;
        for (uint32_t p = 0; p < fields; ++p) {
            request.position = p;
            request.flags = (p & 1) != 0 ? requestFlagSecondField : 0;
            if (OperatorAction(&request) != 0)
                ++failedFields;
        }
    }
    request.action = actionRelease;
    OperatorAction(&request);
    standin::setOutputFrame(nullptr);
    const standin::ImageCounts images = standin::imageCounts();
    // A failed field keeps its background image; anything else left over,
    // or released wrongly, is a fault.
    if (images.badReleases != 0 || images.outstanding > failedFields) {
        std::fprintf(stderr, "image accounting: %llu outstanding after %llu failed fields, %llu bad releases\n",
                     static_cast<unsigned long long>(images.outstanding),
                     static_cast<unsigned long long>(failedFields),
                     static_cast<unsigned long long>(images.badReleases));
        std::abort();
    }
    standin::resetImages();
    standin::clearInputClip();
}

TitleDocument* sampleTitle()
{
    std::string error;
    TitleDocument* title = standin::parseTitle(
        R"({"pages": [
             {"boxes": [{"x": 2, "y": 1, "lines": [{"chars": [
               {"pen": 0, "width": 2, "height": 2, "top": 0, "pixels": "ff80c0ffff80c0ffff80c0ffff80c0ff"},
               {"pen": 192, "width": 1, "height": 2, "top": 1, "pixels": "ff2040ff80ffffff"}]}]}]},
             {"boxes": [{"x": 0, "y": 0, "lines": [{"chars": [
               {"pen": 64, "width": 2, "height": 1, "top": 0, "pixels": "ffffffffff000000"}]}]}]}]})",
        error);
    if (title == nullptr) {
        std::fprintf(stderr, "sample title: %s\n", error.c_str());
        std::abort();
    }
    return title;
}

void openDialog(uint16_t panel, const std::string& script)
{
    standin::resetGui();
    // The preview's letter picture: 8 x 8, opaque in the middle.
    std::vector<uint8_t> letter(8 * 8 * 4, 0);
    for (int y = 2; y < 6; ++y)
        for (int x = 2; x < 6; ++x) {
            uint8_t* p = &letter[(y * 8 + x) * 4];
            p[0] = 255, p[1] = 128, p[2] = 128, p[3] = 200;
        }
    standin::setCatalogueImage("zask_ops", 998, 8, 8, letter);
    std::string error;
    if (!standin::setGuiScript(script, error)) {
        std::fprintf(stderr, "script: %s\n", error.c_str());
        std::abort();
    }
    ActionRequest request{};
    request.action = actionOpenPanel;
    request.subCode = panel;
    OperatorAction(&request);
    const standin::GuiCounts counts = standin::guiCounts();
    if (counts.openDialogs != 0 || counts.openCatalogues != 0 || counts.gadgetExtensions != 0) {
        std::fprintf(stderr, "dialog %u left %llu dialogs, %llu catalogues, %llu gadget extensions open\n", panel,
                     static_cast<unsigned long long>(counts.openDialogs),
                     static_cast<unsigned long long>(counts.openCatalogues),
                     static_cast<unsigned long long>(counts.gadgetExtensions));
        std::abort();
    }
    standin::resetGui();
}

}  // namespace fuzzhost
