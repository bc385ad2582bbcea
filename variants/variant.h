// What each of the six operators defines for itself. The engine reads the one
// instance that the plug-in's own variant file provides.
#pragma once

#include <cstdint>

struct VariantDefinition {
    int number;                  // 1 .. 6
    const char* name;            // "Zask4"
    const char* version;         // "1.1"
    const char* versionText;     // "$Id: Zask4 1.1 ... $"
    const char* logSource;       // "src\\Zask4"
    uint32_t moduleId;
    const char* dataDirectory;   // "/programs/zask/zask4"
    int allocationLineOffset;    // buffer allocation (962 .. 995)
    int sceneLineOffset;         // scene selection and preview scene (1187, 1215, 1260)
    int letterLineOffset;        // letter list (2142 .. 2213) and preview resources
    const int* sceneTable;       // null for the random variant
    int sceneTableLength;
    bool randomScenes;
};

extern const VariantDefinition variant;

// Logs one failure the way every part of the engine does: severity 4, the
// variant's source name and module, message " ".
void logFailure(int line);
