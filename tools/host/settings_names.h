// The 17 words of the settings record by name, and "NAME=VALUE" edits.
#pragma once

#include <cstdint>
#include <string>

namespace zask {

extern const char* const settingNames[17];

// Index of the word, or -1.
int settingIndex(const std::string& name);

// Applies "NAME=VALUE" to the 68-byte block. VALUE is a decimal integer, or
// 0x followed by hex digits (lightColour). Errors say what is wrong.
bool applySetting(uint8_t* block, const std::string& assignment, std::string& error);

int32_t settingWord(const uint8_t* block, int index);

// Reads a preset file (exactly the 68 bytes of a settings block) into block.
bool readPreset(const std::string& path, uint8_t* block, std::string& error);

}  // namespace zask
