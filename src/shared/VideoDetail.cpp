#include "shared/VideoDetail.h"

#include "shared/TextHelpers.h"

namespace {
using jsonread::field;
using V = VideoDetail;
const auto kFields = std::make_tuple(
    field("id", &V::id), field("sign", &V::sign), field("preurl", &V::preurl), field("title", &V::title),
    field("url", &V::url), field("description", &V::description), field("time", &V::time), field("size", &V::size),
    field("imgurl", &V::imgurl), field("imgsize", &V::imgsize), field("tags", &V::tags), field("ratio", &V::ratio),
    field("width", &V::width), field("height", &V::height), field("frame", &V::frame), field("rate", &V::rate),
    field("audio", &V::audio), field("uptime", &V::uptime), field("down", &V::down), field("view", &V::view),
    field("author", &V::author), field("avatar", &V::avatar), field("avatarsize", &V::avatarsize), field("hp", &V::hp),
    field("upcount", &V::upcount));
}  // namespace

std::optional<VideoDetail> VideoDetail::fromJson(const QJsonValue& value) {
    return jsonread::readRecord(value, kFields);
}

QJsonObject VideoDetail::toJsonObject() const {
    return jsonread::writeRecord(*this, kFields);
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
        label.text = localizedString("High Performance", "new more resource");
        label.color = SystemColor::Red;
    } else {
        label.text = localizedString("Normal Performance", "new more resource");
        label.color = SystemColor::Label;
    }
    label.alignment = Qt::AlignRight;
    return label;
}
