// The letters of the current title page, in reading order.
#pragma once

#include <cstdint>

#include "host/operator_interface.h"

struct LetterEntry {
    ListNode links;        // the list library's
    TitleLine* line;
    int32_t charIndex;
    HostImage* image;      // the character's picture, null until prepared
    int32_t penX;          // 1/64 pixel
    int32_t boxX;          // 1/64 pixel
    int32_t boxY;          // 1/64 pixel
    int32_t hasInk;
    int32_t letterNumber;
};

extern ListHeader letterList;
extern uint32_t letterCount;

int32_t buildLetterList(const ActionRequest* request, uint32_t pageLength);
void prepareLetter(LetterEntry* entry);
void freeLetterList();
void forgetTitle();
