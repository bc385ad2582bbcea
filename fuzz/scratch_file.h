// Fuzz inputs that the code under test reads from a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzhost {

// A file of these bytes in a folder of this process; returns its path.
std::string writeScratchFile(const char* name, const uint8_t* data, size_t size);

}  // namespace fuzzhost
