// Book-keeping of every host image the stand-in hands to an operator, so that
// leaks, double releases and releases through the wrong function show up.
#pragma once

#include <cstdint>

#include "host/host_services.h"

namespace standin {

enum class ImageKind { field, allocated, lineImage };

struct ImageRecord {
    ImageKind kind;
    uint32_t position;  // fields: the field number asked for
};

// A new image with zeroed pixels, or null when the size is negative or memory is short.
HostImage* createImage(int32_t width, int32_t height, ImageKind kind, uint32_t position = 0);
const ImageRecord* findImage(const HostImage* image);
// Frees the image. A null image is ignored; an image the registry does not
// hold, or one of another kind than expected, is reported and counted.
// Returns false when the image was not a live one of the expected kind.
bool releaseImage(HostImage* image, ImageKind expected, const char* function);

}  // namespace standin
