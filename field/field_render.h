// Everything done for one video field, in order.
#pragma once

#include <cstdint>

#include "host/operator_interface.h"

extern int32_t scenesLoaded;
extern uint32_t currentPage;
extern double fieldLight[3];
extern uint8_t blankTexture[4096];

int32_t renderField(const ActionRequest* request);

// A freshly allocated coverage buffer may hold anything.
void forgetCoverageContents();

// Light position x and y (world units) of the nine positions.
extern const double lightPositions[9][2];
// Light colour word to blue, green, red levels on a 0 .. 100 scale.
void setLightLevelsFromColour(int32_t lightColour);
