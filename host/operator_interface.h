// The plug-in boundary as the host sees it: the request record, the descriptor
// tag list and the three exported entry points.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/host_services.h"

extern "C" {

struct ActionRequest {
    uint16_t action;
    uint16_t subCode;
    uint8_t flags;          // bit 0 draft render, bit 1 second field
    uint8_t hostBytes5[3];
    uint32_t clipLength;    // fields
    uint32_t position;      // field number
    uint32_t hostWords16[2];
    int16_t aspectNum;
    int16_t aspectDen;
    uint32_t hostWords28[3];
    TitleDocument* title;
};
static_assert(offsetof(ActionRequest, action) == 0);
static_assert(offsetof(ActionRequest, subCode) == 2);
static_assert(offsetof(ActionRequest, flags) == 4);
static_assert(offsetof(ActionRequest, clipLength) == 8);
static_assert(offsetof(ActionRequest, position) == 12);
static_assert(offsetof(ActionRequest, aspectNum) == 24);
static_assert(offsetof(ActionRequest, aspectDen) == 26);
static_assert(offsetof(ActionRequest, title) == 40);  // 36 on the 32-bit host, aligned here

enum : uint16_t {
    actionInitialise = 1,
    actionRelease = 2,
    actionRender = 3,
    actionOpenPanel = 4,
    actionCreateDataDirectory = 7,
};

enum : uint8_t {
    requestFlagDraft = 1,
    requestFlagSecondField = 2,
};

// One pair of the descriptor list: a number or an address.
struct OperatorTag {
    uint32_t tag;
    uintptr_t value;
};
static_assert(sizeof(OperatorTag) == 16);

enum : uint32_t {
    tagEnd = 0,
    tagWord0 = 0x4F504500,
    tagWord1 = 0x4F504501,
    tagActionEntry = 0x4F504503,
    tagPanel0 = 0x4F504504,
    tagPanel1 = 0x4F504505,
    tagPanel2 = 0x4F504506,
    tagPanel3 = 0x4F504507,
    tagSettings = 0x4F504509,
    tagWord0B = 0x4F50450B,
    tagWord0D = 0x4F50450D,
    tagVersion = 0x4F504510,
};

struct SettingsDescriptor {
    void* block;
    uint32_t size;
};

struct PanelLabel {
    uint16_t kind;
    uint16_t stringNumber;
    uint32_t mode;
};
static_assert(sizeof(PanelLabel) == 8);

using OperatorInfo = OperatorTag;

using GetOperatorInfoFunction = OperatorInfo* (*)(void);
using OperatorActionFunction = int32_t (*)(ActionRequest*);
using StruprFunction = char* (*)(char*);

}  // extern "C"
