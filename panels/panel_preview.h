// The small picture of one textured letter that the rotation and light
// panels show, drawn with the operator's own renderer.
#pragma once

#include <cstdint>

#include "host/gui_toolkit.h"

extern uint16_t previewWidth;    // 200
extern uint16_t previewHeight;   // 160 or 143
extern GuiHandle previewPanel;   // the preview area of the open dialog
extern uint8_t* previewBackground;
extern uint8_t* previewTexture;

// Preview-sized buffers, the image catalogue with image 998 and the empty
// scene. 0, or -1 after logging the first failure.
int loadPreviewResources();
// Safe after a load that stopped half-way, and when nothing was loaded.
void releasePreviewResources();
void drawPreview();
