// Free-form JSON values: the seven kinds, the number rule, nesting, failures, writing back.
#include "shared/JSONAny.h"

#include <gtest/gtest.h>

#include "support/QtPrinters.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
JSONValue decode(const char* text) {
    const auto any = JSONAny::fromJsonText(QByteArray(text));
    EXPECT_TRUE(any) << text;
    return any ? any->value : JSONValue{};
}
}  // namespace

TEST(JSONAny, ScalarKinds) {
    EXPECT_EQ(std::get<bool>(decode("true").v), true);
    EXPECT_EQ(std::get<bool>(decode("false").v), false);
    EXPECT_EQ(std::get<qint64>(decode("1").v), 1);  // never a boolean
    EXPECT_EQ(std::get<qint64>(decode("2.0").v), 2);
    EXPECT_EQ(std::get<qint64>(decode("-9223372036854775808").v), std::numeric_limits<qint64>::min());
    EXPECT_EQ(std::get<qint64>(decode("9223372036854775807").v), std::numeric_limits<qint64>::max());
    EXPECT_EQ(std::get<double>(decode("1.5").v), 1.5);
    EXPECT_EQ(std::get<double>(decode("9223372036854775808").v), 9223372036854775808.0);    // 2^63
    EXPECT_EQ(std::get<double>(decode("18446744073709551616").v), 18446744073709551616.0);  // 2^64
    EXPECT_EQ(std::get<QString>(decode("\"1\"").v), QStringLiteral("1"));
    EXPECT_TRUE(std::holds_alternative<JSONNull>(decode("null").v));
}

TEST(JSONAny, Containers) {
    const auto list = std::get<JSONValue::List>(decode("[null, 2]").v);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(std::holds_alternative<JSONNull>(list[0].v));
    EXPECT_EQ(std::get<qint64>(list[1].v), 2);

    EXPECT_TRUE(std::get<JSONValue::List>(decode("[]").v).empty());
    EXPECT_TRUE(std::get<JSONValue::Map>(decode("{}").v).empty());

    const auto nested = std::get<JSONValue::List>(decode("[[1], {\"a\": [true]}]").v);
    ASSERT_EQ(nested.size(), 2u);
    const auto inner = std::get<JSONValue::List>(nested[0].v);
    ASSERT_EQ(inner.size(), 1u);
    EXPECT_EQ(std::get<qint64>(inner[0].v), 1);
    const auto map = std::get<JSONValue::Map>(nested[1].v);
    ASSERT_EQ(map.size(), 1u);
    const auto member = std::get<JSONValue::List>(map.at(QStringLiteral("a")).v);
    ASSERT_EQ(member.size(), 1u);
    EXPECT_EQ(std::get<bool>(member[0].v), true);
}

TEST(JSONAny, Failures) {
    DecodingError error;
    EXPECT_FALSE(JSONAny::fromJson(QJsonValue(QJsonValue::Undefined), &error));
    EXPECT_EQ(error.type, QStringLiteral("JSONAny"));
    EXPECT_EQ(error.description, QStringLiteral("Cannot decode JSONAny"));
    for (const char* bad : {"", "[1,", "1 2", "1],[2", "{\"a\":}", "nul"})
        EXPECT_FALSE(JSONAny::fromJsonText(QByteArray(bad))) << bad;

    DecodingError nullError;
    EXPECT_TRUE(decodeJSONNull(QJsonValue(QJsonValue::Null)));
    for (const QJsonValue& notNull :
         {QJsonValue(0), QJsonValue(false), QJsonValue(QString()), QJsonValue(QJsonArray{})}) {
        EXPECT_FALSE(decodeJSONNull(notNull, &nullError));
        EXPECT_EQ(nullError.type, QStringLiteral("JSONNull"));
        EXPECT_EQ(nullError.description, QStringLiteral("Wrong type for JSONNull"));
    }
    EXPECT_EQ(encodeJSONNull(JSONNull{}), QJsonValue(QJsonValue::Null));
}

TEST(JSONAny, WritesTheSameStructure) {
    const char* texts[] = {"[1,2.5,\"x\",null,true,[[]],{\"k\":{\"z\":[false]}}]",
                           "{\"b\":1,\"a\":[null,{}],\"c\":\"s\"}",
                           "7",
                           "-0.5",
                           "\"t\"",
                           "null",
                           "false"};
    for (const char* text : texts) {
        const auto any = JSONAny::fromJsonText(QByteArray(text));
        ASSERT_TRUE(any) << text;
        const QJsonValue expected = QJsonDocument::fromJson(QByteArray("[") + text + "]").array().at(0);
        EXPECT_EQ(any->toJson(), expected) << text;
        const auto again = JSONAny::fromJson(any->toJson());
        ASSERT_TRUE(again);
        EXPECT_EQ(again->toJson(), expected) << text;
    }
    // Integers stay exact on the way out.
    const auto big = JSONAny::fromJsonText("[9223372036854775807]");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->toJson().toArray().at(0).toInteger(), std::numeric_limits<qint64>::max());
}
