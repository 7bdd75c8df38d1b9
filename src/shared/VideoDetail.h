#pragma once
#include "shared/Envelope.h"
#include "shared/StyledText.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <optional>

// The one record that describes a wallpaper video everywhere: service pages, the local
// database, the download queue, the import and the player. `sign` is its identity.
struct VideoDetail {
    qint64 id = 0;
    QString sign;
    QString preurl;
    QString title;
    QString url;
    QString description;
    qint64 time = 0;  // milliseconds
    qint64 size = 0;  // bytes
    QString imgurl;
    qint64 imgsize = 0;
    QString tags;
    QString ratio;
    qint64 width = 0;
    qint64 height = 0;
    qint64 frame = 0;
    qint64 rate = 0;  // bits per second
    qint64 audio = 0;
    QString uptime;
    qint64 down = 0;
    qint64 view = 0;
    QString author;
    QString avatar;
    qint64 avatarsize = 0;
    QString hp;
    qint64 upcount = 0;

    // All 25 keys are required; see jsonread for the rules.
    static std::optional<VideoDetail> fromJson(const QJsonValue& value);
    // Writes all 25 keys.
    QJsonObject toJsonObject() const;

    // "High Performance" in red when the video is demanding to play, otherwise
    // "Normal Performance" in the label colour; right-aligned, no font of its own.
    StyledText performanceDescription() const;
    static bool isHighPerformance(qint64 width, qint64 height, qint64 frame, qint64 rate);
};

// Reply of the detail-by-sign request.
using VideoDetailResponse = Envelope<VideoDetail>;
