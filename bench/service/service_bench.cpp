// Prints "name: value unit (ratio to baseline)" lines:
//  - frame encryption of a large buffer against the openssl command on the same bytes;
//  - the small-payload frame round trip (quote, cipher, Base64 and back) against bare EVP calls;
//  - requests per second through WebModel and the stand-in against raw POSTs of the same size.
#include "service/ServiceCrypto.h"
#include "service/WebModel.h"
#include "support/ServiceStandIn.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cstdio>

namespace {
void line(const char* name, double value, const char* unit, double baseline) {
    std::printf("%s: %.1f %s (%.2fx %s)\n", name, value, unit, baseline > 0 ? value / baseline : 0.0, "baseline");
    std::fflush(stdout);
}

double opensslEncryptMBps(const QByteArray& data) {
    QTemporaryFile in;
    in.open();
    in.write(data);
    in.flush();
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(QStringLiteral("openssl"), {QStringLiteral("enc"), QStringLiteral("-aes-128-cbc"), QStringLiteral("-K"),
                                        QString::fromLatin1(service::cipherKey().toHex()), QStringLiteral("-iv"),
                                        QString::fromLatin1(service::cipherIv().toHex()), QStringLiteral("-in"),
                                        in.fileName(), QStringLiteral("-out"), QStringLiteral("/dev/null")});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return 0;
    return data.size() / 1048576.0 / (t.nsecsElapsed() / 1e9);
}

// Sends `count` requests, at most `parallel` at a time; returns requests per second.
double run(int count, int parallel, const std::function<void(std::function<void()>)>& send) {
    int started = 0;
    int finished = 0;
    QEventLoop loop;
    std::function<void()> next = [&] {
        ++finished;
        if (finished == count)
            loop.quit();
        else if (started < count) {
            ++started;
            send(next);
        }
    };
    QElapsedTimer t;
    t.start();
    for (; started < std::min(parallel, count);) {
        ++started;
        send(next);
    }
    loop.exec();
    return count / (t.nsecsElapsed() / 1e9);
}
}  // namespace

int main(int argc, char* argv[]) {
    // Keep the client identifier and settings out of the user's folders.
    QTemporaryDir xdg;
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(name, (xdg.path() + QLatin1Char('/') + QLatin1String(name)).toUtf8());
    QCoreApplication app(argc, argv);

    // 1. Bulk encryption against the openssl command.
    const QByteArray big(64 * 1024 * 1024, 'x');
    QElapsedTimer t;
    t.start();
    const auto cipher = service::encrypt(big);
    const double ours = big.size() / 1048576.0 / (t.nsecsElapsed() / 1e9);
    if (!cipher)
        return 1;
    line("frame_encrypt_64MiB", ours, "MiB/s", opensslEncryptMBps(big));

    // 2. Small payload round trip against the bare cipher calls.
    const QString payload = WebModel::heartbeatPayload(QStringLiteral("1000"),
                                                       QStringLiteral("00000000-0000-4000-8000-000000000000"), 0,
                                                       QStringLiteral("1.0.0.1"), WebModel::HeartBeatType::Boot);
    const QByteArray reply = testsupport::ServiceStandIn::encryptReplyBody(payload.toUtf8());
    const int rounds = 100000;
    t.restart();
    for (int i = 0; i < rounds; ++i) {
        service::encryptPayload(payload);
        service::decryptReply(reply);
    }
    const double frameOps = rounds / (t.nsecsElapsed() / 1e9);
    const QByteArray raw = payload.toUtf8();
    t.restart();
    for (int i = 0; i < rounds; ++i)
        service::decrypt(*service::encrypt(raw));
    line("frame_roundtrip_small", frameOps, "ops/s", rounds / (t.nsecsElapsed() / 1e9));

    // 3. Requests through the client against raw POSTs of the same body size.
    testsupport::ServiceStandIn standIn;
    if (!standIn.start())
        return 1;
    WebModel model(standIn.baseUrl(), false);
    const int count = 2000;
    const double viaClient = run(count, 6, [&](std::function<void()> done) {
        model.reportDownloadStatus(1, 1, [done](const std::optional<QString>&) { done(); });
    });
    QNetworkAccessManager nam;
    const QByteArray body = service::formBody(
        503, *service::encryptPayload(WebModel::downloadStatusPayload(WebModel::clientId(), 1, 1)));
    const QUrl url(standIn.baseUrl() + QStringLiteral("/src.html"));
    const double viaRaw = run(count, 6, [&](std::function<void()> done) {
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
        QNetworkReply* r = nam.post(request, body);
        QObject::connect(r, &QNetworkReply::finished, r, [r, done] {
            r->readAll();
            r->deleteLater();
            done();
        });
    });
    line("requests_through_client", viaClient, "req/s", viaRaw);
    return 0;
}
