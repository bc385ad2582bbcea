// Geometry shared by the dialogs: rows of controls whose height follows the
// host's font, fetched afresh at each use because the host may change it.
#pragma once

#include <cstdint>

#include "host/gui_toolkit.h"

namespace panel_layout {

// fh + ah: font height of the default monitor plus the extra row height.
inline int rowUnit()
{
    const uint16_t fontHeight = static_cast<uint16_t>(mgGetFontHeightMonitor(mgGetDefaultMonitor()));
    const uint16_t addHeight = static_cast<uint16_t>(mgGetAddHeight());
    return fontHeight + addHeight;
}

inline uint16_t rowY(int row)
{
    return static_cast<uint16_t>(8 + row * (rowUnit() + 8));
}

inline uint16_t controlHeight()
{
    return static_cast<uint16_t>(rowUnit() + 4);
}

constexpr uint32_t requestFlags = 0x10001e;
constexpr uint32_t previewButtonKey = 57360;
constexpr int32_t previewButtonLabel = 189;

// The request record every dialog fills before mreqCreateRequest.
inline PanelRequest makeRequest(uint16_t width, uint16_t height, const char* title)
{
    PanelRequest request{};
    request.width = width;
    request.height = height;
    request.messageQueue = msgQCreate(10, 44, 0);
    request.requestFlags = requestFlags;
    request.titleText = title;
    return request;
}

}  // namespace panel_layout
