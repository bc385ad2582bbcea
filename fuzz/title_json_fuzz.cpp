// Arbitrary bytes as a title document; what parses is rendered over a tiny
// clip, so the letter layout meets every title the parser lets through.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_host.h"
#include "standin/standin_control.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzhost::prepare();
    std::string error;
    TitleDocument* title = standin::parseTitle(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (title == nullptr)
        return 0;
    fuzzhost::renderFields(title, 6);
    standin::freeTitle(title);
    return 0;
}
