// Which scenes and which letter object a render uses, and where they lie
// under the installation directory named by KTHOME.
#pragma once

#include <cstddef>

constexpr size_t pathBufferSize = 256;

extern char scenePath[pathBufferSize];
extern char objectPath[pathBufferSize];
extern int activeInMirror;
extern int activeOutMirror;

// KTHOME followed by `suffix` into a 256-byte buffer; false when KTHOME is
// unset or the path would not fit.
bool buildKthomePath(char* buffer, const char* suffix);
// The object file for a thickness of 0 .. 3.
const char* objectFileFor(int thickness);

int selectScenes();
int loadPreviewScene();
