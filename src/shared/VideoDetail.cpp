#include "shared/VideoDetail.h"

#include "shared/TextHelpers.h"

std::optional<VideoDetail> VideoDetail::fromJson(const QJsonValue& value) {
    using L = QLatin1StringView;
    jsonread::ObjectReader r(value);
    VideoDetail v;
    v.id = r.get<qint64>(L("id"));
    v.sign = r.get<QString>(L("sign"));
    v.preurl = r.get<QString>(L("preurl"));
    v.title = r.get<QString>(L("title"));
    v.url = r.get<QString>(L("url"));
    v.description = r.get<QString>(L("description"));
    v.time = r.get<qint64>(L("time"));
    v.size = r.get<qint64>(L("size"));
    v.imgurl = r.get<QString>(L("imgurl"));
    v.imgsize = r.get<qint64>(L("imgsize"));
    v.tags = r.get<QString>(L("tags"));
    v.ratio = r.get<QString>(L("ratio"));
    v.width = r.get<qint64>(L("width"));
    v.height = r.get<qint64>(L("height"));
    v.frame = r.get<qint64>(L("frame"));
    v.rate = r.get<qint64>(L("rate"));
    v.audio = r.get<qint64>(L("audio"));
    v.uptime = r.get<QString>(L("uptime"));
    v.down = r.get<qint64>(L("down"));
    v.view = r.get<qint64>(L("view"));
    v.author = r.get<QString>(L("author"));
    v.avatar = r.get<QString>(L("avatar"));
    v.avatarsize = r.get<qint64>(L("avatarsize"));
    v.hp = r.get<QString>(L("hp"));
    v.upcount = r.get<qint64>(L("upcount"));
    if (!r.ok)
        return std::nullopt;
    return v;
}

QJsonObject VideoDetail::toJsonObject() const {
    return QJsonObject{
        {QStringLiteral("id"), id},
        {QStringLiteral("sign"), sign},
        {QStringLiteral("preurl"), preurl},
        {QStringLiteral("title"), title},
        {QStringLiteral("url"), url},
        {QStringLiteral("description"), description},
        {QStringLiteral("time"), time},
        {QStringLiteral("size"), size},
        {QStringLiteral("imgurl"), imgurl},
        {QStringLiteral("imgsize"), imgsize},
        {QStringLiteral("tags"), tags},
        {QStringLiteral("ratio"), ratio},
        {QStringLiteral("width"), width},
        {QStringLiteral("height"), height},
        {QStringLiteral("frame"), frame},
        {QStringLiteral("rate"), rate},
        {QStringLiteral("audio"), audio},
        {QStringLiteral("uptime"), uptime},
        {QStringLiteral("down"), down},
        {QStringLiteral("view"), view},
        {QStringLiteral("author"), author},
        {QStringLiteral("avatar"), avatar},
        {QStringLiteral("avatarsize"), avatarsize},
        {QStringLiteral("hp"), hp},
        {QStringLiteral("upcount"), upcount},
    };
}

bool VideoDetail::isHighPerformance(qint64 width, qint64 height, qint64 frame, qint64 rate) {
    qint64 pixels = 0;
    // A product beyond 64 bits can only come from absurd service data: call it demanding.
    if (__builtin_mul_overflow(width, height, &pixels))
        return true;
    if (pixels > 3686399)
        return true;
    if (rate > 5120000)
        return true;
    return frame > 30;
}

StyledText VideoDetail::performanceDescription() const {
    StyledText label;
    if (isHighPerformance(width, height, frame, rate)) {
        label.text = localizedString("High Performance", "new more resouce");
        label.color = SystemColor::Red;
    } else {
        label.text = localizedString("Normal Performance", "new more resouce");
        label.color = SystemColor::Label;
    }
    label.alignment = Qt::AlignRight;
    return label;
}
