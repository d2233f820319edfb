#include <gtest/gtest.h>

#include "settings/JsonReader.h"
#include "settings/Utf8Check.h"

namespace orvex {
namespace {

std::string JsonErrorOf(std::string_view text) {
    const JsonParse parsed = ParseJson(text);
    EXPECT_FALSE(parsed.value) << text;
    return parsed.error;
}

TEST(JsonReader, ReadsValuesOfEveryKind) {
    const JsonParse parsed = ParseJson(
        "\xEF\xBB\xBF { \"a\": [1, -0.5, 2e3, true, false, null], \"s\": \"q\\\"\\\\\\/\\b\\f\\n\\r\\t\\u00e9\\ud83d\\ude00\","
        " \"o\": {}, \"e\": [] }\n");
    ASSERT_TRUE(parsed.value) << parsed.error;
    const JsonValue& doc = *parsed.value;
    ASSERT_EQ(doc.kind, JsonValue::Kind::Object);
    const JsonValue* a = doc.Find("a");
    ASSERT_TRUE(a && a->items.size() == 6);
    EXPECT_EQ(a->items[1].number, -0.5);
    EXPECT_EQ(a->items[1].text, "-0.5");
    EXPECT_EQ(a->items[2].number, 2000);
    EXPECT_TRUE(a->items[3].boolean);
    EXPECT_EQ(a->items[5].kind, JsonValue::Kind::Null);
    EXPECT_EQ(doc.Find("s")->text, "q\"\\/\b\f\n\r\t\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(doc.Find("o")->kind, JsonValue::Kind::Object);
    EXPECT_EQ(doc.Find("e")->kind, JsonValue::Kind::Array);
    EXPECT_EQ(doc.Find("missing"), nullptr);
}

TEST(JsonReader, RefusesMalformedDocumentsNamingThePlace) {
    EXPECT_EQ(JsonErrorOf("{\"a\": 1,\n \"a\": 2}"), "line 2, column 2: the name \"a\" appears twice");
    EXPECT_EQ(JsonErrorOf("{\"a\": 1} x"), "line 1, column 10: unexpected text after the end of the document");
    EXPECT_EQ(JsonErrorOf(""), "line 1, column 1: the document ends where a value should be");
    EXPECT_EQ(JsonErrorOf("[1,]"), "line 1, column 4: expected a value");
    EXPECT_EQ(JsonErrorOf("{\"a\" 1}"), "line 1, column 6: expected ':' after a name");
    EXPECT_EQ(JsonErrorOf("1e999"), "line 1, column 1: the number 1e999 is out of range");
    for (const char* bad : {"01", "+1", "1.", ".5", "1e", "-", "NaN", "Infinity", "tru", "'a'", "{a: 1}", "[1 2]",
                            "\"\\x\"", "\"\\u12\"", "\"\\ud800\"", "\"\\udc00\"", "\"a\tb\"", "\"open", "{\"a\":1"})
        EXPECT_FALSE(ParseJson(bad).value) << bad;
}

TEST(JsonReader, RefusesDeepNestingAndForeignEncodings) {
    const std::string deep = std::string(kJsonMaxDepth, '[') + std::string(kJsonMaxDepth, ']');
    EXPECT_TRUE(ParseJson(deep).value);
    EXPECT_NE(JsonErrorOf("[" + deep + "]").find("nested too deeply"), std::string::npos);
    // Far deeper than any stack would take if it were followed.
    EXPECT_NE(JsonErrorOf(std::string(1'000'000, '[')).find("nested too deeply"), std::string::npos);
    EXPECT_EQ(JsonErrorOf("{\"a\": \"caf\xE9\"}"), "the text is not UTF-8 (byte offset 10); save it as UTF-8 and try again");
}

// As large an object as an import takes: read in one pass, its duplicate
// found at the end (a scan of the names so far would run for minutes).
TEST(JsonReader, ALargeObjectIsReadWithoutRescanningItsNames) {
    std::string doc = "{";
    for (int i = 0; i < 100'000; ++i) doc += "\"" + std::to_string(i) + "\":0,";
    const JsonParse whole = ParseJson(doc.substr(0, doc.size() - 1) + "}");
    ASSERT_TRUE(whole.value) << whole.error;
    EXPECT_EQ(whole.value->names.size(), 100'000u);
    EXPECT_NE(JsonErrorOf(doc + "\"99999\":1}").find("\"99999\" appears twice"), std::string::npos);
}

TEST(Utf8Check, FindsTheFirstBadByte) {
    EXPECT_EQ(FirstInvalidUtf8("plain \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), std::nullopt);
    EXPECT_EQ(FirstInvalidUtf8("ab\xC0\xAF"), 2u);             // overlong "/"
    EXPECT_EQ(FirstInvalidUtf8("a\xED\xA0\x80"), 1u);          // a surrogate
    EXPECT_EQ(FirstInvalidUtf8("\xF4\x90\x80\x80"), 0u);       // beyond U+10FFFF
    EXPECT_EQ(FirstInvalidUtf8("ok\xE2\x82"), 2u);             // cut short
    EXPECT_EQ(FirstInvalidUtf8("\x80"), 0u);                   // a lone continuation byte
    EXPECT_EQ(FirstInvalidUtf8(std::string_view("a\0b", 3)), std::nullopt);
}

}  // namespace
}  // namespace orvex
