#pragma once
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <variant>
#include <vector>

// The JSON null as a value of its own.
struct JSONNull {};

// A member name of a JSON object of free shape: any text is a key, no integer is.
struct JSONCodingKey {
    explicit JSONCodingKey(QString k) : key(std::move(k)) {}
    static std::optional<JSONCodingKey> fromInt(int) { return std::nullopt; }
    const QString& stringValue() const { return key; }
    std::optional<int> intValue() const { return std::nullopt; }

    QString key;
};

// A decoding failure: the type being decoded, where (keys and indexes from the root) and why.
struct DecodingError {
    QString type;
    QStringList codingPath;
    QString description;
};

// An encoding failure. With the closed set of kinds below it cannot happen; kept for callers.
struct EncodingError {
    QString value;
    QStringList codingPath;
    QString description;
};

// One free-form JSON value. Lists and maps hold plain values, not JSONAny objects.
struct JSONValue {
    using List = std::vector<JSONValue>;
    using Map = std::map<QString, JSONValue>;
    std::variant<bool, qint64, double, QString, JSONNull, List, Map> v;
};

// Decodes a JSON null only; anything else fails with "Wrong type for JSONNull".
std::optional<JSONNull> decodeJSONNull(const QJsonValue& value, DecodingError* error = nullptr);
QJsonValue encodeJSONNull(const JSONNull&);

// Any JSON value. A whole number inside the signed 64-bit range is an integer; every other
// number is a double.
struct JSONAny {
    JSONValue value;

    // Fails with "Cannot decode JSONAny" only for a place that holds no value at all.
    static std::optional<JSONAny> fromJson(const QJsonValue& json, DecodingError* error = nullptr);
    // Any text holding one JSON value, scalars included.
    static std::optional<JSONAny> fromJsonText(const QByteArray& utf8, DecodingError* error = nullptr);
    QJsonValue toJson() const;
};
