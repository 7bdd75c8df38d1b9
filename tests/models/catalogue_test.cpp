// The reply envelope, the catalogue replies and the video-list request.
#include "ModelSamples.h"
#include "shared/CatalogueModels.h"

#include <gtest/gtest.h>

using samples::envelope;
using samples::text;

namespace {
QJsonObject baseInfo() {
    return QJsonObject{
        {"cate", QJsonArray{QJsonObject{{"id", 3}, {"title", "Nature"}}, QJsonObject{{"id", 5}, {"title", "City"}}}},
        {"hottags", QJsonArray{"sea", "rain"}},
        {"hotkey", QJsonArray{"forest"}}};
}
QJsonObject page(QJsonArray vlist) {
    return QJsonObject{{"pages", 4}, {"page", 1}, {"total", 80}, {"count", 20}, {"vlist", vlist}};
}
}  // namespace

TEST(CatalogueModels, EnvelopeRules) {
    struct Case {
        const char* name;
        QJsonObject reply;
        bool ok;
    };
    QJsonObject statusText = envelope(baseInfo());
    statusText.insert("status", "1");
    QJsonObject noInfo = envelope(baseInfo());
    noInfo.remove("info");
    QJsonObject infoNull = envelope(baseInfo());
    infoNull.insert("info", QJsonValue::Null);
    QJsonObject extraTop = envelope(baseInfo());
    extraTop.insert("trace", QJsonObject{{"x", 1}});
    QJsonObject wrongCase = envelope(baseInfo());
    wrongCase.remove("status");
    wrongCase.insert("Status", 1);
    const Case cases[] = {
        {"valid", envelope(baseInfo()), true},
        {"status as text", statusText, false},
        {"no info", noInfo, false},
        {"info null", infoNull, false},
        {"extra top-level key", extraTop, true},
        {"wrong-case key", wrongCase, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BaseInfoResponse::fromJsonText(text(c.reply)).has_value(), c.ok) << c.name;
}

TEST(CatalogueModels, BaseInfo) {
    const auto reply = BaseInfoResponse::fromJsonText(text(envelope(baseInfo())));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->data.cate.size(), 2u);
    EXPECT_EQ(reply->data.cate[1].id, 5);
    EXPECT_EQ(reply->data.cate[1].title, QStringLiteral("City"));
    EXPECT_EQ(reply->data.hottags, (std::vector<QString>{"sea", "rain"}));
    EXPECT_EQ(reply->data.hotkey, (std::vector<QString>{"forest"}));

    const QJsonObject empty{{"cate", QJsonArray{}}, {"hottags", QJsonArray{}}, {"hotkey", QJsonArray{}}};
    const auto emptyReply = BaseInfoResponse::fromJsonText(text(envelope(empty)));
    ASSERT_TRUE(emptyReply);
    EXPECT_TRUE(emptyReply->data.cate.empty());
    EXPECT_TRUE(emptyReply->data.hottags.empty());
    EXPECT_TRUE(emptyReply->data.hotkey.empty());

    QJsonObject fractionalId = baseInfo();
    fractionalId.insert("cate", QJsonArray{QJsonObject{{"id", 1.5}, {"title", "x"}}});
    EXPECT_FALSE(BaseInfoResponse::fromJsonText(text(envelope(fractionalId))));
    QJsonObject nullTags = baseInfo();
    nullTags.insert("hottags", QJsonValue::Null);
    EXPECT_FALSE(BaseInfoResponse::fromJsonText(text(envelope(nullTags))));
    QJsonObject numberTag = baseInfo();
    numberTag.insert("hotkey", QJsonArray{"a", 2});
    EXPECT_FALSE(BaseInfoResponse::fromJsonText(text(envelope(numberTag))));
}

TEST(CatalogueModels, KeywordReply) {
    const auto some = KeywordResponse::fromJsonText(text(envelope(QJsonArray{"sea", "seagull"})));
    ASSERT_TRUE(some);
    EXPECT_EQ(some->data, (std::vector<QString>{"sea", "seagull"}));
    const auto none = KeywordResponse::fromJsonText(text(envelope(QJsonArray{})));
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->data.empty());
    EXPECT_FALSE(KeywordResponse::fromJsonText(text(envelope(QJsonValue::Null))));
    EXPECT_FALSE(KeywordResponse::fromJsonText(text(envelope(QStringLiteral("sea")))));
}

TEST(CatalogueModels, VideoListPage) {
    const auto reply = VideoListResponse::fromJsonText(
        text(envelope(page(QJsonArray{samples::videoDetail("a"), samples::videoDetail("b")}))));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data.pages, 4);
    EXPECT_EQ(reply->data.page, 1);
    EXPECT_EQ(reply->data.total, 80);
    EXPECT_EQ(reply->data.count, 20);
    ASSERT_EQ(reply->data.vlist.size(), 2u);
    EXPECT_EQ(reply->data.vlist[1].sign, QStringLiteral("b"));

    QJsonObject broken = samples::videoDetail("c");
    broken.remove("upcount");
    EXPECT_FALSE(VideoListResponse::fromJsonText(text(envelope(page(QJsonArray{samples::videoDetail("a"), broken})))));
    QJsonObject nullList = page({});
    nullList.insert("vlist", QJsonValue::Null);
    EXPECT_FALSE(VideoListResponse::fromJsonText(text(envelope(nullList))));
    for (const char* key : {"pages", "page", "total", "count", "vlist"}) {
        QJsonObject missing = page({});
        missing.remove(key);
        EXPECT_FALSE(VideoListResponse::fromJsonText(text(envelope(missing)))) << key;
    }
}

TEST(CatalogueModels, DefaultVideoListRequestAsCompactJson) {
    const VideoListRequest request(QStringLiteral("client-7"));
    const QByteArray json = request.toJson();
    EXPECT_FALSE(json.contains(' '));
    EXPECT_FALSE(json.contains('\n'));
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(o.size(), 6);
    EXPECT_EQ(o.value("ui"), QJsonValue("client-7"));
    EXPECT_EQ(o.value("cate"), QJsonValue(0));
    EXPECT_EQ(o.value("page"), QJsonValue(1));
    EXPECT_EQ(o.value("keywords"), QJsonValue(""));
    EXPECT_EQ(o.value("sort"), QJsonValue(1));
    EXPECT_EQ(o.value("author"), QJsonValue(""));
}

TEST(CatalogueModels, SearchWordsTravelAsBase64OfUtf8) {
    VideoListRequest request(QStringLiteral("u"));
    request.keywords = VideoListRequest::base64Utf8(QStringLiteral("mer été"));
    request.author = VideoListRequest::base64Utf8(QStringLiteral("Ana"));
    request.page = 3;
    const QJsonObject o = QJsonDocument::fromJson(request.toJson()).object();
    EXPECT_EQ(o.value("keywords").toString(), QStringLiteral("bWVyIMOpdMOp"));
    EXPECT_EQ(o.value("author").toString(), QStringLiteral("QW5h"));
    EXPECT_EQ(o.value("page"), QJsonValue(3));
    EXPECT_EQ(VideoListRequest::base64Utf8(QString()), QString());
}
