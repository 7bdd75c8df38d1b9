#pragma once
// Catalogue pages for the service stand-in, and small waits.
#include "shared/VideoDetail.h"
#include "support/ServiceStandIn.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <vector>

namespace onlinetest {

inline VideoDetail catalogueVideo(const QString& sign) {
    VideoDetail v;
    v.sign = sign;
    v.title = QStringLiteral("Title ") + sign;
    v.url = QStringLiteral("http://127.0.0.1:1/") + sign + QStringLiteral(".mp4");
    v.preurl = QStringLiteral("https://example.invalid/preview/") + sign;
    v.ratio = QStringLiteral("16:9");
    return v;
}

// The reply body of one catalogue page: `count` videos named <prefix>0, <prefix>1, ...
inline QByteArray pageJson(qint64 page, qint64 pages, int count, const QString& prefix, qint64 total = 100,
                           std::vector<VideoDetail> extra = {}) {
    QJsonArray list;
    for (int i = 0; i < count; ++i)
        list.append(catalogueVideo(prefix + QString::number(i)).toJsonObject());
    for (const VideoDetail& v : extra)
        list.append(v.toJsonObject());
    const QJsonObject data{{"pages", pages}, {"page", page}, {"total", total}, {"count", list.size()}, {"vlist", list}};
    return QJsonDocument(QJsonObject{{"status", 0}, {"info", ""}, {"data", data}}).toJson(QJsonDocument::Compact);
}

inline testsupport::ScriptedReply page(qint64 page, qint64 pages, int count, const QString& prefix,
                                       qint64 total = 100) {
    return testsupport::ScriptedReply::encrypted(pageJson(page, pages, count, prefix, total));
}

inline void drain() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

}  // namespace onlinetest
