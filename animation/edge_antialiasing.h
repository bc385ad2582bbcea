// Refines polygon outlines: every pixel on or next to a marked edge is
// rendered again at d x d samples and replaced by their average.
#pragma once

#include <cstdint>

// How a scene was last drawn, so that the pass can draw it again the same way.
struct SceneDrawRecord {
    int32_t sceneIndex;
    int32_t drawMirrorX;
    int32_t drawMirrorY;
    double drawLight[3];
};

// Index 0: the in scene (and the preview's), 1: the out scene.
extern SceneDrawRecord sceneDrawRecords[2];

void antialiasEdges(int recordIndex);

struct FillRegion;
// The same pass when every mark lies inside `marked` (the rows and columns the
// render just before wrote): the rest of the image cannot hold an edge pixel.
void antialiasEdgesWithin(int recordIndex, const FillRegion& marked);
