#include "tools/host/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "tools/host/commands.h"

namespace zask {

// Here rather than in main.cpp, so the program's parts link without it.
int usageError(const char* command, const std::string& message) {
    std::fprintf(stderr, "zask %s: %s\n", command, message.c_str());
    return exitUsage;
}

bool parseOptions(int argc, char** argv, int first, const std::vector<OptionSpec>& specs,
                  size_t positionalCount, const char* positionalName, ParsedOptions& parsed,
                  std::string& error) {
    for (int i = first; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            return true;
        }
    }
    for (int i = first; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "--") {
            if (arg.size() > 1 && arg[0] == '-') {
                error = "unknown option " + arg;
                return false;
            }
            parsed.positionals.push_back(arg);
            continue;
        }
        std::string name = arg.substr(2);
        std::optional<std::string> inlineValue;
        if (auto eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const OptionSpec* spec = nullptr;
        for (const auto& s : specs)
            if (s.name == name) spec = &s;
        if (spec == nullptr) {
            error = "unknown option --" + name;
            return false;
        }
        if (parsed.has(name) && !spec->repeatable) {
            error = "option --" + name + " given twice";
            return false;
        }
        if (!spec->takesValue) {
            if (inlineValue) {
                error = "option --" + name + " takes no value";
                return false;
            }
            parsed.flags.insert(name);
            continue;
        }
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else {
            if (i + 1 >= argc) {
                error = "option --" + name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (spec->repeatable)
            parsed.lists[name].push_back(value);
        else
            parsed.values[name] = value;
    }
    for (const auto& s : specs) {
        if (s.required && !parsed.has(s.name)) {
            error = "missing option --" + s.name;
            return false;
        }
    }
    if (parsed.positionals.size() != positionalCount) {
        if (parsed.positionals.size() < positionalCount)
            error = std::string("missing ") + positionalName;
        else
            error = "unexpected argument " + parsed.positionals[positionalCount];
        return false;
    }
    return true;
}

std::optional<long long> parseInteger(const std::string& text, long long low, long long high) {
    if (text.empty() || !(text[0] == '-' || (text[0] >= '0' && text[0] <= '9'))) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size() || value < low || value > high) return std::nullopt;
    return value;
}

bool parsePair(const std::string& text, long long low, long long high, long long& first, long long& second) {
    auto colon = text.find(':');
    if (colon == std::string::npos) return false;
    auto a = parseInteger(text.substr(0, colon), low, high);
    auto b = parseInteger(text.substr(colon + 1), low, high);
    if (!a || !b) return false;
    first = *a;
    second = *b;
    return true;
}

}  // namespace zask
