#include "service/UpgradeInfo.h"

namespace {
QString textOrEmpty(const QJsonObject& json, const QString& key) {
    const QJsonValue value = json.value(key);
    return value.isString() ? value.toString() : QString();
}
}  // namespace

std::optional<UpgradeInfo> UpgradeInfo::fromDictionary(const std::optional<QJsonObject>& dictionary) {
    if (!dictionary || !dictionary->contains(QStringLiteral("url")))
        return std::nullopt;
    return UpgradeInfo{textOrEmpty(*dictionary, QStringLiteral("url")), textOrEmpty(*dictionary, QStringLiteral("md5")),
                       textOrEmpty(*dictionary, QStringLiteral("ver")),
                       textOrEmpty(*dictionary, QStringLiteral("exp"))};
}

QJsonObject UpgradeInfo::toJson() const {
    return QJsonObject{{QStringLiteral("url"), url},
                       {QStringLiteral("md5"), md5},
                       {QStringLiteral("ver"), ver},
                       {QStringLiteral("exp"), exp}};
}

std::optional<UpgradeInfo> UpgradeInfo::decode(const QJsonObject& json) {
    for (const char* key : {"url", "md5", "ver", "exp"})
        if (!json.value(QLatin1String(key)).isString())
            return std::nullopt;
    return fromDictionary(json);
}
