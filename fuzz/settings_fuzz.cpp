// Arbitrary settings: the first 68 bytes are the 17 words of the settings
// block, the bytes after them the values a user gives the dialogs' controls.
// Each input runs a render bracket of a few fields and every settings dialog.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_host.h"
#include "standin/standin_control.h"

namespace {

// The next control value from the input, as the toolkit would deliver it.
struct Values {
    const uint8_t* data;
    size_t size;
    size_t next = 0;
    std::string take()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = v << 8 | (next < size ? data[next++] : 0);
        return std::to_string(v);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzhost::prepare();
    int32_t* block = fuzzhost::settingsBlock();
    std::memset(block, 0, 68);
    std::memcpy(block, data, size < 68 ? size : 68);
    Values values{data + (size < 68 ? size : 68), size < 68 ? 0 : size - 68};

    TitleDocument* title = fuzzhost::sampleTitle();
    fuzzhost::renderFields(title, 6);

    // Main panel: scenes, mirrors, durations, seed (labels 150 to 154, 290, 291).
    std::string script;
    for (int label : {150, 151, 152, 153, 154, 290, 291})
        script += "set " + std::to_string(label) + " " + values.take() + "\n";
    fuzzhost::openDialog(0, script + "ok\n");
    fuzzhost::openDialog(1, "ok\n");
    // Light and look: shading, position, intensity, thickness, antialiasing.
    script.clear();
    for (int label : {181, 185, 187, 188, 190})
        script += "set " + std::to_string(label) + " " + values.take() + "\n";
    fuzzhost::openDialog(2, script + "ok\n");

    // And once more with what the dialogs made of it.
    fuzzhost::renderFields(title, 4);
    standin::freeTitle(title);
    return 0;
}
