// The settings dialogs.
#pragma once

#include <cstdint>

void openPanel(uint16_t panel);
