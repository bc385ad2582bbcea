#include <gtest/gtest.h>

#include <string>

#include "standin/json.h"

using standin::JsonValue;
using standin::parseJson;

namespace {

struct BadJson {
    const char* text;
    const char* error;  // full "line L, column C: what"
};

void PrintTo(const BadJson& c, std::ostream* os) { *os << c.text; }

class JsonErrorTest : public testing::TestWithParam<BadJson> {};

TEST_P(JsonErrorTest, ReportsWhereAndWhat) {
    JsonValue value;
    std::string error;
    EXPECT_FALSE(parseJson(GetParam().text, value, error));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, JsonErrorTest,
    testing::Values(
        BadJson{"", "line 1, column 1: unexpected end of the document, expected a value"},
        BadJson{"{\"a\": 1,}", "line 1, column 9: unexpected '}', expected a member name in double quotes"},
        BadJson{"[1, 2,]", "line 1, column 7: unexpected ']', expected a value"},
        BadJson{"[1 2]", "line 1, column 4: unexpected '2', expected ',' or ']'"},
        BadJson{"{\n  \"a\": 1\n  \"b\": 2}", "line 3, column 3: unexpected '\"', expected ',' or '}'"},
        BadJson{"{\"a\" 1}", "line 1, column 6: unexpected '1', expected ':'"},
        BadJson{"{\"a\": 1, \"a\": 2}", "line 1, column 10: duplicate member \"a\""},
        BadJson{"01", "line 1, column 2: invalid number: leading zero"},
        BadJson{"-", "line 1, column 2: invalid number: expected a digit"},
        BadJson{"1.", "line 1, column 3: invalid number: expected a digit after '.'"},
        BadJson{"1e", "line 1, column 3: invalid number: expected a digit in the exponent"},
        BadJson{"\"abc", "line 1, column 5: unterminated string"},
        BadJson{"\"a\tb\"", "line 1, column 3: control character byte 0x09 inside a string"},
        BadJson{"\"\\x\"", "line 1, column 3: invalid escape \\x"},
        BadJson{"\"\\u12G4\"", "line 1, column 6: invalid \\u escape: 'G' is not a hex digit"},
        BadJson{"\"\\uDC00\"", "line 1, column 8: unpaired low surrogate in \\u escape"},
        BadJson{"tru", "line 1, column 4: invalid literal (expected \"true\")"},
        BadJson{"// note\n{}", "line 1, column 1: unexpected '/', expected a value"},
        BadJson{"{} {}", "line 1, column 4: unexpected text after the end of the document"},
        BadJson{"'a'", "line 1, column 1: unexpected ''', expected a value"}));

TEST(JsonTest, ReadsEveryKindWithPositions) {
    JsonValue value;
    std::string error;
    ASSERT_TRUE(parseJson("{\"n\": -12, \"f\": 2.5e1, \"s\": \"a\\u00e9\\n\",\n \"l\": [true, false, null]}", value, error))
        << error;
    ASSERT_EQ(value.kind, JsonValue::Kind::object);
    const JsonValue* n = value.member("n");
    ASSERT_NE(n, nullptr);
    EXPECT_TRUE(n->isInteger);
    EXPECT_EQ(n->integer, -12);
    const JsonValue* f = value.member("f");
    EXPECT_FALSE(f->isInteger);
    EXPECT_EQ(f->number, 25.0);
    EXPECT_EQ(value.member("s")->text, "a\xC3\xA9\n");
    const JsonValue* l = value.member("l");
    ASSERT_EQ(l->items.size(), 3u);
    EXPECT_EQ(l->line, 2);
    EXPECT_EQ(l->column, 7);
    EXPECT_TRUE(l->items[0].boolean);
    EXPECT_EQ(l->items[2].kind, JsonValue::Kind::null);
    EXPECT_EQ(value.member("missing"), nullptr);
}

TEST(JsonTest, SurrogatePairBecomesOneCodePoint) {
    JsonValue value;
    std::string error;
    ASSERT_TRUE(parseJson("\"\\uD83D\\uDE00\"", value, error)) << error;
    EXPECT_EQ(value.text, "\xF0\x9F\x98\x80");
}

TEST(JsonTest, IntegerBeyondInt64IsNotAnInteger) {
    JsonValue value;
    std::string error;
    ASSERT_TRUE(parseJson("99999999999999999999", value, error));
    EXPECT_FALSE(value.isInteger);
}

TEST(JsonTest, DeepNestingIsRefusedNotOverflowed) {
    std::string deep(100000, '[');
    JsonValue value;
    std::string error;
    EXPECT_FALSE(parseJson(deep, value, error));
    EXPECT_NE(error.find("nesting deeper than"), std::string::npos) << error;
}

}  // namespace
