#include "shared/JSONAny.h"

#include "shared/JsonRead.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace {
const QString kDecodeAny = QStringLiteral("Cannot decode JSONAny");

void fail(DecodingError* error, const QString& type, const QStringList& path, const QString& description) {
    if (error)
        *error = DecodingError{type, path, description};
}

std::optional<JSONValue> readValue(const QJsonValue& json, const QStringList& path, DecodingError* error);

std::optional<JSONValue> readArray(const QJsonArray& array, const QStringList& path, DecodingError* error) {
    JSONValue::List list;
    list.reserve(static_cast<size_t>(array.size()));
    for (qsizetype i = 0; i < array.size(); ++i) {
        auto value = readValue(array.at(i), path + QStringList{QStringLiteral("Index %1").arg(i)}, error);
        if (!value)
            return std::nullopt;
        list.push_back(std::move(*value));
    }
    return JSONValue{std::move(list)};
}

std::optional<JSONValue> readObject(const QJsonObject& object, const QStringList& path, DecodingError* error) {
    JSONValue::Map map;
    for (auto it = object.begin(); it != object.end(); ++it) {
        QStringList memberPath = path;
        memberPath.append(it.key());
        auto value = readValue(it.value(), memberPath, error);
        if (!value)
            return std::nullopt;
        map.emplace(it.key(), std::move(*value));
    }
    return JSONValue{std::move(map)};
}

// Boolean, integer, double, text, null, array or object.
std::optional<JSONValue> readValue(const QJsonValue& json, const QStringList& path, DecodingError* error) {
    if (json.isBool())
        return JSONValue{json.toBool()};
    if (const auto integer = jsonread::toInt64(json))
        return JSONValue{*integer};
    if (json.isDouble())
        return JSONValue{json.toDouble()};
    if (json.isString())
        return JSONValue{json.toString()};
    if (json.isNull())
        return JSONValue{JSONNull{}};
    if (json.isArray())
        return readArray(json.toArray(), path, error);
    if (json.isObject())
        return readObject(json.toObject(), path, error);
    fail(error, QStringLiteral("JSONAny"), path, kDecodeAny);
    return std::nullopt;
}

QJsonValue writeValue(const JSONValue& value);

struct Writer {
    QJsonValue operator()(bool b) const { return QJsonValue(b); }
    QJsonValue operator()(qint64 i) const { return QJsonValue(i); }
    QJsonValue operator()(double d) const { return QJsonValue(d); }
    QJsonValue operator()(const QString& s) const { return QJsonValue(s); }
    QJsonValue operator()(const JSONNull&) const { return QJsonValue(QJsonValue::Null); }
    QJsonValue operator()(const JSONValue::List& list) const {
        QJsonArray array;
        for (const JSONValue& element : list)
            array.append(writeValue(element));
        return array;
    }
    QJsonValue operator()(const JSONValue::Map& map) const {
        QJsonObject object;
        for (const auto& [key, member] : map)
            object.insert(JSONCodingKey(key).stringValue(), writeValue(member));
        return object;
    }
};

QJsonValue writeValue(const JSONValue& value) {
    return std::visit(Writer{}, value.v);
}
}  // namespace

std::optional<JSONNull> decodeJSONNull(const QJsonValue& value, DecodingError* error) {
    if (value.isNull())
        return JSONNull{};
    fail(error, QStringLiteral("JSONNull"), {}, QStringLiteral("Wrong type for JSONNull"));
    return std::nullopt;
}

QJsonValue encodeJSONNull(const JSONNull&) {
    return QJsonValue(QJsonValue::Null);
}

std::optional<JSONAny> JSONAny::fromJson(const QJsonValue& json, DecodingError* error) {
    std::optional<JSONValue> value = readValue(json, {}, error);
    if (!value)
        return std::nullopt;
    return JSONAny{std::move(*value)};
}

std::optional<JSONAny> JSONAny::fromJsonText(const QByteArray& utf8, DecodingError* error) {
    // Wrapped in an array so that a lone scalar parses too; exactly one element must result.
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson('[' + utf8 + ']', &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isArray() || document.array().size() != 1) {
        fail(error, QStringLiteral("JSONAny"), {}, kDecodeAny);
        return std::nullopt;
    }
    return fromJson(document.array().at(0), error);
}

QJsonValue JSONAny::toJson() const {
    return writeValue(value);
}
