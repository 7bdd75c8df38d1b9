#pragma once
// Valid sample replies that the cases below break one piece at a time.
#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include "support/QtPrinters.h"

namespace samples {

inline QJsonObject json(const char* text) {
    return QJsonDocument::fromJson(text).object();
}

inline QJsonObject videoDetail(const QString& sign = QStringLiteral("0123456789abcdef0123456789abcdef")) {
    QJsonObject o = json(R"({"id": 42, "preurl": "https://example.invalid/p/42",
        "title": "Ocean at dusk", "url": "https://example.invalid/v/42.mp4", "description": "Waves",
        "time": 15000, "size": 31457280, "imgurl": "https://example.invalid/i/42.jpg", "imgsize": 20480,
        "tags": "sea,blue", "ratio": "16:9", "width": 1920, "height": 1080, "frame": 30, "rate": 4000000,
        "audio": 1, "uptime": "2020-01-01", "down": 7, "view": 99, "author": "Ana",
        "avatar": "https://example.invalid/a.png", "avatarsize": 512, "hp": "hp-text", "upcount": 3})");
    o.insert("sign", sign);
    return o;
}

inline QJsonObject envelope(const QJsonValue& data) {
    return QJsonObject{{"status", 1}, {"info", "ok"}, {"data", data}};
}

inline QByteArray text(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

}  // namespace samples
