#pragma once
#include <QJsonObject>
#include <QString>
#include <optional>

// An offer of the update check: the download page, the checksum of the download, the offered
// version and its release notes (HTML).
struct UpgradeInfo {
    QString url;
    QString md5;
    QString ver;
    QString exp;

    // No dictionary, or one without "url", gives no record; a value that is not text becomes
    // the empty text.
    static std::optional<UpgradeInfo> fromDictionary(const std::optional<QJsonObject>& dictionary);

    // The coded form: the four keys, all required and all texts.
    QJsonObject toJson() const;
    static std::optional<UpgradeInfo> decode(const QJsonObject& json);

    bool operator==(const UpgradeInfo&) const = default;
};

// The outcome of one update check. `failed` tells a check that could not be completed (no
// answer, or an answer that could not be read) from one that was answered without an offer.
struct UpgradeCheckResult {
    std::optional<UpgradeInfo> info;
    bool failed = false;
};
