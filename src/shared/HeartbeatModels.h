#pragma once
#include "shared/Envelope.h"
#include "shared/JSONAny.h"

#include <QJsonObject>
#include <QString>
#include <optional>
#include <vector>

struct Time {
    qint64 st = 0;
    std::vector<qint64> vt;
    qint64 tt = 0;

    static std::optional<Time> fromJson(const QJsonValue& value);
    QJsonObject toJsonObject() const;
};

// The colour record of the top message: three texts.
struct Color {
    QString show;
    QString hover;
    QString click;

    static std::optional<Color> fromJson(const QJsonValue& value);
    QJsonObject toJsonObject() const;
};

// The record under "msg_top"; its text member is spelt "tittle".
struct MsgTop {
    qint64 msgid = 0;
    QString tittle;
    QString url;
    Color color;
    qint64 point = 0;
    qint64 type = 0;
    qint64 back = 0;
    qint64 width = 0;
    qint64 height = 0;

    static std::optional<MsgTop> fromJson(const QJsonValue& value);
    QJsonObject toJsonObject() const;
};

// The record under "msg_bottom"; its colour is a single text ("#rrggbb").
struct MsgBottom {
    qint64 msgid = 0;
    QString msg;
    QString url;
    QString color;
    qint64 back = 0;

    static std::optional<MsgBottom> fromJson(const QJsonValue& value);
    QJsonObject toJsonObject() const;
};

struct Msg {
    MsgBottom msgBottom;  // "msg_bottom"
    MsgTop msgTop;        // "msg_top"

    static std::optional<Msg> fromJson(const QJsonValue& value);
    QJsonObject toJsonObject() const;
};

struct DataBody {
    qint64 ct = 0;
    Time time;
    Msg msg;
    std::vector<JSONAny> upgrade;  // any JSON values; null or missing fails
    qint64 speedlimit = 0;

    static std::optional<DataBody> fromJson(const QJsonValue& value);
    QJsonObject toJsonObject() const;
};

using HeartbeatResponse = Envelope<DataBody>;
