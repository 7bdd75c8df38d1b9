// Strict decoding of a 500-video list page against a bare QJsonDocument parse of the same text:
// the ratio is the cost of strictness.
#include "shared/CatalogueModels.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int kVideos = 500;
constexpr int kRounds = 41;

QByteArray pageText() {
    QJsonArray list;
    for (int i = 0; i < kVideos; ++i) {
        VideoDetail v;
        v.id = i;
        v.sign = QStringLiteral("%1").arg(i, 32, 16, QLatin1Char('0'));
        v.preurl = QStringLiteral("https://example.invalid/p/%1").arg(i);
        v.title = QStringLiteral("A video title number %1").arg(i);
        v.url = QStringLiteral("https://example.invalid/v/%1.mp4").arg(i);
        v.description = QStringLiteral("A description that is a little longer than the title of video %1").arg(i);
        v.time = 15000 + i;
        v.size = 31457280 + i;
        v.imgurl = QStringLiteral("https://example.invalid/i/%1.jpg").arg(i);
        v.tags = QStringLiteral("nature,sea,blue");
        v.ratio = QStringLiteral("16:9");
        v.width = 1920;
        v.height = 1080;
        v.frame = 30;
        v.rate = 4000000;
        v.uptime = QStringLiteral("2021-05-01 10:00:00");
        v.author = QStringLiteral("Author %1").arg(i % 17);
        v.avatar = QStringLiteral("https://example.invalid/a/%1.png").arg(i % 17);
        v.hp = QStringLiteral("hp");
        list.append(v.toJsonObject());
    }
    const QJsonObject data{{"pages", 10}, {"page", 1}, {"total", 5000}, {"count", kVideos}, {"vlist", list}};
    return QJsonDocument(QJsonObject{{"status", 1}, {"info", "ok"}, {"data", data}}).toJson(QJsonDocument::Compact);
}

template <class F>
double medianMs(F&& f) {
    std::vector<double> times;
    for (int i = 0; i < kRounds; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QByteArray text = pageText();
    size_t decoded = 0;
    qsizetype parsed = 0;
    const double bare = medianMs([&] { parsed = QJsonDocument::fromJson(text).object().size(); });
    const double strict = medianMs([&] {
        const auto reply = VideoListResponse::fromJsonText(text);
        decoded = reply ? reply->data.vlist.size() : 0;
    });
    std::printf("models decode of a %d-video list page (%lld KiB): %.2f ms (%.2fx bare QJsonDocument parse, %.2f ms)\n",
                kVideos, static_cast<long long>(text.size() / 1024), strict, strict / bare, bare);
    return decoded == size_t(kVideos) && parsed == 3 ? 0 : 1;
}
