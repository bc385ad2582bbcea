// What the whole-plug-in fuzz targets share: one plug-in linked in (zask6,
// the variant with the random scene choice and the three-row main panel) with
// the stand-in host behind it, a tiny clip, and the dialogs driven by script.
#pragma once

#include <cstdint>
#include <string>

#include "host/operator_interface.h"

namespace fuzzhost {

// KTHOME, a muted log, the preview's letter picture. Idempotent.
void prepare();

// The plug-in's 68-byte settings block.
int32_t* settingsBlock();

// A render bracket over a 16 x 8 clip: action 1, `fields` fields of a clip
// that long, action 2. Every image the plug-in took must be back afterwards
// (the background image of a failed field excepted), else it aborts.
void renderFields(TitleDocument* title, uint32_t fields);

// A title of two pages, three small letters.
TitleDocument* sampleTitle();

// Opens dialog `panel` (action 4) with a script of the toolkit's commands.
void openDialog(uint16_t panel, const std::string& script);

}  // namespace fuzzhost
