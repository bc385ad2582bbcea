// Arbitrary bytes as a preset file: loaded through the preset dialog, then
// rendered and shown in the light and look dialog.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_host.h"
#include "fuzz/scratch_file.h"
#include "standin/standin_control.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzhost::prepare();
    std::memset(fuzzhost::settingsBlock(), 0, 68);
    const std::string path = fuzzhost::writeScratchFile("preset", data, size);
    fuzzhost::openDialog(3, "archive load\nfile " + path + "\n");
    TitleDocument* title = fuzzhost::sampleTitle();
    fuzzhost::renderFields(title, 6);
    standin::freeTitle(title);
    fuzzhost::openDialog(2, "ok\n");
    return 0;
}
