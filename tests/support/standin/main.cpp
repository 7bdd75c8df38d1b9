// The service stand-in as a program: prints its base address, then one line per request.
//   service_standin [--port N] [--tls DIR] [--reply CODE=FILE]... [--raw CODE=FILE]... [--queue CODE=FILE]...
//                   [--trickle CODE]...
// --reply answers CODE with the encrypted content of FILE (plain JSON), --raw with FILE as it is;
// --queue answers the next request of CODE once with FILE, in the order given (pages 1, 2, 3, ...);
// --trickle holds every request of CODE open with a body that comes a byte at a time.
// Point either program at it with TAVVEL_SERVICE_URL=<printed address>.
#include "support/ServiceStandIn.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QTimer>
#include <cstdio>

using namespace testsupport;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    ServiceStandIn standIn;
    quint16 port = 0;
    QString tlsDir;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString option = args[i];
        const QString value = args[i + 1];
        if (option == QLatin1String("--port")) {
            port = quint16(value.toUInt());
        } else if (option == QLatin1String("--trickle")) {
            standIn.setReply(value.toInt(), ScriptedReply::trickle());
        } else if (option == QLatin1String("--tls")) {
            tlsDir = value;
        } else if (option == QLatin1String("--reply") || option == QLatin1String("--raw") ||
                   option == QLatin1String("--queue")) {
            const qsizetype eq = value.indexOf(QLatin1Char('='));
            QFile file(value.mid(eq + 1));
            if (eq < 0 || !file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(value));
                return 2;
            }
            const QByteArray body = file.readAll();
            const int code = value.left(eq).toInt();
            if (option == QLatin1String("--queue")) {
                standIn.queueReply(code, ScriptedReply::encrypted(body));
                continue;
            }
            standIn.setReply(
                code, option == QLatin1String("--raw") ? ScriptedReply::raw(body) : ScriptedReply::encrypted(body));
        } else {
            std::fprintf(stderr, "unknown option %s\n", qPrintable(option));
            return 2;
        }
    }
    bool started = false;
    if (tlsDir.isEmpty()) {
        started = standIn.start(port);
    } else if (const auto identity = ServiceStandIn::makeTestCertificate(tlsDir)) {
        started = standIn.startTls(*identity, port);
        std::printf("certificate %s\n", qPrintable(identity->certificatePath));
    }
    if (!started) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(standIn.baseUrl()));
    std::fflush(stdout);

    int shown = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        const QList<RecordedRequest> all = standIn.requests();
        for (; shown < all.size(); ++shown) {
            const RecordedRequest& r = all[shown];
            std::printf("%s %s f=%d %s\n", r.http.method.constData(), qPrintable(r.http.path), r.code.value_or(-1),
                        r.plaintext ? qPrintable(*r.plaintext) : "(undecodable)");
            for (const RecordedPart& part : r.parts)
                std::printf(
                    "  part %s%s %lld bytes\n", part.name.constData(),
                    part.fileName ? qPrintable(QStringLiteral(" file=") + QString::fromUtf8(*part.fileName)) : "",
                    static_cast<long long>(part.data.size()));
        }
        std::fflush(stdout);
    });
    poll.start(100);
    return app.exec();
}
