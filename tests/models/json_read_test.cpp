// The integer and text rules that every typed reply shares.
#include "shared/JsonRead.h"

#include <gtest/gtest.h>

#include "support/QtPrinters.h"

#include <QJsonDocument>

namespace {
// Reads member "v" of a one-member object written as JSON text.
QJsonValue member(const char* jsonValue) {
    const QByteArray text = QByteArray("{\"v\":") + jsonValue + "}";
    const auto doc = QJsonDocument::fromJson(text);
    EXPECT_TRUE(doc.isObject()) << text.constData();
    return doc.object().value(QStringLiteral("v"));
}

struct IntCase {
    const char* json;
    std::optional<qint64> expected;
};
}  // namespace

TEST(JsonRead, IntegerRule) {
    const IntCase cases[] = {
        {"0", 0},
        {"-7", -7},
        {"2.0", 2},  // a whole number, however it is written
        {"1e3", 1000},
        {"9223372036854775807", std::numeric_limits<qint64>::max()},
        {"-9223372036854775808", std::numeric_limits<qint64>::min()},
        {"9223372036854775808", std::nullopt},   // 2^63
        {"18446744073709551616", std::nullopt},  // 2^64
        {"1e300", std::nullopt},
        {"1.5", std::nullopt},
        {"-0.25", std::nullopt},
        {"\"1\"", std::nullopt},
        {"true", std::nullopt},
        {"false", std::nullopt},
        {"null", std::nullopt},
        {"[1]", std::nullopt},
        {"{}", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(jsonread::toInt64(member(c.json)), c.expected) << c.json;
    EXPECT_EQ(jsonread::toInt64(QJsonValue(QJsonValue::Undefined)), std::nullopt);
}

TEST(JsonRead, TextAndListRules) {
    EXPECT_EQ(jsonread::toString(member("\"a\"")), QStringLiteral("a"));
    EXPECT_EQ(jsonread::toString(member("\"\"")), QString());
    for (const char* bad : {"1", "true", "null", "[]", "{}"})
        EXPECT_FALSE(jsonread::toString(member(bad))) << bad;

    using Texts = std::vector<QString>;
    EXPECT_EQ(jsonread::read<Texts>(member("[]")), Texts{});
    EXPECT_EQ(jsonread::read<Texts>(member("[\"a\",\"b\"]")), (Texts{"a", "b"}));
    EXPECT_FALSE(jsonread::read<Texts>(member("null")));
    EXPECT_FALSE(jsonread::read<Texts>(member("[\"a\",1]")));  // one bad element loses all
    EXPECT_FALSE(jsonread::read<Texts>(member("[\"a\",null]")));
    EXPECT_FALSE(jsonread::read<Texts>(member("\"a\"")));
}

TEST(JsonRead, ReplyTextMustBeJsonObjectOrArray) {
    EXPECT_TRUE(jsonread::parseDocument("{}"));
    EXPECT_TRUE(jsonread::parseDocument("[]"));
    EXPECT_FALSE(jsonread::parseDocument(""));
    EXPECT_FALSE(jsonread::parseDocument("{"));
    EXPECT_FALSE(jsonread::parseDocument("{} x"));
    EXPECT_FALSE(jsonread::parseDocument("\xff\xfe"));
}
