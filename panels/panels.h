// The settings dialogs: main panel, rotation and light panels, presets.
#pragma once

#include <cstdint>

#include "host/gui_toolkit.h"
#include "operator/effect_settings.h"

// Action 4: 0 main panel, 1 rotation panel, 2 light and look panel, 3 presets;
// any other number opens nothing.
void openPanel(uint16_t panel);

// The values a dialog puts back on Cancel; preset loads read into it.
extern EffectSettings stagingSettings;

constexpr int popupItemPoolSize = 30;
extern PopupItem* popupItemPool[popupItemPoolSize];
extern ListHeader* popupListHeader;
// Frees the pool's list header and every item, leaving all slots null.
void freePopupItems();

void showMainPanel();
void showRotationPanel();
void showLightPanel();

void runPresetRequest();
// 1 load, 2 save, 3 delete; the chosen path, or null.
const char* choosePresetFile(uint32_t mode);
void loadPreset();
void savePreset();
