#include "standin/json.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace standin {

namespace {

// Deep nesting would only exhaust the stack; titles need four levels.
constexpr int maximumDepth = 64;

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    bool parseDocument(JsonValue& result, std::string& error) {
        skipWhitespace();
        if (!parseValue(result, 0)) {
            error = error_;
            return false;
        }
        skipWhitespace();
        if (pos_ < text_.size()) {
            fail("unexpected text after the end of the document");
            error = error_;
            return false;
        }
        return true;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
    int line_ = 1;
    int column_ = 1;
    std::string error_;

    bool fail(const std::string& what) {
        if (error_.empty())
            error_ = "line " + std::to_string(line_) + ", column " + std::to_string(column_) + ": " + what;
        return false;
    }

    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return text_[pos_]; }

    void advance() {
        if (text_[pos_] == '\n') {
            ++line_;
            column_ = 1;
        } else {
            ++column_;
        }
        ++pos_;
    }

    void skipWhitespace() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            advance();
    }

    static std::string describe(char c) {
        if (c >= 0x20 && c < 0x7F) return std::string("'") + c + "'";
        char buffer[16];
        snprintf(buffer, sizeof buffer, "byte 0x%02X", static_cast<unsigned char>(c));
        return buffer;
    }

    bool expectLiteral(std::string_view word) {
        for (char c : word) {
            if (atEnd() || peek() != c) return fail("invalid literal (expected \"" + std::string(word) + "\")");
            advance();
        }
        return true;
    }

    bool parseValue(JsonValue& value, int depth) {
        if (atEnd()) return fail("unexpected end of the document, expected a value");
        value.line = line_;
        value.column = column_;
        char c = peek();
        switch (c) {
        case '{': return parseObject(value, depth);
        case '[': return parseArray(value, depth);
        case '"': value.kind = JsonValue::Kind::string; return parseString(value.text);
        case 't': value.kind = JsonValue::Kind::boolean; value.boolean = true; return expectLiteral("true");
        case 'f': value.kind = JsonValue::Kind::boolean; value.boolean = false; return expectLiteral("false");
        case 'n': value.kind = JsonValue::Kind::null; return expectLiteral("null");
        default:
            if (c == '-' || (c >= '0' && c <= '9')) return parseNumber(value);
            return fail("unexpected " + describe(c) + ", expected a value");
        }
    }

    bool parseObject(JsonValue& value, int depth) {
        if (depth >= maximumDepth) return fail("nesting deeper than " + std::to_string(maximumDepth) + " levels");
        value.kind = JsonValue::Kind::object;
        advance();
        skipWhitespace();
        if (!atEnd() && peek() == '}') {
            advance();
            return true;
        }
        std::set<std::string> seen;
        for (;;) {
            skipWhitespace();
            if (atEnd()) return fail("unexpected end of the document inside an object");
            if (peek() != '"') return fail("unexpected " + describe(peek()) + ", expected a member name in double quotes");
            int keyLine = line_, keyColumn = column_;
            std::string key;
            if (!parseString(key)) return false;
            if (!seen.insert(key).second) {
                line_ = keyLine;
                column_ = keyColumn;
                return fail("duplicate member \"" + key + "\"");
            }
            skipWhitespace();
            if (atEnd() || peek() != ':') return fail(atEnd() ? "unexpected end of the document, expected ':'" : "unexpected " + describe(peek()) + ", expected ':'");
            advance();
            skipWhitespace();
            value.members.emplace_back();
            value.members.back().name = std::move(key);
            if (!parseValue(value.members.back(), depth + 1)) return false;
            skipWhitespace();
            if (atEnd()) return fail("unexpected end of the document, expected ',' or '}'");
            if (peek() == ',') {
                advance();
                continue;
            }
            if (peek() == '}') {
                advance();
                return true;
            }
            return fail("unexpected " + describe(peek()) + ", expected ',' or '}'");
        }
    }

    bool parseArray(JsonValue& value, int depth) {
        if (depth >= maximumDepth) return fail("nesting deeper than " + std::to_string(maximumDepth) + " levels");
        value.kind = JsonValue::Kind::array;
        advance();
        skipWhitespace();
        if (!atEnd() && peek() == ']') {
            advance();
            return true;
        }
        for (;;) {
            skipWhitespace();
            value.items.emplace_back();
            if (!parseValue(value.items.back(), depth + 1)) return false;
            skipWhitespace();
            if (atEnd()) return fail("unexpected end of the document, expected ',' or ']'");
            if (peek() == ',') {
                advance();
                continue;
            }
            if (peek() == ']') {
                advance();
                return true;
            }
            return fail("unexpected " + describe(peek()) + ", expected ',' or ']'");
        }
    }

    static int hexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    bool parseHex4(uint32_t& code) {
        code = 0;
        for (int i = 0; i < 4; ++i) {
            if (atEnd()) return fail("unexpected end of the document inside a \\u escape");
            int d = hexDigit(peek());
            if (d < 0) return fail("invalid \\u escape: " + describe(peek()) + " is not a hex digit");
            code = code * 16 + static_cast<uint32_t>(d);
            advance();
        }
        return true;
    }

    static void appendUtf8(std::string& out, uint32_t code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool parseString(std::string& out) {
        advance();  // opening quote
        for (;;) {
            if (atEnd()) return fail("unterminated string");
            char c = peek();
            if (c == '"') {
                advance();
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) return fail("control character " + describe(c) + " inside a string");
            if (c != '\\') {
                out += c;
                advance();
                continue;
            }
            advance();
            if (atEnd()) return fail("unterminated string");
            char e = peek();
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                advance();
                uint32_t code;
                if (!parseHex4(code)) return false;
                if (code >= 0xDC00 && code <= 0xDFFF) return fail("unpaired low surrogate in \\u escape");
                if (code >= 0xD800 && code <= 0xDBFF) {
                    if (atEnd() || peek() != '\\') return fail("high surrogate not followed by a low surrogate");
                    advance();
                    if (atEnd() || peek() != 'u') return fail("high surrogate not followed by a low surrogate");
                    advance();
                    uint32_t low;
                    if (!parseHex4(low)) return false;
                    if (low < 0xDC00 || low > 0xDFFF) return fail("high surrogate not followed by a low surrogate");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(out, code);
                continue;
            }
            default:
                return fail("invalid escape \\" + std::string(1, e));
            }
            advance();
        }
    }

    bool parseNumber(JsonValue& value) {
        value.kind = JsonValue::Kind::number;
        size_t start = pos_;
        bool integral = true;
        if (peek() == '-') advance();
        if (atEnd() || !(peek() >= '0' && peek() <= '9')) return fail("invalid number: expected a digit");
        if (peek() == '0') {
            advance();
            if (!atEnd() && peek() >= '0' && peek() <= '9') return fail("invalid number: leading zero");
        } else {
            while (!atEnd() && peek() >= '0' && peek() <= '9') advance();
        }
        if (!atEnd() && peek() == '.') {
            integral = false;
            advance();
            if (atEnd() || !(peek() >= '0' && peek() <= '9')) return fail("invalid number: expected a digit after '.'");
            while (!atEnd() && peek() >= '0' && peek() <= '9') advance();
        }
        if (!atEnd() && (peek() == 'e' || peek() == 'E')) {
            integral = false;
            advance();
            if (!atEnd() && (peek() == '+' || peek() == '-')) advance();
            if (atEnd() || !(peek() >= '0' && peek() <= '9')) return fail("invalid number: expected a digit in the exponent");
            while (!atEnd() && peek() >= '0' && peek() <= '9') advance();
        }
        std::string literal(text_.substr(start, pos_ - start));
        value.number = std::strtod(literal.c_str(), nullptr);
        if (integral) {
            errno = 0;
            long long n = std::strtoll(literal.c_str(), nullptr, 10);
            if (errno == 0) {
                value.isInteger = true;
                value.integer = n;
            }
        }
        return true;
    }
};

}  // namespace

const JsonValue* JsonValue::member(std::string_view key) const {
    for (const JsonValue& value : members)
        if (value.name == key) return &value;
    return nullptr;
}

const char* jsonKindName(JsonValue::Kind kind) {
    switch (kind) {
    case JsonValue::Kind::null: return "null";
    case JsonValue::Kind::boolean: return "a boolean";
    case JsonValue::Kind::number: return "a number";
    case JsonValue::Kind::string: return "a string";
    case JsonValue::Kind::array: return "an array";
    case JsonValue::Kind::object: return "an object";
    }
    return "?";
}

bool parseJson(std::string_view text, JsonValue& result, std::string& error) {
    result = JsonValue{};
    return Parser(text).parseDocument(result, error);
}

}  // namespace standin
