#include <gtest/gtest.h>

#include <string>

#include "tools/vorlantctl/Json.h"

namespace vorlant::ctl {
namespace {

TEST(JsonReader, ReadsTheValueKindsItSupports) {
    JsonValue v;
    JsonError e;
    ASSERT_TRUE(
        parseJson(" {\"a\": 1, \"b\": -42, \"s\": \"x\\\"y\\\\z\\n\\u00e9\\ud83d\\ude00\", \"t\": true,"
                  " \"f\": false, \"n\": null, \"arr\": [1, [2], {}], \"o\": {\"k\": 0}}\r\n",
                  v, e))
        << e.describe();
    ASSERT_EQ(v.type, JsonValue::Type::Object);
    ASSERT_EQ(v.members.size(), 8u);
    EXPECT_EQ(v.members[0].first, "a");  // file order is kept
    EXPECT_EQ(v.find("a")->integer, 1);
    EXPECT_EQ(v.find("b")->integer, -42);
    EXPECT_EQ(v.find("s")->text, "x\"y\\z\n\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_TRUE(v.find("t")->boolean);
    EXPECT_EQ(v.find("f")->type, JsonValue::Type::Bool);
    EXPECT_FALSE(v.find("f")->boolean);
    EXPECT_EQ(v.find("n")->type, JsonValue::Type::Null);
    EXPECT_EQ(v.find("arr")->items.size(), 3u);
    EXPECT_EQ(v.find("o")->find("k")->integer, 0);
    EXPECT_EQ(v.find("missing"), nullptr);
}

TEST(JsonReader, IntegersOverTheWhole64BitRange) {
    JsonValue v;
    JsonError e;
    ASSERT_TRUE(parseJson("[-9223372036854775808, 9223372036854775807, 0, -0]", v, e)) << e.describe();
    EXPECT_EQ(v.items[0].integer, INT64_MIN);
    EXPECT_EQ(v.items[1].integer, INT64_MAX);
    EXPECT_EQ(v.items[3].integer, 0);
}

TEST(JsonReader, AByteOrderMarkIsNotContent) {
    JsonValue v;
    JsonError e;
    EXPECT_TRUE(parseJson("\xEF\xBB\xBF{\"a\": 1}", v, e)) << e.describe();
}

TEST(JsonReader, MalformedInputGivesThePlace) {
    struct Case {
        const char* text;
        size_t line;
        size_t column;
        const char* message;  // a part of the message
    };
    const Case cases[] = {
        {"", 1, 1, "empty"},
        {"   \n  ", 2, 3, "empty"},
        {"{", 1, 2, "end of input"},
        {"{\"a\" 1}", 1, 6, "':'"},
        {"{\"a\":1,}", 1, 8, "string key"},
        {"{\"a\":1 \"b\":2}", 1, 8, "',' or '}'"},
        {"{\"a\":1", 1, 7, "end of input"},
        {"[1 2]", 1, 4, "',' or ']'"},
        {"{\"a\":01}", 1, 6, "leading zeros"},
        {"{\"a\":1.5}", 1, 7, "integers"},
        {"{\"a\":1e3}", 1, 7, "integers"},
        {"{\"a\":-}", 1, 7, "digit"},
        {"{\"a\":+1}", 1, 6, "'+'"},
        {"{\"a\":9223372036854775808}", 1, 6, "out of range"},
        {"{\"a\":-9223372036854775809}", 1, 6, "out of range"},
        {"{\"a\":\"x}", 1, 6, "unterminated string"},
        {"{\"a\":\"\\q\"}", 1, 7, "invalid escape"},
        {"{\"a\":\"\\u12G4\"}", 1, 11, "hexadecimal"},
        {"{\"a\":\"\\ud800x\"}", 1, 7, "surrogate"},
        {"{\"a\":\"\\udc00\"}", 1, 7, "surrogate"},
        {"{\"a\":\"tab\there\"}", 1, 10, "control character"},
        {"{\"a\":1,\"a\":2}", 1, 8, "duplicate key \"a\""},
        {"{\"a\":tru}", 1, 6, "a value"},
        {"{\"a\":True}", 1, 6, "a value"},
        {"{'a':1}", 1, 2, "'''"},
        {"{} x", 1, 4, "after the end"},
        {"{}{}", 1, 3, "after the end"},
        {"{\n  \"a\": 1,\n  \"b\": ]\n}", 3, 8, "a value"},
        {"{\"a\":\x01}", 1, 6, "byte 0x01"},
    };
    for (const Case& c : cases) {
        JsonValue v;
        JsonError e;
        EXPECT_FALSE(parseJson(c.text, v, e)) << c.text;
        EXPECT_EQ(e.line, c.line) << c.text << " -> " << e.describe();
        EXPECT_EQ(e.column, c.column) << c.text << " -> " << e.describe();
        EXPECT_NE(e.message.find(c.message), std::string::npos) << c.text << " -> " << e.describe();
        EXPECT_EQ(v.type, JsonValue::Type::Null) << "a failed parse leaves no partial value";
    }
}

TEST(JsonReader, DeepNestingIsRefusedNotRecursedInto) {
    JsonValue v;
    JsonError e;
    std::string ok(kJsonMaxDepth, '[');
    ok += std::string(kJsonMaxDepth, ']');
    EXPECT_TRUE(parseJson(ok, v, e)) << e.describe();
    const std::string hostile(100000, '[');
    EXPECT_FALSE(parseJson(hostile, v, e));
    EXPECT_NE(e.message.find("too deep"), std::string::npos);
    EXPECT_EQ(e.column, kJsonMaxDepth + 1);
}

TEST(JsonReader, DescribeNamesLineAndColumn) {
    JsonValue v;
    JsonError e;
    ASSERT_FALSE(parseJson("{\n\"a\" 1}", v, e));
    EXPECT_EQ(e.describe(), "line 2, column 5: unexpected '1', expected ':' after an object key");
}

TEST(JsonWriter, WritesWhatTheReaderReadsBack) {
    JsonObjectWriter w;
    w.addString("format", "quote \" backslash \\ newline \n ctl \x01");
    w.addInteger("min", INT64_MIN);
    w.addInteger("max", INT64_MAX);
    w.addInteger("negative", -7);
    w.addBool("yes", true);
    const std::string text = w.finish();
    EXPECT_EQ(text.front(), '{');
    EXPECT_EQ(text.back(), '\n');
    JsonValue v;
    JsonError e;
    ASSERT_TRUE(parseJson(text, v, e)) << e.describe() << "\n" << text;
    EXPECT_EQ(v.find("format")->text, "quote \" backslash \\ newline \n ctl \x01");
    EXPECT_EQ(v.find("min")->integer, INT64_MIN);
    EXPECT_EQ(v.find("max")->integer, INT64_MAX);
    EXPECT_EQ(v.find("negative")->integer, -7);
    EXPECT_TRUE(v.find("yes")->boolean);
    EXPECT_EQ(JsonObjectWriter().finish(), "{}\n");
}

}  // namespace
}  // namespace vorlant::ctl
