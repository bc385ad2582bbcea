// The rotation panel and the light and look panel: controls beside a live
// preview picture.
#include <cstdlib>

#include "panels/panel_layout.h"
#include "panels/panel_preview.h"
#include "panels/panels.h"

using namespace panel_layout;

namespace {

constexpr uint16_t windowWidth = 592;
constexpr uint16_t controlWidth = 236;

// Whether the preview buffers are in place: a reload that failed inside the
// message loop leaves nothing to draw into until a later reload succeeds.
bool previewReady;

void redrawPreview()
{
    if (!previewReady) {
        releasePreviewResources();
        previewReady = loadPreviewResources() == 0;
    }
    if (previewReady)
        drawPreview();
}

void reloadPreview()
{
    releasePreviewResources();
    previewReady = loadPreviewResources() == 0;
}

// Around the host's preview the renderer's buffers belong to the render.
void runHostPreview()
{
    releasePreviewResources();
    if (opPreview(0) == -1)
        mgPointerBeep();
    previewReady = loadPreviewResources() == 0;
}

uint16_t controlX()
{
    return static_cast<uint16_t>(previewWidth + 148);
}

// The preview area and the two group panels, in the order of creation.
struct DialogPanels {
    GuiHandle groupA = 0;
    GuiHandle groupB = 0;
    int groupBY = 0;
};

DialogPanels createPanels(GuiHandle handle, int groupAHeight, int groupBY)
{
    DialogPanels panels;
    previewPanel = mgCreatePanel(handle, 0, 0, previewWidth, previewHeight, panelFlagsImage, 0, 0);
    panels.groupA = mgCreatePanel(handle, static_cast<uint16_t>(previewWidth + 20), 0,
                                  static_cast<uint16_t>(windowWidth - previewWidth - 20),
                                  static_cast<uint16_t>(groupAHeight), panelFlagsGroup, 0, 0);
    panels.groupBY = groupBY;
    panels.groupB = mgCreatePanel(handle, 0, static_cast<uint16_t>(groupBY), windowWidth,
                                  static_cast<uint16_t>(rowUnit() + 20), panelFlagsGroup, 0, 0);
    return panels;
}

void removePanels(DialogPanels& panels)
{
    if (previewPanel != 0)
        mgRemovePanel(previewPanel);
    if (panels.groupA != 0)
        mgRemovePanel(panels.groupA);
    if (panels.groupB != 0)
        mgRemovePanel(panels.groupB);
    previewPanel = 0;
}

GuiHandle addPreviewButton(GuiHandle handle, const DialogPanels& panels, ResourceCatalogue* strings)
{
    return mgAddTextButton(handle, 8, static_cast<uint16_t>(panels.groupBY + 8), 576, controlHeight(),
                           resGetString(strings, previewButtonLabel), 0, 0);
}

// A list of `count` items, each allocated and zeroed, with its own header.
ListHeader* buildList(int count, uint32_t kind, const void* const* data)
{
    ListHeader* header = static_cast<ListHeader*>(std::calloc(1, sizeof(ListHeader)));
    if (header == nullptr)
        return nullptr;
    lstInitList(header);
    for (int i = 0; i < count; ++i) {
        PopupItem* item = static_cast<PopupItem*>(std::calloc(1, sizeof(PopupItem)));
        if (item == nullptr)
            continue;
        item->itemKind = kind;
        item->itemData = data[i];
        lstAddTail(header, &item->links);
    }
    return header;
}

void releaseList(ListHeader* list)
{
    if (list != nullptr)
        lstFreeList(list);
}

}  // namespace

void showRotationPanel()
{
    if (loadPreviewResources() != 0) {
        releasePreviewResources();
        return;
    }
    previewReady = true;
    ResourceCatalogue* strings = resLoadStrings("zask_ops");
    const int windowHeight = 6 * rowUnit() + 82;
    PanelRequest request = makeRequest(windowWidth, static_cast<uint16_t>(windowHeight), resGetString(strings, 294));
    if (mreqCreateRequest(&request) == 0) {
        const GuiHandle handle = request.handle;
        DialogPanels panels = createPanels(handle, 3 * rowUnit() + 36, 5 * rowUnit() + 62);

        EffectSettings& s = effectSettings;
        struct {
            int32_t label;
            int32_t* setting;
            uint32_t key;
            GuiHandle element;
        } sliders[3] = {{253, &s.rotationX, 'x', 0}, {254, &s.rotationY, 'y', 0}, {255, &s.rotationZ, 'z', 0}};
        for (int row = 0; row < 3; ++row) {
            const uint16_t x = controlX(), y = rowY(row);
            sliders[row].element = mgAddSlider(handle, x, y, controlWidth, controlHeight(), -180, 180,
                                               *sliders[row].setting, resGetString(strings, sliders[row].label),
                                               resGetString(strings, 998), 0x130000, nullptr);
        }
        const GuiHandle previewButton = addPreviewButton(handle, panels, strings);
        for (const auto& slider : sliders)
            mgChangeElement(handle, slider.element, elementAttributeKey, slider.key, 0);
        mgChangeElement(handle, previewButton, elementAttributeKey, previewButtonKey, 0);

        stagingSettings = s;
        redrawPreview();
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
                // The picture keeps its last contents until the next change.
                runHostPreview();
            } else {
                for (const auto& slider : sliders) {
                    if (message.element == slider.element) {
                        *slider.setting = message.value;
                        redrawPreview();
                    }
                }
            }
        }
        removePanels(panels);
        mreqDeleteRequest(&request);
    }
    resFreeStrings(strings);
    releasePreviewResources();
}

void showLightPanel()
{
    if (loadPreviewResources() != 0) {
        releasePreviewResources();
        return;
    }
    previewReady = true;
    ResourceCatalogue* strings = resLoadStrings("zask_ops");
    const int windowHeight = 7 * rowUnit() + 90;
    PanelRequest request = makeRequest(windowWidth, static_cast<uint16_t>(windowHeight), resGetString(strings, 180));
    if (mreqCreateRequest(&request) == 0) {
        const GuiHandle handle = request.handle;
        DialogPanels panels = createPanels(handle, 6 * rowUnit() + 60, 6 * rowUnit() + 70);

        const void* antialiasingTexts[3] = {resGetString(strings, 191), resGetString(strings, 192),
                                            resGetString(strings, 298)};
        ListHeader* antialiasingList = buildList(3, popupTextItem, antialiasingTexts);
        const void* shadingTexts[3] = {resGetString(strings, 182), resGetString(strings, 183),
                                       resGetString(strings, 184)};
        ListHeader* shadingList = buildList(3, popupTextItem, shadingTexts);
        const void* thicknessTexts[4] = {resGetString(strings, 292), resGetString(strings, 297),
                                         resGetString(strings, 296), resGetString(strings, 295)};
        ListHeader* thicknessList = buildList(4, popupTextItem, thicknessTexts);
        const void* positionImages[9];
        const int32_t positionImageNumbers[9] = {33, 21, 22, 23, 24, 25, 26, 27, 28};
        for (int i = 0; i < 9; ++i)
            positionImages[i] = resGetImage(mgGetGuiResource(), positionImageNumbers[i]);
        ListHeader* positionList = buildList(9, popupImageItem, positionImages);

        EffectSettings& s = effectSettings;
        auto popup = [&](int row, ListHeader* list, int32_t setting, int32_t label) {
            const uint16_t x = controlX(), y = rowY(row);
            return mgAddPopup(handle, x, y, controlWidth, controlHeight(), list, static_cast<uint16_t>(setting),
                              resGetString(strings, label), 0, 0);
        };
        const GuiHandle shading = popup(0, shadingList, s.shadingMode, 181);
        const GuiHandle position = popup(1, positionList, s.lightPosition, 185);
        const uint16_t paletteX = controlX(), paletteY = rowY(2);
        const GuiHandle palette = mgAddPaletteButton(handle, paletteX, paletteY, 66, controlHeight(),
                                                     resGetString(strings, 186),
                                                     static_cast<uint32_t>(s.lightColour), 0, 0);
        const uint16_t sliderX = controlX(), sliderY = rowY(3);
        const GuiHandle intensity = mgAddSlider(handle, sliderX, sliderY, controlWidth, controlHeight(), 0, 100,
                                                s.lightIntensity, resGetString(strings, 187),
                                                resGetString(strings, 997), 0x130000, nullptr);
        const GuiHandle thickness = popup(4, thicknessList, s.thickness, 188);
        const GuiHandle antialiasing = popup(5, antialiasingList, s.antialiasing, 190);
        const GuiHandle previewButton = addPreviewButton(handle, panels, strings);

        // Without light the position, colour, intensity and look mean nothing.
        const GuiHandle dependents[5] = {position, palette, intensity, thickness, antialiasing};
        auto setDependents = [&](bool enabled) {
            for (GuiHandle element : dependents) {
                if (enabled)
                    mgEnableElement(handle, element);
                else
                    mgDisableElement(handle, element);
            }
        };
        if (s.shadingMode == 0)
            setDependents(false);
        const struct {
            GuiHandle element;
            uint32_t key;
        } keys[7] = {{thickness, 'g'}, {shading, 's'}, {position, 'p'},      {palette, 'l'},
                     {intensity, 'm'}, {antialiasing, 'a'}, {previewButton, previewButtonKey}};
        for (const auto& key : keys)
            mgChangeElement(handle, key.element, elementAttributeKey, key.key, 0);

        stagingSettings = s;
        redrawPreview();
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
            const GuiHandle element = message.element;
            if (element == request.okElement) {
                open = false;
            } else if (element == request.cancelElement) {
                s = stagingSettings;
                open = false;
            } else if (element == shading) {
                s.shadingMode = message.value;
                setDependents(s.shadingMode != 0);
                redrawPreview();
            } else if (element == antialiasing) {
                s.antialiasing = message.value;
                reloadPreview();
                redrawPreview();
            } else if (element == thickness) {
                s.thickness = message.value;
                reloadPreview();
                redrawPreview();
            } else if (element == position) {
                s.lightPosition = message.value;
                redrawPreview();
            } else if (element == palette) {
                PaletteRequestRecord colourRequest{};
                colourRequest.colour = static_cast<uint32_t>(s.lightColour);
                if (mreqPaletteRequest(&colourRequest) == 0 && colourRequest.result == 1) {
                    s.lightColour = static_cast<int32_t>(colourRequest.colour);
                    mgChangeElement(handle, palette, elementAttributeColour, colourRequest.colour, 1);
                }
                redrawPreview();
            } else if (element == intensity) {
                s.lightIntensity = message.value;
                redrawPreview();
            } else if (element == previewButton) {
                runHostPreview();
                redrawPreview();
            }
        }
        releaseList(shadingList);
        releaseList(positionList);
        releaseList(thicknessList);
        releaseList(antialiasingList);
        removePanels(panels);
        mreqDeleteRequest(&request);
    }
    resFreeStrings(strings);
    releasePreviewResources();
}
