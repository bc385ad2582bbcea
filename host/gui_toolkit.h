// The host's GUI toolkit (ktmerogui), resource catalogues (ktmerores),
// requesters (ktmeroreq) and message queues (ktmsgq) that the settings dialogs
// are built from. The host (or our stand-in for it) implements these with C
// linkage. Records keep the host's field order and widths; pointer fields are
// native pointers, so on a 64-bit build the offsets after a pointer move.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host_services.h"

extern "C" {

// Element, panel and request handles are opaque 32-bit values; 0 means none.
using GuiHandle = uint32_t;

struct ResourceCatalogue;  // opaque host catalogue

// ---------------------------------------------------------------- records

struct PanelRequest {
    GuiHandle handle;          // out
    uint32_t zero4;
    uint16_t width;
    uint16_t height;
    uint32_t messageQueue;     // from msgQCreate
    uint32_t requestFlags;     // 0x10001e
    uint32_t alignment20;
    const char* titleText;
    uint32_t zero32;
    uint32_t zero36;
    uint32_t zero40;
    uint8_t unset44[12];
    GuiHandle okElement;       // out
    GuiHandle cancelElement;   // out
};
static_assert(offsetof(PanelRequest, handle) == 0);
static_assert(offsetof(PanelRequest, width) == 8);
static_assert(offsetof(PanelRequest, height) == 10);
static_assert(offsetof(PanelRequest, messageQueue) == 12);
static_assert(offsetof(PanelRequest, requestFlags) == 16);
static_assert(offsetof(PanelRequest, titleText) == 24);
static_assert(offsetof(PanelRequest, okElement) == 56);
static_assert(offsetof(PanelRequest, cancelElement) == 60);
static_assert(sizeof(PanelRequest) == 64);

enum : uint16_t {
    guiMessageOperated = 4,     // an element was operated: element, value
    guiMessageCloseCancel = 6,  // the window was closed: treated like Cancel
    guiMessageCloseKeep = 7,    // closed keeping the changes: treated like OK
};

struct GuiMessage {
    uint16_t kind;
    uint8_t hostBytes2[10];
    GuiHandle element;
    uint32_t hostWord16;
    int32_t value;
    uint8_t hostBytes24[20];
};
static_assert(offsetof(GuiMessage, kind) == 0);
static_assert(offsetof(GuiMessage, element) == 12);
static_assert(offsetof(GuiMessage, value) == 20);
static_assert(sizeof(GuiMessage) == 44);

enum : uint32_t {
    popupTextItem = 0x201,
    popupImageItem = 0x202,
};

// The first bytes are the list library's links.
struct PopupItem {
    ListNode links;
    uint32_t itemKind;
    uint32_t alignment20;
    const void* itemData;      // text or ResourceImage
    uint8_t zero32[24];
};
static_assert(offsetof(PopupItem, links) == 0);
static_assert(offsetof(PopupItem, itemKind) == 16);
static_assert(offsetof(PopupItem, itemData) == 24);
static_assert(sizeof(PopupItem) == 56);

// Shows a slider's value as text (frames and time for the durations).
using SliderFormatCallback = void (*)(int32_t value, char* text, int32_t textSize);

struct GadgetExtension {
    uint32_t word0;
    uint32_t word4;
    uint32_t word8;
    uint32_t word12;
    SliderFormatCallback formatCallback;
    uint16_t half24;
    uint16_t alignment26;
    uint32_t word28;
    uint32_t word32;
};
static_assert(offsetof(GadgetExtension, formatCallback) == 16);
static_assert(offsetof(GadgetExtension, half24) == 24);
static_assert(offsetof(GadgetExtension, word28) == 28);
static_assert(offsetof(GadgetExtension, word32) == 32);
static_assert(sizeof(GadgetExtension) == 40);

struct ResourceImage {
    int32_t width;
    int32_t height;
    uint8_t hostBytes8[8];
    uint8_t* pixels;           // 4 bytes a pixel, rows top to bottom
};
static_assert(offsetof(ResourceImage, width) == 0);
static_assert(offsetof(ResourceImage, height) == 4);
static_assert(offsetof(ResourceImage, pixels) == 16);
static_assert(sizeof(ResourceImage) == 24);

enum : uint32_t { panelImageFormatHost = 2 };

struct PanelImage {
    uint32_t zero0;
    uint16_t width;
    uint16_t height;
    uint32_t zero8;
    uint32_t alignment12;
    uint8_t* pixels;           // byte 1 Cr, byte 2 Cb, byte 3 Y
    uint32_t format;           // 2
    uint32_t alignment28;
};
static_assert(offsetof(PanelImage, width) == 4);
static_assert(offsetof(PanelImage, height) == 6);
static_assert(offsetof(PanelImage, pixels) == 16);
static_assert(offsetof(PanelImage, format) == 24);
static_assert(sizeof(PanelImage) == 32);

enum : uint32_t {
    fileRequestLoad = 1,
    fileRequestSave = 2,
    fileRequestDelete = 3,
};

struct FileRequestRecord {
    uint32_t zero0;
    uint32_t alignment4;
    const char* directory;
    uint32_t zero16;
    uint32_t mode;             // 1 load, 2 save, 3 delete
    char* pathBuffer;          // out: the full path of the chosen file
    uint16_t pathBufferSize;   // 256
    uint8_t alignment34[6];
    char* secondBuffer;
    uint16_t secondBufferSize; // 1024
    uint16_t alignment50;
    int32_t result;            // out: 1 when a file was chosen
};
static_assert(offsetof(FileRequestRecord, directory) == 8);
static_assert(offsetof(FileRequestRecord, mode) == 20);
static_assert(offsetof(FileRequestRecord, pathBuffer) == 24);
static_assert(offsetof(FileRequestRecord, pathBufferSize) == 32);
static_assert(offsetof(FileRequestRecord, secondBuffer) == 40);
static_assert(offsetof(FileRequestRecord, secondBufferSize) == 48);
static_assert(offsetof(FileRequestRecord, result) == 52);
static_assert(sizeof(FileRequestRecord) == 56);

struct PaletteRequestRecord {
    uint32_t zero0;
    uint32_t zero4;
    uint32_t colour;           // in and out: a host pixel packed in a word
    uint32_t unset12;
    int32_t result;            // out: 1 when a colour was chosen
};
static_assert(offsetof(PaletteRequestRecord, colour) == 8);
static_assert(offsetof(PaletteRequestRecord, result) == 16);
static_assert(sizeof(PaletteRequestRecord) == 20);

enum : int32_t {
    archiveActionLoad = 4,
    archiveActionSave = 5,
    archiveActionDelete = 6,
};

struct ArchiveRequestRecord {
    const char* titleText;
    int32_t chosenAction;      // out: 4 load, 5 save, 6 delete
    uint32_t alignment12;
};
static_assert(offsetof(ArchiveRequestRecord, chosenAction) == 8);
static_assert(sizeof(ArchiveRequestRecord) == 16);

enum : uint32_t {
    panelFlagsGroup = 64,
    panelFlagsImage = 1024,
    elementAttributeKey = 57,
    elementAttributeColour = 5,
};

// ---------------------------------------------------------------- ktmsgq

uint32_t msgQCreate(int32_t messages, int32_t messageSize, int32_t flags);

// ---------------------------------------------------------------- ktmerores

ResourceCatalogue* resLoadStrings(const char* name);
ResourceCatalogue* resLoadImages(const char* name);
void resFreeStrings(ResourceCatalogue* catalogue);
void resFreeImages(ResourceCatalogue* catalogue);
const char* resGetString(ResourceCatalogue* catalogue, int32_t number);
ResourceImage* resGetImage(ResourceCatalogue* catalogue, int32_t number);

// ---------------------------------------------------------------- ktmeroreq

int32_t mreqCreateRequest(PanelRequest* request);
void mreqDeleteRequest(PanelRequest* request);
int32_t mreqFileRequest(FileRequestRecord* request);
int32_t mreqPaletteRequest(PaletteRequestRecord* request);
int32_t mreqArchivesRequest(ArchiveRequestRecord* request);

// ---------------------------------------------------------------- ktmerogui

int32_t mgGetDefaultMonitor(void);
int32_t mgGetFontHeightMonitor(int32_t monitor);
int32_t mgGetAddHeight(void);
int32_t mgGetVideoMode(void);
ResourceCatalogue* mgGetGuiResource(void);

GuiHandle mgCreatePanel(GuiHandle request, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                        uint32_t panelFlags, int32_t zero1, int32_t zero2);
void mgRemovePanel(GuiHandle panel);
GuiHandle mgAddPopup(GuiHandle request, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                     ListHeader* items, uint32_t selected, const char* label, int32_t zero1, int32_t zero2);
GuiHandle mgAddSlider(GuiHandle request, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                      int32_t minimum, int32_t maximum, int32_t value, const char* label,
                      const char* secondText, uint32_t sliderFlags, GadgetExtension* extension);
GuiHandle mgAddTextButton(GuiHandle request, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                          const char* label, int32_t zero1, int32_t zero2);
GuiHandle mgAddPaletteButton(GuiHandle request, uint16_t x, uint16_t y, uint16_t width, uint16_t height,
                             const char* label, uint32_t colour, int32_t zero1, int32_t zero2);
int32_t mgChangeElement(GuiHandle request, GuiHandle element, uint32_t attribute, uint32_t value, int32_t last);
int32_t mgEnableElement(GuiHandle request, GuiHandle element);
int32_t mgDisableElement(GuiHandle request, GuiHandle element);
int32_t mgMsgQReceive(GuiMessage* message, int32_t timeout);
void mgPointerBeep(void);
int32_t mgWriteImage(GuiHandle panel, PanelImage* image, int32_t x, int32_t y);
GadgetExtension* mgAllocGadExt(void);
void mgFreeGadExt(GadgetExtension* extension);
void mgSliderCallbackFramesTime(int32_t value, char* text, int32_t textSize);

}  // extern "C"
