#include "platform/AppLauncher.h"

#include "platform/Bundle.h"
#include "platform/BusName.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace platform {
namespace {
constexpr const char* kReopenPath = "/com/zembo/tavvel/Application";
constexpr const char* kReopenInterface = "com.zembo.tavvel.Application";

class ReopenService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.zembo.tavvel.Application")
public:
    std::function<void()> handler;
public slots:
    void Reopen() {
        if (handler)
            handler();
    }
};
}  // namespace

QDBusMessage reopenCall(const QString& identifier) {
    return QDBusMessage::createMethodCall(identifier, QString::fromLatin1(kReopenPath),
                                          QString::fromLatin1(kReopenInterface), QStringLiteral("Reopen"));
}

QStringList executableCandidates(const QString& identifier) {
    QString name;
    QString installed;  // the installed folder of that program, seen from the other one's
    if (identifier == QLatin1String(kMainAppIdentifier)) {
        name = QStringLiteral("Tavvel");
        installed = QStringLiteral(TAVVEL_MAIN_DIR_FROM_HELPER);
    } else if (identifier == QLatin1String(kHelperIdentifier)) {
        name = QStringLiteral("TavvelHelper");
        installed = QStringLiteral(TAVVEL_HELPER_DIR_FROM_MAIN);
    } else {
        return {};
    }
    const QDir here(executableDirectory());
    QStringList candidates{here.filePath(name)};
    const QString other = QDir::cleanPath(here.filePath(installed + u'/' + name));
    if (!candidates.contains(other))
        candidates << other;
    return candidates;
}

QString executableForIdentifier(const QString& identifier) {
    for (const QString& candidate : executableCandidates(identifier)) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return candidate;
    }
    return {};
}

bool isApplicationRunning(const QString& identifier) {
    return isBusNameOwned(identifier);
}

void launchApplication(const QString& identifier) {
    if (isApplicationRunning(identifier)) {
        QDBusConnection::sessionBus().asyncCall(reopenCall(identifier));
        return;
    }
    const QString program = executableForIdentifier(identifier);
    if (program.isEmpty())
        return;
    QProcess::startDetached(program, {}, QFileInfo(program).absolutePath());
}

bool reopenRunningApplication(const QString& identifier) {
    const QDBusMessage reply = QDBusConnection::sessionBus().call(reopenCall(identifier), QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

void setReopenHandler(std::function<void()> handler) {
    static ReopenService* service = [] {
        auto* s = new ReopenService;  // serves for the whole process
        if (QCoreApplication::instance())
            s->moveToThread(QCoreApplication::instance()->thread());
        QDBusConnection::sessionBus().registerObject(QString::fromLatin1(kReopenPath), s,
                                                     QDBusConnection::ExportAllSlots);
        return s;
    }();
    service->handler = std::move(handler);
}
}  // namespace platform

#include "AppLauncher.moc"
