// Command-line options of the host program's commands: "--name value",
// "--name=value" and flags, each allowed once.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zask {

struct OptionSpec {
    std::string name;  // without the leading "--"
    bool takesValue;
    bool required;
    bool repeatable = false;  // every value kept, in order, in ParsedOptions::lists
};

struct ParsedOptions {
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    std::map<std::string, std::vector<std::string>> lists;  // repeatable options
    std::vector<std::string> positionals;
    bool help = false;

    bool has(const std::string& name) const {
        return values.count(name) != 0 || flags.count(name) != 0 || lists.count(name) != 0;
    }
    const std::string& value(const std::string& name) const { return values.at(name); }
    std::vector<std::string> all(const std::string& name) const {
        auto it = lists.find(name);
        return it == lists.end() ? std::vector<std::string>{} : it->second;
    }
};

// Parses argv[first..argc). Sets error and returns false for an unknown
// option, a missing value, a repeated option, a missing required option or a
// wrong number of positional arguments. With --help or -h nothing else is checked.
bool parseOptions(int argc, char** argv, int first, const std::vector<OptionSpec>& specs,
                  size_t positionalCount, const char* positionalName, ParsedOptions& parsed,
                  std::string& error);

// Strict decimal integer of the whole text within [low, high].
std::optional<long long> parseInteger(const std::string& text, long long low, long long high);

// "A:B" as two strict integers within [low, high].
bool parsePair(const std::string& text, long long low, long long high, long long& first, long long& second);

}  // namespace zask
