// Entry points and process-wide state of the plug-in boundary.
#pragma once

#include <cstdint>

#include "host/operator_interface.h"

extern "C" {
__attribute__((visibility("default"))) OperatorInfo* GetOperatorInfo(void);
__attribute__((visibility("default"))) int32_t OperatorAction(ActionRequest* request);
__attribute__((visibility("default"))) char* strupr(char* text);
}

int32_t initialiseRender();
int32_t releaseRender();
void createDataDirectory();
void setAaFactorFromSettings();
