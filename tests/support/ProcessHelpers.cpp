#include "support/ProcessHelpers.h"

#include "platform/DistributedNotificationCenter.h"

#include <QCoreApplication>
#include <QTest>
#include <QUuid>
#include <QDir>
#include <QProcessEnvironment>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <csignal>

namespace testsupport {
QString builtProgram(const QString& relativePath) {
    const QString buildDir = qEnvironmentVariable("TAVVEL_BUILD_DIR");
    if (!buildDir.isEmpty())
        return QDir(buildDir).filePath(relativePath);
    return QDir(QCoreApplication::applicationDirPath()).filePath(relativePath);
}

void startChild(QProcess& process, const QString& program, const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TAVVEL_TEST_SHARED_XDG"), QStringLiteral("1"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
}

QString refusedServiceUrl() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return QString();
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}
bool settleBusNotifications(int timeoutMs) {
    auto& center = platform::DistributedNotificationCenter::defaultCenter();
    if (!center.isAvailable())
        return true;
    // The bus keeps the order of one sender's signals, so the marker comes back after them.
    const QString marker = QStringLiteral("TestMarker-") + QUuid::createUuid().toString(QUuid::Id128);
    bool back = false;
    const DisposablePtr observation = center.addObserver(marker, nullptr, [&back] { back = true; });
    center.post(marker);
    return QTest::qWaitFor([&back] { return back; }, timeoutMs);
}

bool signalProcess(qint64 pid, int signalNumber) {
    if (pid <= 0) {
        ADD_FAILURE() << "no process to send signal " << signalNumber << " to (pid " << pid << ")";
        return false;
    }
    return ::kill(pid_t(pid), signalNumber) == 0;
}

}  // namespace testsupport
