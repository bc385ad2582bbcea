// Host video, title, logger and list services that the operators call.
// The host (or our stand-in for it) implements these with C linkage.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// ---------------------------------------------------------------- images

// Host pixels are {alpha, Cr, Cb, Y}. The record keeps the host's field order
// and widths; on a 64-bit build everything after the pointer moves by 4.
struct HostImage {
    uint8_t* pixels;       // rows of width * 4 bytes, no gaps
    int16_t width;
    int16_t height;
    uint8_t hostPrivate[20];
    int32_t top;           // line images: top row, from the top of the text box
    uint32_t hostPrivate2;
};
static_assert(offsetof(HostImage, pixels) == 0);
static_assert(offsetof(HostImage, width) == 8);
static_assert(offsetof(HostImage, height) == 10);
static_assert(offsetof(HostImage, top) == 32);
static_assert(sizeof(HostImage) == 40);

// ---------------------------------------------------------------- title library

// The document begins with its page count; the rest belongs to the host.
struct TitleDocument {
    uint32_t pageCount;
    uint32_t hostWord;
    void* hostData;
};
static_assert(offsetof(TitleDocument, pageCount) == 0);

struct TitlePage;  // opaque host handle

struct TitleBox {
    uint32_t hostWord;
    int32_t left;   // 1/64 pixel
    int32_t top;    // 1/64 pixel
    uint32_t hostWord2;
    void* hostData;
};
static_assert(offsetof(TitleBox, left) == 4);
static_assert(offsetof(TitleBox, top) == 8);

struct TitleLine {
    uint8_t hostPrivate[72];
    uint16_t charCount;
    uint16_t hostHalf;
    uint32_t hostWord;
    void* hostData;
};
static_assert(offsetof(TitleLine, charCount) == 72);

// ---------------------------------------------------------------- list library

// Nodes are allocated by the caller; their first bytes belong to the library.
struct ListNode {
    ListNode* next;
    ListNode* prev;
};
static_assert(sizeof(ListNode) == 16);

struct ListHeader {
    ListNode* head;
    ListNode* tail;
};
static_assert(sizeof(ListHeader) == 16);

// ---------------------------------------------------------------- oplib

HostImage* opGetField(int input, uint32_t position);
int32_t opPutField(HostImage* field);
int32_t opChkAbort(void);
int32_t opPreview(int32_t mode);

// oplibcommon
HostImage* opAllocImage(int32_t width, int32_t height, int32_t kind, int32_t flags);
void opFreeImage(HostImage* image);

// logger
void loggerMessage(int32_t severity, int32_t line, const char* source, uint32_t module,
                   const char* message);

// ktmerotitle
TitlePage* mtNextPage(TitleDocument* title, TitlePage* page);
TitleBox* mtNextBox(TitlePage* page, TitleBox* box);
TitleLine* mtNextLine(TitleBox* box, TitleLine* line);
int32_t mtBoundingBox(TitleLine* line, void* rectangle16, int32_t first, int32_t count);
int32_t mtPenPosition(TitleLine* line, int32_t* x, int32_t index);
HostImage* mtCreateLineImage(TitleLine* line, int32_t index, int32_t mode, int32_t flags);
void mtFreeLineImage(HostImage* image);

// ktlstlib
void lstInitList(ListHeader* list);
void lstAddTail(ListHeader* list, ListNode* node);
ListNode* lstFirst(ListHeader* list);
ListNode* lstNext(ListNode* node);
ListNode* lstRemoveHead(ListHeader* list);
void lstFreeList(ListHeader* list);

}  // extern "C"
