#include "shared/JsonRead.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QMetaType>
#include <QVariant>
#include <cmath>

namespace jsonread {

std::optional<qint64> toInt64(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    // Qt keeps whole numbers that fit as 64-bit integers and everything else as a double.
    const QVariant variant = value.toVariant();
    if (variant.typeId() == QMetaType::LongLong)
        return variant.toLongLong();
    const double d = value.toDouble();
    // A whole double strictly inside the range also counts (-2^63 is exact, 2^63 is not).
    if (std::isfinite(d) && d == std::floor(d) && d >= -9223372036854775808.0 && d < 9223372036854775808.0)
        return static_cast<qint64>(d);
    return std::nullopt;
}

std::optional<QString> toString(const QJsonValue& value) {
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<QJsonObject> toObject(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    return value.toObject();
}

std::optional<QJsonArray> toArray(const QJsonValue& value) {
    if (!value.isArray())
        return std::nullopt;
    return value.toArray();
}

std::optional<QJsonValue> parseDocument(const QByteArray& utf8) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    if (document.isObject())
        return QJsonValue(document.object());
    if (document.isArray())
        return QJsonValue(document.array());
    return std::nullopt;
}

}  // namespace jsonread
