// Loading a plug-in and reading its descriptor, through the three exported
// entry points only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/operator_interface.h"

namespace zask {

class Plugin {
public:
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    // dlopen(RTLD_NOW | RTLD_LOCAL) and resolve GetOperatorInfo, OperatorAction
    // and strupr. On failure returns null and sets error to "PATH: what".
    static std::unique_ptr<Plugin> load(const std::string& path, std::string& error);

    GetOperatorInfoFunction getOperatorInfo = nullptr;
    OperatorActionFunction operatorAction = nullptr;
    StruprFunction strupr = nullptr;

private:
    Plugin() = default;
    void* handle_ = nullptr;
};

// The tags of a descriptor up to (not including) the end tag. A list without
// an end tag within a sane length is refused.
bool readDescriptor(const OperatorInfo* info, std::vector<OperatorTag>& tags, std::string& error);
const OperatorTag* findTag(const std::vector<OperatorTag>& tags, uint32_t tag);

// What the version text "$Id: Zask4 1.1 2015/11/10 ... $" says.
struct VersionText {
    std::string name;     // "Zask4"
    std::string version;  // "1.1"
    int number = 0;       // 4, or 0 when the name is not ZaskN with N 1..6
};
std::optional<VersionText> parseVersionText(const char* text);

// The log module identifier of ZaskN: the descriptor does not carry it.
uint32_t moduleIdentifier(int number);

// The settings block the descriptor points to, when it is exactly 68 bytes.
uint8_t* settingsBlock(const std::vector<OperatorTag>& tags, std::string& error);

}  // namespace zask
