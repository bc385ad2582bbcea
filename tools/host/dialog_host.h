// What the dialog commands (panel, presets, preview) share: a plug-in loaded
// for its settings dialogs, its settings block, and the settings file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/host/plugin_loader.h"

namespace zask {

struct DialogHost {
    std::unique_ptr<Plugin> plugin;
    std::string pluginPath;
    uint8_t* settings = nullptr;  // the plug-in's 68-byte block
    int variantNumber = 0;        // 1 .. 6, or 0 when the version text does not say
};

// "zask4" or "4" names build/<preset>/lib/zask4.so beside this program;
// anything with a slash or ending in .so is a path.
std::string resolvePlugin(const std::string& pluginOrVariant);
// $KTHOME when set, else the build's own tree beside the program, else the
// shared conformance fixtures.
std::string dialogKthome();

// Loads the plug-in, calls GetOperatorInfo and finds its settings block.
bool openDialogHost(const std::string& pluginOrVariant, DialogHost& host, std::string& error);

// A settings file of exactly 68 bytes.
bool readSettingsFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);
// Written to a temporary file and renamed into place.
bool writeSettingsFile(const std::string& path, const uint8_t* bytes, std::string& error);

// Action 4 with the panel number.
void openPanelAction(DialogHost& host, uint16_t panel);

// "inScene 0 -> 3" for every word that differs.
std::vector<std::string> settingChanges(const uint8_t* before, const uint8_t* after);

bool fileExists(const std::string& path);

}  // namespace zask
