// Arbitrary bytes as a YUV4MPEG2 file, through both readers of the host
// program: the exact mode's whole-clip reader and the everyday mode's
// streaming source with its chroma conversions.
#include <cstdint>
#include <string>

#include "fuzz/scratch_file.h"
#include "tools/host/video_io.h"
#include "tools/host/y4m.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fuzzhost::writeScratchFile("clip.y4m", data, size);
    std::string error;
    zask::Y4mClip clip;
    zask::readY4m(path, clip, error);
    auto source = zask::openY4m(path, error);
    if (source) {
        for (size_t k = 0; k < source->frameCount && k < 3; ++k)
            source->frame444(k);
    }
    return 0;
}
