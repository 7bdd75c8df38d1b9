// The video record: strict reading of all 25 keys, writing, and the performance label.
#include "ModelSamples.h"
#include "shared/VideoDetail.h"

#include <gtest/gtest.h>

namespace {
const char* const kIntegerKeys[] = {"id",   "time",  "size", "imgsize", "width",      "height", "frame",
                                    "rate", "audio", "down", "view",    "avatarsize", "upcount"};
const char* const kTextKeys[] = {"sign", "preurl", "title",  "url",    "description", "imgurl",
                                 "tags", "ratio",  "uptime", "author", "avatar",      "hp"};

QJsonObject with(QJsonObject o, const char* key, const QJsonValue& value) {
    o.insert(QString::fromLatin1(key), value);
    return o;
}
QJsonObject without(QJsonObject o, const char* key) {
    o.remove(QString::fromLatin1(key));
    return o;
}
}  // namespace

TEST(VideoDetail, ReadsEveryField) {
    const auto v = VideoDetail::fromJson(samples::videoDetail());
    ASSERT_TRUE(v);
    EXPECT_EQ(v->id, 42);
    EXPECT_EQ(v->sign, QStringLiteral("0123456789abcdef0123456789abcdef"));
    EXPECT_EQ(v->title, QStringLiteral("Ocean at dusk"));
    EXPECT_EQ(v->size, 31457280);
    EXPECT_EQ(v->width, 1920);
    EXPECT_EQ(v->hp, QStringLiteral("hp-text"));
    EXPECT_EQ(v->upcount, 3);
    EXPECT_EQ(sizeof(kIntegerKeys) / sizeof(*kIntegerKeys) + sizeof(kTextKeys) / sizeof(*kTextKeys), 25u);
    EXPECT_EQ(samples::videoDetail().size(), 25);
}

TEST(VideoDetail, EveryKeyIsRequiredAndTyped) {
    const QJsonObject good = samples::videoDetail();
    for (const char* key : kIntegerKeys) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(VideoDetail::fromJson(without(good, key)));
        EXPECT_FALSE(VideoDetail::fromJson(with(good, key, QJsonValue::Null)));
        EXPECT_FALSE(VideoDetail::fromJson(with(good, key, QStringLiteral("1"))));
        EXPECT_FALSE(VideoDetail::fromJson(with(good, key, 1.5)));
        EXPECT_FALSE(VideoDetail::fromJson(with(good, key, true)));
        EXPECT_FALSE(VideoDetail::fromJson(with(good, key, 9223372036854775808.0)));
        // A key that differs only in capitals does not count.
        QJsonObject upper = without(good, key);
        upper.insert(QString::fromLatin1(key).toUpper(), 1);
        EXPECT_FALSE(VideoDetail::fromJson(upper));
        EXPECT_TRUE(VideoDetail::fromJson(with(good, key, 0)));
    }
    for (const char* key : kTextKeys) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(VideoDetail::fromJson(without(good, key)));
        EXPECT_FALSE(VideoDetail::fromJson(with(good, key, QJsonValue::Null)));
        EXPECT_FALSE(VideoDetail::fromJson(with(good, key, 1)));
        EXPECT_FALSE(VideoDetail::fromJson(with(good, key, false)));
        EXPECT_FALSE(VideoDetail::fromJson(with(good, key, QJsonObject{})));
        EXPECT_TRUE(VideoDetail::fromJson(with(good, key, QString())));
    }
    EXPECT_TRUE(VideoDetail::fromJson(with(good, "extra", QJsonArray{1, 2})));
    EXPECT_FALSE(VideoDetail::fromJson(QJsonArray{}));
    EXPECT_FALSE(VideoDetail::fromJson(QJsonValue(QStringLiteral("x"))));
}

TEST(VideoDetail, DetailReplyIsAllOrNothing) {
    using samples::envelope;
    using samples::text;
    const QJsonObject good = samples::videoDetail();
    const auto reply = VideoDetailResponse::fromJsonText(text(envelope(good)));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 1);
    EXPECT_EQ(reply->info, QStringLiteral("ok"));
    EXPECT_EQ(reply->data.sign, good.value("sign").toString());

    struct Case {
        const char* name;
        QByteArray text;
        bool ok;
    };
    const Case cases[] = {
        {"data lacks hp", text(envelope(without(good, "hp"))), false},
        {"id as digit string", text(envelope(with(good, "id", QStringLiteral("42")))), false},
        {"width fractional", text(envelope(with(good, "width", 1920.5))), false},
        {"width whole", text(envelope(with(good, "width", 2560))), true},
        {"audio true", text(envelope(with(good, "audio", true))), false},
        {"title null", text(envelope(with(good, "title", QJsonValue::Null))), false},
        {"extra key", text(envelope(with(good, "unknown", 5))), true},
        {"data null", text(envelope(QJsonValue::Null)), false},
        {"not JSON", QByteArray("{\"status\":1,"), false},
        {"top-level array", QByteArray("[]"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VideoDetailResponse::fromJsonText(c.text).has_value(), c.ok) << c.name;
}

TEST(VideoDetail, WritesAllKeysAndReadsBackIdentical) {
    VideoDetail v;
    v.id = -1;
    v.sign = QStringLiteral("s");
    v.title = QStringLiteral("Ünïcode ✓");
    v.url = QStringLiteral("file:///tmp/a%20b.mp4");
    v.size = 3000000000;
    v.time = std::numeric_limits<qint64>::max();
    v.upcount = std::numeric_limits<qint64>::min();
    const QJsonObject written = v.toJsonObject();
    EXPECT_EQ(written.size(), 25);
    const auto back = VideoDetail::fromJson(written);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->toJsonObject(), written);
    EXPECT_EQ(back->size, 3000000000);
    EXPECT_EQ(back->time, std::numeric_limits<qint64>::max());
    // Through text as well, as the download list stores it.
    const auto fromText = jsonread::fromJsonText<VideoDetail>(QJsonDocument(written).toJson());
    ASSERT_TRUE(fromText);
    EXPECT_EQ(fromText->toJsonObject(), written);
}

TEST(VideoDetail, PerformanceLabelBoundaries) {
    struct Case {
        qint64 width, height, frame, rate;
        bool high;
    };
    const Case cases[] = {
        {2560, 1440, 30, 5120000, true},   // 3686400 pixels
        {2560, 1439, 30, 5120000, false},  // exactly 30 fps and 5120000 b/s are not high
        {1280, 720, 31, 1000, true},
        {1280, 720, 30, 5120001, true},
        {0, 0, 30, 5120000, false},
        {0, 1440, 31, 0, true},
        {std::numeric_limits<qint64>::max(), 2, 0, 0, true},  // product beyond 64 bits
        {std::numeric_limits<qint64>::min(), 2, 0, 0, true},
    };
    for (const auto& c : cases) {
        VideoDetail v;
        v.width = c.width;
        v.height = c.height;
        v.frame = c.frame;
        v.rate = c.rate;
        const StyledText label = v.performanceDescription();
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " " << c.frame << " " << c.rate);
        EXPECT_EQ(label.text, c.high ? QStringLiteral("High Performance") : QStringLiteral("Normal Performance"));
        EXPECT_EQ(label.color, c.high ? SystemColor::Red : SystemColor::Label);
        EXPECT_EQ(label.alignment, Qt::Alignment(Qt::AlignRight));
        EXPECT_FALSE(label.pointSize);  // the label's own font applies
        EXPECT_FALSE(label.underline);
    }
}
