#include "panels/panels.h"

#include <cstdlib>

EffectSettings stagingSettings;
PopupItem* popupItemPool[popupItemPoolSize];
ListHeader* popupListHeader;

void freePopupItems()
{
    // The items are plain blocks by now: the toolkit copied what it shows.
    std::free(popupListHeader);
    popupListHeader = nullptr;
    for (PopupItem*& item : popupItemPool) {
        std::free(item);
        item = nullptr;
    }
}

void openPanel(uint16_t panel)
{
    switch (panel) {
    case 0: showMainPanel(); break;
    case 1: showRotationPanel(); break;
    case 2: showLightPanel(); break;
    case 3: runPresetRequest(); break;
    default: break;
    }
}
