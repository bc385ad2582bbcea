#include "field/letter_layout.h"

#include <cstdlib>

#include "field/field_conversion.h"
#include "operator/engine_memory.h"
#include "variants/variant.h"

ListHeader letterList;
uint32_t letterCount;
static TitleDocument* currentTitle;

void forgetTitle()
{
    currentTitle = nullptr;
}

void freeLetterList()
{
    while (ListNode* node = lstRemoveHead(&letterList)) {
        LetterEntry* entry = reinterpret_cast<LetterEntry*>(node);
        if (entry->image != nullptr) {
            mtFreeLineImage(entry->image);
            entry->image = nullptr;
        }
        free(entry);
    }
}

int32_t buildLetterList(const ActionRequest* request, uint32_t pageLength)
{
    const int line = variant.letterLineOffset;
    letterCount = 0;
    lstInitList(&letterList);

    currentTitle = request->title;
    if (currentTitle == nullptr) {
        logFailure(2213 + line);
        return -1;
    }

    // Past the last page the last page is laid out again; once the title has
    // no next page every further call answers the same.
    const uint32_t pageNumber = request->position / pageLength;
    TitlePage* page = nullptr;
    for (uint64_t call = 0; call <= pageNumber; ++call) {
        TitlePage* next = mtNextPage(currentTitle, page);
        if (next == nullptr) {
            if (call == 0) {
                logFailure(2142 + line);
                return -1;
            }
            break;
        }
        page = next;
    }

    for (TitleBox* box = mtNextBox(page, nullptr); box != nullptr; box = mtNextBox(page, box)) {
        for (TitleLine* titleLine = mtNextLine(box, nullptr); titleLine != nullptr;
             titleLine = mtNextLine(box, titleLine)) {
            const int32_t count = titleLine->charCount;
            if (count > 0) {
                uint8_t rectangle[16] = {};
                if (mtBoundingBox(titleLine, rectangle, 0, count) != 0) {
                    freeLetterList();
                    logFailure(2168 + line);
                    return -1;
                }
            }
            for (int32_t i = 0; i < count; ++i) {
                LetterEntry* entry = static_cast<LetterEntry*>(allocateZeroedMemory(1, sizeof(LetterEntry)));
                if (entry == nullptr) {
                    freeLetterList();
                    logFailure(2204 + line);
                    return -1;
                }
                entry->line = titleLine;
                entry->charIndex = i;
                entry->image = nullptr;
                entry->boxX = box->left;
                entry->boxY = box->top;
                entry->letterNumber = static_cast<int32_t>(letterCount);
                int32_t pen = 0;
                if (mtPenPosition(titleLine, &pen, i) != 0) {
                    free(entry);
                    freeLetterList();
                    logFailure(2191 + line);
                    return -1;
                }
                ++letterCount;
                entry->penX = pen;
                lstAddTail(&letterList, &entry->links);
            }
        }
    }
    return 0;
}

void prepareLetter(LetterEntry* entry)
{
    entry->image = mtCreateLineImage(entry->line, entry->charIndex, 1, 0);
    if (entry->image == nullptr) {
        logFailure(668);
        return;
    }
    entry->hasInk = 0;
    HostImage* image = entry->image;
    // A picture without a positive size has no ink and is never drawn.
    const int64_t pixels =
        image->width > 0 && image->height > 0 ? int64_t{image->width} * image->height : 0;
    for (int64_t i = 0; i < pixels; ++i) {
        uint8_t* p = image->pixels + i * 4;
        const uint8_t alpha = p[0];
        uint8_t blue, green, red;
        hostPixelToColour(p, &blue, &green, &red);
        p[0] = blue;
        p[1] = green;
        p[2] = red;
        p[3] = alpha;
        if (alpha != 0)
            entry->hasInk = 1;
    }
}
