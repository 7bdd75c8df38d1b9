// The heartbeat reply: every member required, "tittle" with two t, the two colour shapes.
#include "ModelSamples.h"
#include "shared/HeartbeatModels.h"

#include <gtest/gtest.h>

namespace {
QJsonObject msgTop() {
    return samples::json(R"({"msgid": 9, "tittle": "Top", "url": "https://example.invalid/t", "point": 1, "type": 2,
        "color": {"show": "#111111", "hover": "#222222", "click": "#333333"}, "back": 0, "width": 300, "height": 40})");
}
QJsonObject msgBottom() {
    return samples::json(
        R"({"msgid": 8, "msg": "News", "url": "https://example.invalid/n", "color": "#ff8800", "back": 1})");
}
QJsonObject dataBody() {
    return QJsonObject{{"ct", 0},
                       {"time", QJsonObject{{"st", 10}, {"vt", QJsonArray{1, 2, 3}}, {"tt", 20}}},
                       {"msg", QJsonObject{{"msg_bottom", msgBottom()}, {"msg_top", msgTop()}}},
                       {"upgrade", QJsonArray{}},
                       {"speedlimit", 0}};
}
// Applies `edit` to a copy of the object found at `path` inside the reply and writes it back.
QJsonObject edited(QJsonObject root, const QStringList& path, const std::function<void(QJsonObject&)>& edit) {
    if (path.isEmpty()) {
        edit(root);
        return root;
    }
    const QString head = path.first();
    root.insert(head, edited(root.value(head).toObject(), path.mid(1), edit));
    return root;
}
std::optional<HeartbeatResponse> decode(const QJsonObject& reply) {
    return HeartbeatResponse::fromJsonText(samples::text(reply));
}
}  // namespace

TEST(HeartbeatModels, ReadsAWholeReply) {
    const auto reply = decode(samples::envelope(dataBody()));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data.msg.msgBottom.msg, QStringLiteral("News"));
    EXPECT_EQ(reply->data.msg.msgBottom.color, QStringLiteral("#ff8800"));
    EXPECT_EQ(reply->data.msg.msgTop.tittle, QStringLiteral("Top"));
    EXPECT_EQ(reply->data.msg.msgTop.color.hover, QStringLiteral("#222222"));
    EXPECT_EQ(reply->data.time.vt, (std::vector<qint64>{1, 2, 3}));
    EXPECT_TRUE(reply->data.upgrade.empty());
    // Written back, it reads the same.
    const auto again = HeartbeatResponse::fromJson(reply->toJsonObject());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->toJsonObject(), reply->toJsonObject());
}

TEST(HeartbeatModels, StrictCases) {
    using Edit = std::function<void(QJsonObject&)>;
    struct Case {
        const char* name;
        QStringList path;  // object to edit, from the reply's root
        Edit edit;
        bool ok;
    };
    const QStringList data{"data"};
    const QStringList msg{"data", "msg"};
    const QStringList top{"data", "msg", "msg_top"};
    const QStringList bottom{"data", "msg", "msg_bottom"};
    const Case cases[] = {
        {"msg_top missing", msg, [](QJsonObject& o) { o.remove("msg_top"); }, false},
        {"tittle with one t", top, [](QJsonObject& o) { o.insert("title", o.take("tittle")); }, false},
        {"upgrade mixed", data,
         [](QJsonObject& o) {
             o.insert("upgrade", QJsonArray{1, 2.5, "x", QJsonValue::Null, QJsonArray{true}, QJsonObject{{"k", 1}}});
         },
         true},
        {"upgrade null", data, [](QJsonObject& o) { o.insert("upgrade", QJsonValue::Null); }, false},
        {"upgrade missing", data, [](QJsonObject& o) { o.remove("upgrade"); }, false},
        {"upgrade object", data, [](QJsonObject& o) { o.insert("upgrade", QJsonObject{}); }, false},
        {"extra member deep", top, [](QJsonObject& o) { o.insert("extra", "x"); }, true},
        {"extra member in data", data, [](QJsonObject& o) { o.insert("extra", QJsonArray{}); }, true},
        {"ct as text", data, [](QJsonObject& o) { o.insert("ct", "0"); }, false},
        {"ct as boolean", data, [](QJsonObject& o) { o.insert("ct", false); }, false},
        {"text as number", bottom, [](QJsonObject& o) { o.insert("msg", 5); }, false},
        {"vt with text", data,
         [](QJsonObject& o) {
             o.insert("time", QJsonObject{{"st", 1}, {"vt", QJsonArray{1, "2"}}, {"tt", 1}});
         },
         false},
        {"colours swapped", msg,
         [](QJsonObject& o) {
             QJsonObject t = o.value("msg_top").toObject();
             QJsonObject b = o.value("msg_bottom").toObject();
             const QJsonValue tc = t.value("color");
             t.insert("color", b.value("color"));
             b.insert("color", tc);
             o.insert("msg_top", t);
             o.insert("msg_bottom", b);
         },
         false},
        {"top colour lacks click", top,
         [](QJsonObject& o) {
             o.insert("color", QJsonObject{{"show", "a"}, {"hover", "b"}});
         },
         false},
        {"speedlimit fractional", data, [](QJsonObject& o) { o.insert("speedlimit", 0.5); }, false},
    };
    for (const auto& c : cases) {
        const QJsonObject reply = edited(samples::envelope(dataBody()), c.path, c.edit);
        EXPECT_EQ(decode(reply).has_value(), c.ok) << c.name;
    }
}

TEST(HeartbeatModels, MixedUpgradeKeepsItsValues) {
    QJsonObject body = dataBody();
    body.insert("upgrade", QJsonArray{7, "v", QJsonValue::Null});
    const auto reply = decode(samples::envelope(body));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->data.upgrade.size(), 3u);
    EXPECT_EQ(std::get<qint64>(reply->data.upgrade[0].value.v), 7);
    EXPECT_EQ(std::get<QString>(reply->data.upgrade[1].value.v), QStringLiteral("v"));
    EXPECT_TRUE(std::holds_alternative<JSONNull>(reply->data.upgrade[2].value.v));
}
