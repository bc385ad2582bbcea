// A small strict JSON reader (RFC 8259 grammar, no extensions) for the title
// documents the host program is given. Every value keeps where it started so
// that the title builder can point at the offending spot.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

struct JsonValue {
    enum class Kind { null, boolean, number, string, array, object };

    Kind kind = Kind::null;
    bool boolean = false;
    double number = 0.0;
    bool isInteger = false;   // written without fraction or exponent, and fits int64
    int64_t integer = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<JsonValue> members;  // in document order, each with its name in `name`
    std::string name;                // as a member of an object: its name
    int line = 1;
    int column = 1;

    const JsonValue* member(std::string_view key) const;
};

const char* jsonKindName(JsonValue::Kind kind);

// Parses the whole text as one JSON value. On failure returns false and sets
// error to "line L, column C: what".
bool parseJson(std::string_view text, JsonValue& result, std::string& error);

}  // namespace standin
