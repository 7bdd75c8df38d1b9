#pragma once
#include "shared/VideoDetail.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <optional>

// In-process notices of the library screen.
namespace librarynotices {
// Posted by the online list's context menu; its user info carries the video to download.
inline const QString rightClickNotification = QStringLiteral("rightClickNotification");
inline const QString videoKey = QStringLiteral("object");

inline QVariantMap rightClickUserInfo(const VideoDetail& video) {
    return {{videoKey, QVariant::fromValue(video)}};
}
// The video of a notice; none when the value is absent or of another type.
inline std::optional<VideoDetail> videoOf(const QVariantMap& userInfo) {
    const QVariant value = userInfo.value(videoKey);
    if (value.metaType() != QMetaType::fromType<VideoDetail>())
        return std::nullopt;
    return value.value<VideoDetail>();
}
}  // namespace librarynotices
