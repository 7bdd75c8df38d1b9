#pragma once
// The service stand-in's catalogue pages and replies, a client pointed at it, and screenshots.
#include "service/WebModel.h"
#include "support/MainWindowTestSupport.h"
#include "support/ServiceStandIn.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace onlinetest {

inline QByteArray envelope(const QByteArray& data) {
    return R"({"status":0,"info":"ok","data":)" + data + "}";
}
inline testsupport::ScriptedReply reply(const QByteArray& data) {
    return testsupport::ScriptedReply::encrypted(envelope(data));
}

// Nothing answers at its address, so a download of it fails at once.
inline VideoDetail catalogueVideo(const QString& sign) {
    VideoDetail v;
    v.sign = sign;
    v.title = QStringLiteral("Title ") + sign;
    v.url = QStringLiteral("http://127.0.0.1:1/") + sign + QStringLiteral(".mp4");
    v.preurl = QStringLiteral("https://example.invalid/preview/") + sign;
    v.ratio = QStringLiteral("16:9");
    v.author = QStringLiteral("Ann");
    v.upcount = 12;
    v.down = 345;
    return v;
}

// The reply body of one catalogue page: `count` videos named <prefix>0, <prefix>1, ..., then `extra`.
inline QByteArray pageJson(qint64 page, qint64 pages, int count, const QString& prefix, qint64 total = 100,
                           const std::vector<VideoDetail>& extra = {}) {
    QJsonArray list;
    for (int i = 0; i < count; ++i)
        list.append(catalogueVideo(prefix + QString::number(i)).toJsonObject());
    for (const VideoDetail& v : extra)
        list.append(v.toJsonObject());
    const QJsonObject data{{"pages", pages}, {"page", page}, {"total", total}, {"count", list.size()}, {"vlist", list}};
    return envelope(QJsonDocument(data).toJson(QJsonDocument::Compact));
}
inline testsupport::ScriptedReply page(qint64 page, qint64 pages, int count, const QString& prefix,
                                       qint64 total = 100) {
    return testsupport::ScriptedReply::encrypted(pageJson(page, pages, count, prefix, total));
}

using testsupport::drain;

// With TAVVEL_SCREENSHOTS naming a folder, a picture of `widget` goes there as <name>.png.
inline void screenshot(QWidget* widget, const QString& name) {
    const QString folder = qEnvironmentVariable("TAVVEL_SCREENSHOTS");
    if (!folder.isEmpty())
        widget->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

// A running stand-in; clients made from now on (the process's shared one too) use its address.
class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(standIn.start());
        qputenv("TAVVEL_SERVICE_URL", standIn.baseUrl().toUtf8());
        client = std::make_unique<WebModel>(standIn.baseUrl(), false);
    }
    void TearDown() override { qunsetenv("TAVVEL_SERVICE_URL"); }

    testsupport::ServiceStandIn standIn;
    std::unique_ptr<WebModel> client;
};

}  // namespace onlinetest
