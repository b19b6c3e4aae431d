#include <gtest/gtest.h>

#include <string>

#include "shaders/check/JsonValue.h"

using ShaderCheck::JsonValue;
using ShaderCheck::ParseJson;

TEST(JsonValue, ParsesNestedDocumentsWithEveryValueKind) {
    const auto result = ParseJson(R"( { "a" : [1, -2.5e1, true, false, null], "b" : { "c" : "x\"y\\n\u00e9" }, "d" : [] } )");
    ASSERT_TRUE(result.Ok()) << result.error;
    const JsonValue& doc = result.value;
    ASSERT_EQ(doc["a"].Items().size(), 5u);
    EXPECT_EQ(doc["a"].Items()[0].AsNumber(), 1.0);
    EXPECT_EQ(doc["a"].Items()[1].AsNumber(), -25.0);
    EXPECT_TRUE(doc["a"].Items()[2].AsBool());
    EXPECT_FALSE(doc["a"].Items()[3].AsBool(true));
    EXPECT_TRUE(doc["a"].Items()[4].IsNull());
    EXPECT_EQ(doc["b"]["c"].AsString(), "x\"y\\n\xc3\xa9");
    EXPECT_TRUE(doc["d"].IsArray());
    EXPECT_TRUE(doc["missing"]["deeper"].IsNull());
    EXPECT_FALSE(doc.Has("missing"));
}

TEST(JsonValue, MalformedTextIsAnErrorNotACrash) {
    const char* bad[] = {"", "{", "[1,]", "{\"a\" 1}", "{\"a\":1,}", "[1] x", "\"abc", "\"\\q\"", "\"\\u12g4\"", "-", "1.",
                         "tru", "{1:2}", "\"a\nb\""};
    for (const char* text : bad) {
        const auto result = ParseJson(text);
        EXPECT_FALSE(result.Ok()) << text;
        EXPECT_TRUE(result.value.IsNull()) << text;
    }
}

TEST(JsonValue, DeepNestingIsRefusedWithoutRecursingOnAndOn) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const auto result = ParseJson(deep);
    EXPECT_FALSE(result.Ok());
    EXPECT_NE(result.error.find("deep"), std::string::npos);
    const std::string fine = std::string(32, '[') + std::string(32, ']');
    EXPECT_TRUE(ParseJson(fine).Ok());
}
