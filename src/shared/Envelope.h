#pragma once
#include "shared/JsonRead.h"

#include <QJsonObject>
#include <optional>

// The common shape of the service's typed replies: a status number, a message and a payload.
// Every typed reply (base information, keywords, video list, video detail, guide, heartbeat)
// is an Envelope of its payload.
template <class T>
struct Envelope {
    qint64 status = 0;
    QString info;
    T data{};

    static std::optional<Envelope> fromJson(const QJsonValue& value) {
        jsonread::ObjectReader r(value);
        Envelope out;
        out.status = r.get<qint64>(QLatin1StringView("status"));
        out.info = r.get<QString>(QLatin1StringView("info"));
        out.data = r.get<T>(QLatin1StringView("data"));
        if (!r.ok)
            return std::nullopt;
        return out;
    }

    // The reply's text as UTF-8 bytes; any failure gives nothing and drops the cause.
    static std::optional<Envelope> fromJsonText(const QByteArray& utf8) {
        return jsonread::fromJsonText<Envelope>(utf8);
    }

    QJsonObject toJsonObject() const {
        QJsonObject o;
        o.insert(QLatin1StringView("status"), jsonread::write(status));
        o.insert(QLatin1StringView("info"), jsonread::write(info));
        o.insert(QLatin1StringView("data"), jsonread::write(data));
        return o;
    }
};
