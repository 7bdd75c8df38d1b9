#include "service/UpgradeInfo.h"
#include "service/WebModel.h"
#include "shared/AppInfo.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {
// The reply of the update check: no text (no answer, or one that does not decrypt) and a
// text that is not a JSON object are failures; a reply without an offer in "data" is not.
UpgradeCheckResult upgradeResultFromReply(const WebModel::Reply& reply) {
    if (!reply.text)
        return {std::nullopt, true};
    const QJsonDocument document = QJsonDocument::fromJson(reply.text->toUtf8());
    if (!document.isObject())
        return {std::nullopt, true};
    const QJsonValue data = document.object().value(QStringLiteral("data"));
    if (!data.isObject())
        return {std::nullopt, false};
    return {UpgradeInfo::fromDictionary(data.toObject()), false};
}
}  // namespace

void WebModel::checkUpgrade(std::function<void(const UpgradeCheckResult&)> completion) {
    const QString payload = versionPayload(clientId(), AppInfo::version());
    postForm(Endpoint::Statistics, 24, payload, [completion](const Reply& reply) {
        const UpgradeCheckResult result = upgradeResultFromReply(reply);
        if (completion)
            completion(result);
    });
}
