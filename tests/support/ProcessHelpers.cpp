#include "support/ProcessHelpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcessEnvironment>
#include <QTcpServer>

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
}  // namespace testsupport
