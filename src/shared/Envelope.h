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

    static std::optional<Envelope> fromJson(const QJsonValue& value) { return jsonread::readRecord(value, fields()); }

    // The reply's text as UTF-8 bytes; any failure gives nothing and drops the cause.
    static std::optional<Envelope> fromJsonText(const QByteArray& utf8) {
        return jsonread::fromJsonText<Envelope>(utf8);
    }

    QJsonObject toJsonObject() const { return jsonread::writeRecord(*this, fields()); }

private:
    static auto fields() {
        using jsonread::field;
        return std::make_tuple(field("status", &Envelope::status), field("info", &Envelope::info),
                               field("data", &Envelope::data));
    }
};
