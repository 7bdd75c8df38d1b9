// The guide reply and the decoding of its pictures into picture-to-address pairs.
#include "ModelSamples.h"
#include "shared/GuideModel.h"
#include "support/TestPictures.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

namespace {
QString pngBase64(const QColor& color) {
    return QString::fromLatin1(testsupport::pngBase64(color, QSize(4, 3)));
}

QJsonArray texts(const QStringList& list) {
    return QJsonArray::fromStringList(list);
}

QJsonObject purple(const QStringList& left, const QStringList& leftUrl, const QStringList& feature = {},
                   const QStringList& featureUrl = {}) {
    return QJsonObject{{"leftPanel", texts(left)},     {"leftPanelUrl", texts(leftUrl)},
                       {"window", QJsonArray{}},       {"windowUrl", QJsonArray{}},
                       {"browser", QJsonArray{"b"}},   {"browserUrl", QJsonArray{"https://b.invalid"}},
                       {"newFeature", texts(feature)}, {"newFeatureUrl", texts(featureUrl)}};
}

GuideModel model(const QJsonObject& data) {
    auto reply = GuideResponse::fromJsonText(samples::text(samples::envelope(data)));
    EXPECT_TRUE(reply);
    GuideModel m(reply.value_or(GuideResponse{}));
    m.decodeGuideImages();
    return m;
}

QStringList urls(const ImageUrlMap& map) {
    QStringList out;
    for (const auto& [image, url] : map)
        out.append(url.toString());
    std::sort(out.begin(), out.end());
    return out;
}
}  // namespace

TEST(GuideModel, ReplyNeedsAllEightLists) {
    for (const char* key :
         {"leftPanel", "leftPanelUrl", "window", "windowUrl", "browser", "browserUrl", "newFeature", "newFeatureUrl"}) {
        QJsonObject data = purple({}, {});
        data.remove(key);
        EXPECT_FALSE(GuideResponse::fromJsonText(samples::text(samples::envelope(data)))) << key;
        data.insert(key, QJsonArray{1});
        EXPECT_FALSE(GuideResponse::fromJsonText(samples::text(samples::envelope(data)))) << key;
    }
    const GuideModel empty = model(purple({}, {}));
    EXPECT_TRUE(empty.leftPanel().empty());
    EXPECT_TRUE(empty.newFeature().empty());
    EXPECT_EQ(empty.guideResponse().data.browser, std::vector<QString>{"b"});
}

TEST(GuideModel, ImageTextRules) {
    const QString png = pngBase64(Qt::red);
    QString withNewline = png;
    withNewline.insert(8, QLatin1Char('\n'));
    QString unpadded = png;
    while (unpadded.endsWith(QLatin1Char('=')))
        unpadded.chop(1);
    struct Case {
        const char* name;
        QString text;
        bool decodes;
    };
    const Case cases[] = {
        {"no comma", png, true},
        {"data-URL prefix", QStringLiteral("data:image/png;base64,") + png, true},
        {"trailing comma", png + QStringLiteral(","), true},
        {"doubled commas", QStringLiteral(",,x,,") + png + QStringLiteral(",,"), true},
        {"garbage before the last comma", QStringLiteral("!!not base64!!,") + png, true},
        {"empty", QString(), false},
        {"only commas", QStringLiteral(",,,"), false},
        {"line break inside", withNewline, false},
        {"space inside", QStringLiteral("iVBO Rw0"), false},
        {"padding left off", unpadded.size() % 4 ? unpadded : QStringLiteral("abc"), false},
        {"bytes that are no picture", QString::fromLatin1(QByteArray("hello, not an image").toBase64()), false},
        {"last piece is the bad one", png + QStringLiteral(",####"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GuideModel::decodeImage(c.text).has_value(), c.decodes) << c.name;
}

TEST(GuideModel, PairsByIndexAndSkipsBadPairs) {
    const QString red = pngBase64(Qt::red);
    const QString blue = pngBase64(Qt::blue);
    // Three pictures, two addresses: the third picture is ignored.
    const GuideModel a = model(purple({red, blue, red}, {"https://a.invalid/1", "https://a.invalid/2"}));
    EXPECT_EQ(urls(a.leftPanel()), (QStringList{"https://a.invalid/1", "https://a.invalid/2"}));

    // An empty or invalid address skips its index only; the next index keeps its own address.
    const GuideModel b = model(
        purple({red, blue, red, blue}, {"", "https://b.invalid/2", "http://[bad", "https://b.invalid/4"}));
    EXPECT_EQ(urls(b.leftPanel()), (QStringList{"https://b.invalid/2", "https://b.invalid/4"}));

    // A bad picture skips its index only.
    const GuideModel c = model(
        purple({"", blue, "@@@@"}, {"https://c.invalid/1", "https://c.invalid/2", "https://c.invalid/3"}));
    EXPECT_EQ(urls(c.leftPanel()), (QStringList{"https://c.invalid/2"}));

    // The same picture twice is two entries; the new-features lists fill their own map.
    const GuideModel d = model(purple({red, red}, {"https://d.invalid/1", "https://d.invalid/2"}, {blue},
                                      {"https://d.invalid/f", "https://d.invalid/extra"}));
    EXPECT_EQ(d.leftPanel().size(), 2u);
    ASSERT_EQ(d.newFeature().size(), 1u);
    EXPECT_EQ(d.newFeature()[0].second, QUrl("https://d.invalid/f"));
    EXPECT_EQ(d.newFeature()[0].first.pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(d.newFeature()[0].first.size(), QSize(4, 3));

    // Decoding again rebuilds the maps rather than adding to them.
    GuideModel again = d;
    again.decodeGuideImages();
    EXPECT_EQ(again.leftPanel().size(), 2u);
}
