// Shared between the stand-in's toolkit, resource and video files.
#pragma once

#include <cstdint>
#include <string>

#include "host/gui_toolkit.h"

namespace standin {

// One line of the GUI trace.
void traceGui(const std::string& line);
// "#310" for a text from a loaded string catalogue, else the text quoted.
std::string describeText(const char* text);
// Catalogue string number of a text, or -1.
int stringNumberOf(const char* text);
// "image 33" for a catalogue image, else "image ?".
std::string describeImage(const void* image);
// Frees every catalogue and override.
void resetResources();
uint64_t openCatalogueCount();
// What opPreview answers.
int32_t runPreviewHandler();

}  // namespace standin
