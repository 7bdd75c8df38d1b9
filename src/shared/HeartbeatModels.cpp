#include "shared/HeartbeatModels.h"

using L = QLatin1StringView;
using jsonread::write;

std::optional<Time> Time::fromJson(const QJsonValue& value) {
    jsonread::ObjectReader r(value);
    Time t;
    t.st = r.get<qint64>(L("st"));
    t.vt = r.get<std::vector<qint64>>(L("vt"));
    t.tt = r.get<qint64>(L("tt"));
    if (!r.ok)
        return std::nullopt;
    return t;
}

QJsonObject Time::toJsonObject() const {
    return QJsonObject{{QStringLiteral("st"), st}, {QStringLiteral("vt"), write(vt)}, {QStringLiteral("tt"), tt}};
}

std::optional<Color> Color::fromJson(const QJsonValue& value) {
    jsonread::ObjectReader r(value);
    Color c;
    c.show = r.get<QString>(L("show"));
    c.hover = r.get<QString>(L("hover"));
    c.click = r.get<QString>(L("click"));
    if (!r.ok)
        return std::nullopt;
    return c;
}

QJsonObject Color::toJsonObject() const {
    return QJsonObject{{QStringLiteral("show"), show}, {QStringLiteral("hover"), hover}, {QStringLiteral("click"), click}};
}

std::optional<MsgTop> MsgTop::fromJson(const QJsonValue& value) {
    jsonread::ObjectReader r(value);
    MsgTop m;
    m.msgid = r.get<qint64>(L("msgid"));
    m.tittle = r.get<QString>(L("tittle"));
    m.url = r.get<QString>(L("url"));
    m.color = r.get<Color>(L("color"));
    m.point = r.get<qint64>(L("point"));
    m.type = r.get<qint64>(L("type"));
    m.back = r.get<qint64>(L("back"));
    m.width = r.get<qint64>(L("width"));
    m.height = r.get<qint64>(L("height"));
    if (!r.ok)
        return std::nullopt;
    return m;
}

QJsonObject MsgTop::toJsonObject() const {
    return QJsonObject{{QStringLiteral("msgid"), msgid}, {QStringLiteral("tittle"), tittle},
                       {QStringLiteral("url"), url},     {QStringLiteral("color"), write(color)},
                       {QStringLiteral("point"), point}, {QStringLiteral("type"), type},
                       {QStringLiteral("back"), back},   {QStringLiteral("width"), width},
                       {QStringLiteral("height"), height}};
}

std::optional<MsgBottom> MsgBottom::fromJson(const QJsonValue& value) {
    jsonread::ObjectReader r(value);
    MsgBottom m;
    m.msgid = r.get<qint64>(L("msgid"));
    m.msg = r.get<QString>(L("msg"));
    m.url = r.get<QString>(L("url"));
    m.color = r.get<QString>(L("color"));
    m.back = r.get<qint64>(L("back"));
    if (!r.ok)
        return std::nullopt;
    return m;
}

QJsonObject MsgBottom::toJsonObject() const {
    return QJsonObject{{QStringLiteral("msgid"), msgid}, {QStringLiteral("msg"), msg}, {QStringLiteral("url"), url},
                       {QStringLiteral("color"), color}, {QStringLiteral("back"), back}};
}

std::optional<Msg> Msg::fromJson(const QJsonValue& value) {
    jsonread::ObjectReader r(value);
    Msg m;
    m.msgBottom = r.get<MsgBottom>(L("msg_bottom"));
    m.msgTop = r.get<MsgTop>(L("msg_top"));
    if (!r.ok)
        return std::nullopt;
    return m;
}

QJsonObject Msg::toJsonObject() const {
    return QJsonObject{{QStringLiteral("msg_bottom"), write(msgBottom)}, {QStringLiteral("msg_top"), write(msgTop)}};
}

std::optional<DataBody> DataBody::fromJson(const QJsonValue& value) {
    jsonread::ObjectReader r(value);
    DataBody d;
    d.ct = r.get<qint64>(L("ct"));
    d.time = r.get<Time>(L("time"));
    d.msg = r.get<Msg>(L("msg"));
    d.upgrade = r.get<std::vector<JSONAny>>(L("upgrade"));
    d.speedlimit = r.get<qint64>(L("speedlimit"));
    if (!r.ok)
        return std::nullopt;
    return d;
}

QJsonObject DataBody::toJsonObject() const {
    return QJsonObject{{QStringLiteral("ct"), ct},
                       {QStringLiteral("time"), write(time)},
                       {QStringLiteral("msg"), write(msg)},
                       {QStringLiteral("upgrade"), write(upgrade)},
                       {QStringLiteral("speedlimit"), speedlimit}};
}
