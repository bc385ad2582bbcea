#include "panels/panels.h"

// The dialogs are built on the host's GUI toolkit; until that toolkit stands
// in, no panel opens.
void openPanel(uint16_t)
{
}
