// The main settings dialog: scenes, mirror modes and durations (zask6:
// durations and the random seed), with a button for the host's preview.
#include <cstdlib>
#include <cstring>

#include "panels/panel_layout.h"
#include "panels/panels.h"
#include "variants/variant.h"

using namespace panel_layout;

namespace {

constexpr uint16_t windowWidth = 422;
constexpr uint16_t controlX = 178;
constexpr uint16_t controlWidth = 236;
constexpr int32_t firstItemString = 311;
constexpr int32_t mirrorImages[4] = {33, 30, 29, 551};

// One control of the dialog and the setting it edits.
struct MainControl {
    GuiHandle element;
    int32_t* setting;
    uint32_t key;
};

// Fills pool slots 0 .. count-1 and the pool's header with a list of items.
ListHeader* buildPoolList(int count, uint32_t kind, const void* (*data)(int index, ResourceCatalogue* strings),
                          ResourceCatalogue* strings)
{
    popupListHeader = static_cast<ListHeader*>(std::calloc(1, sizeof(ListHeader)));
    for (int i = 0; i < count; ++i) {
        PopupItem* item = static_cast<PopupItem*>(std::calloc(1, sizeof(PopupItem)));
        popupItemPool[i] = item;
        if (item == nullptr)
            continue;
        item->itemKind = kind;
        item->itemData = data(i, strings);
    }
    if (popupListHeader == nullptr)
        return nullptr;
    lstInitList(popupListHeader);
    for (int i = 0; i < count; ++i)
        if (popupItemPool[i] != nullptr)
            lstAddTail(popupListHeader, &popupItemPool[i]->links);
    return popupListHeader;
}

const void* sceneItemText(int index, ResourceCatalogue* strings)
{
    return resGetString(strings, firstItemString + index);
}

const void* mirrorItemImage(int index, ResourceCatalogue*)
{
    return resGetImage(mgGetGuiResource(), mirrorImages[index]);
}

GuiHandle addPopup(GuiHandle handle, int row, ListHeader* items, int32_t setting, const char* label)
{
    const uint16_t y = rowY(row);
    return mgAddPopup(handle, controlX, y, controlWidth, controlHeight(), items,
                      static_cast<uint16_t>(setting), label, 0, 0);
}

GuiHandle addDurationSlider(GuiHandle handle, int row, int32_t setting, const char* label, ResourceCatalogue* strings)
{
    GadgetExtension* extension = mgAllocGadExt();
    if (extension != nullptr) {
        std::memset(extension, 0, sizeof *extension);
        extension->formatCallback = mgSliderCallbackFramesTime;
    }
    const uint16_t y = rowY(row);
    const GuiHandle slider = mgAddSlider(handle, controlX, y, controlWidth, controlHeight(), 0, 300, setting, label,
                                         resGetString(strings, 998), 0x120000, extension);
    mgFreeGadExt(extension);
    return slider;
}

}  // namespace

void showMainPanel()
{
    ResourceCatalogue* strings = resLoadStrings("zask_ops");
    const bool randomVariant = variant.randomScenes;
    const int rows = randomVariant ? 3 : 6;
    const int panelAHeight = rows * (rowUnit() + 8) + 12;
    const int windowHeight = rows * (rowUnit() + 8) + 12 + 10 + (rowUnit() + 20);
    PanelRequest request =
        makeRequest(windowWidth, static_cast<uint16_t>(windowHeight), resGetString(strings, 310));
    if (mreqCreateRequest(&request) != 0) {
        resFreeStrings(strings);
        return;
    }
    const GuiHandle handle = request.handle;
    const GuiHandle panelA =
        mgCreatePanel(handle, 0, 0, windowWidth, static_cast<uint16_t>(panelAHeight), panelFlagsGroup, 0, 0);
    const int panelBY = rows * (rowUnit() + 8) + 12 + 10;
    const GuiHandle panelB = mgCreatePanel(handle, 0, static_cast<uint16_t>(panelBY), windowWidth,
                                           static_cast<uint16_t>(rowUnit() + 20), panelFlagsGroup, 0, 0);

    EffectSettings& s = effectSettings;
    MainControl controls[6] = {};
    int controlCount = 0;
    if (!randomVariant) {
        const int items = variant.sceneTableLength;
        ListHeader* sceneList = buildPoolList(items, popupTextItem, sceneItemText, strings);
        const GuiHandle inScene = addPopup(handle, 0, sceneList, s.inScene, resGetString(strings, 150));
        const GuiHandle outScene = addPopup(handle, 3, sceneList, s.outScene, resGetString(strings, 152));
        freePopupItems();

        ListHeader* mirrorList = buildPoolList(4, popupImageItem, mirrorItemImage, strings);
        const GuiHandle inMirror = addPopup(handle, 1, mirrorList, s.inMirror, resGetString(strings, 151));
        const GuiHandle outMirror = addPopup(handle, 4, mirrorList, s.outMirror, resGetString(strings, 153));
        freePopupItems();

        const GuiHandle inDuration = addDurationSlider(handle, 2, s.inDuration, resGetString(strings, 291), strings);
        const GuiHandle outDuration = addDurationSlider(handle, 5, s.outDuration, resGetString(strings, 290), strings);
        controls[0] = {inScene, &s.inScene, 'a'};
        controls[1] = {inMirror, &s.inMirror, 'm'};
        controls[2] = {inDuration, &s.inDuration, 'i'};
        controls[3] = {outScene, &s.outScene, 's'};
        controls[4] = {outMirror, &s.outMirror, 'n'};
        controls[5] = {outDuration, &s.outDuration, 'o'};
        controlCount = 6;
    } else {
        const GuiHandle inDuration = addDurationSlider(handle, 0, s.inDuration, resGetString(strings, 291), strings);
        const GuiHandle outDuration = addDurationSlider(handle, 1, s.outDuration, resGetString(strings, 290), strings);
        const uint16_t y = rowY(2);
        const GuiHandle seed = mgAddSlider(handle, controlX, y, controlWidth, controlHeight(), 0, 1000, s.randomSeed,
                                           resGetString(strings, 154), resGetString(strings, 999), 0x120000, nullptr);
        controls[0] = {inDuration, &s.inDuration, 'i'};
        controls[1] = {outDuration, &s.outDuration, 'o'};
        controls[2] = {seed, &s.randomSeed, 'r'};
        controlCount = 3;
    }

    const uint16_t buttonY = static_cast<uint16_t>(panelBY + 8);
    const GuiHandle previewButton = mgAddTextButton(handle, 8, buttonY, 406, controlHeight(),
                                                    resGetString(strings, previewButtonLabel), 0, 0);
    for (int i = 0; i < controlCount; ++i)
        mgChangeElement(handle, controls[i].element, elementAttributeKey, controls[i].key, 0);
    mgChangeElement(handle, previewButton, elementAttributeKey, previewButtonKey, 0);

    stagingSettings = s;
    for (bool open = true; open;) {
        GuiMessage message{};
        mgMsgQReceive(&message, -1);
        if (message.kind == guiMessageCloseCancel) {
            s = stagingSettings;
            break;
        }
        if (message.kind == guiMessageCloseKeep)
            break;
        if (message.kind != guiMessageOperated)
            continue;
        if (message.element == request.okElement) {
            open = false;
        } else if (message.element == request.cancelElement) {
            s = stagingSettings;
            open = false;
        } else if (message.element == previewButton) {
            if (opPreview(0) == -1)
                mgPointerBeep();
        } else {
            for (int i = 0; i < controlCount; ++i)
                if (message.element == controls[i].element)
                    *controls[i].setting = message.value;
        }
    }

    if (panelA != 0)
        mgRemovePanel(panelA);
    if (panelB != 0)
        mgRemovePanel(panelB);
    mreqDeleteRequest(&request);
    resFreeStrings(strings);
}
