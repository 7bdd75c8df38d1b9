// Tavvel as a user gets it: installed into a prefix, started on empty folders, moved, cut short.
#include "MainWindow/AppDelegate.h"
#include "platform/AppLauncher.h"
#include "platform/BusName.h"
#include "platform/LoginItem.h"
#include "shared/Preferences.h"
#include "support/MainWindowTestSupport.h"
#include "support/ProcessHelpers.h"
#include "support/ServiceStandIn.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using testsupport::ServiceStandIn;

namespace {
const QString kHelper = QString::fromLatin1(platform::kHelperIdentifier);
const QString kMain = QString::fromLatin1(platform::kMainAppIdentifier);

struct Finished {
    int exitCode = -1;
    QByteArray output;
};

Finished run(const QString& program, const QStringList& arguments, int timeoutMs = 240000) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Finished result;
    if (!process.waitForFinished(timeoutMs))
        return result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = process.readAll();
    return result;
}

// `cmake --install` of this build tree into `prefix`.
bool install(const QString& prefix) {
    const Finished done = run(QStringLiteral(CMAKE_COMMAND),
                         {QStringLiteral("--install"), QStringLiteral(BUILD_TREE), QStringLiteral("--prefix"), prefix});
    EXPECT_EQ(done.exitCode, 0) << done.output.toStdString();
    return done.exitCode == 0;
}

// A fresh folder by the name the kernel reports for programs run from it (no symbolic links).
QString folderIn(const QTemporaryDir& root, const QString& name) {
    return QFileInfo(root.path()).canonicalFilePath() + u'/' + name;
}

QString installedHelper(const QString& prefix) {
    return prefix + QStringLiteral("/" HELPER_DIR "/TavvelHelper");
}

QString installedFile(const QString& prefix, const QString& relative) {
    return prefix + QStringLiteral("/" DATA_DIR "/") + relative;
}

void startInstalled(QProcess& process, const QString& prefix, const QString& serviceUrl) {
    qputenv("TAVVEL_SERVICE_URL", serviceUrl.toUtf8());
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    testsupport::startChild(process, prefix + QStringLiteral("/" BIN_DIR "/Tavvel"), {});
}

qint64 owner(const QString& name) {
    const QDBusReply<uint> reply = QDBusConnection::sessionBus().interface()->servicePid(name);
    return reply.isValid() ? qint64(reply.value()) : -1;
}

// The program file of the process that owns the player's bus name, once one does.
QString runningHelperProgram() {
    if (!QTest::qWaitFor([] { return owner(kHelper) > 0; }, 90000))
        return {};
    return QFileInfo(QStringLiteral("/proc/%1/exe").arg(owner(kHelper))).symLinkTarget();
}

QByteArray autostartEntry() {
    QFile file(platform::autostartEntryPath(kHelper));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray execLineOf(const QString& program) {
    return "\nExec=" + platform::desktopEntryExec({program}).toUtf8() + "\n";
}

// The player's quit ends Tavvel too; both names are free after.
void stopPlayerAndTavvel(QProcess& tavvel) {
    ::kill(pid_t(owner(kHelper)), SIGTERM);
    EXPECT_TRUE(tavvel.waitForFinished(20000)) << tavvel.readAll().toStdString();
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return !platform::isBusNameOwned(kHelper) && !platform::isBusNameOwned(kMain); }, 20000));
}
}  // namespace

TEST(InstalledTavvel, StartsItsOwnPlayerAndTheLoginItemFollowsAMove) {
    QTemporaryDir root;
    const QString first = folderIn(root, QStringLiteral("first"));
    const QString moved = folderIn(root, QStringLiteral("elsewhere/moved"));
    ASSERT_TRUE(install(first));
    const QString offline = testsupport::refusedServiceUrl();

    // Empty folders: the first start imports the samples, then registers and starts the player
    // of this installation.
    QProcess tavvel;
    startInstalled(tavvel, first, offline);
    EXPECT_EQ(runningHelperProgram(), installedHelper(first)) << tavvel.readAll().toStdString();
    EXPECT_TRUE(autostartEntry().contains(execLineOf(installedHelper(first)))) << autostartEntry().toStdString();
    stopPlayerAndTavvel(tavvel);

    // The whole prefix moves: the next start runs the player from there and says so at login.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(moved).absolutePath()));
    ASSERT_TRUE(QDir().rename(first, moved));
    QProcess again;
    startInstalled(again, moved, offline);
    EXPECT_EQ(runningHelperProgram(), installedHelper(moved)) << again.readAll().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return autostartEntry().contains(execLineOf(installedHelper(moved))); }, 10000))
        << autostartEntry().toStdString();
    stopPlayerAndTavvel(again);
}

TEST(InstalledTavvel, AFirstStartCutShortGetsItsLoginItemAtTheNext) {
    QTemporaryDir root;
    const QString prefix = folderIn(root, QStringLiteral("usr"));
    ASSERT_TRUE(install(prefix));
    // The sample import waits on the service's answer about each sample, which never comes.
    ServiceStandIn standIn;
    ASSERT_TRUE(standIn.start());
    standIn.setReply(504, testsupport::ScriptedReply::stall());
    QProcess cut;
    startInstalled(cut, prefix, standIn.baseUrl());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (const auto& request : standIn.requests())
                if (request.code == 504)
                    return true;
            return false;
        },
        60000));
    ::kill(pid_t(cut.processId()), SIGKILL);
    ASSERT_TRUE(cut.waitForFinished(10000));
    EXPECT_TRUE(testsupport::writtenSuite().string(QStringLiteral("appVersion")).has_value());
    EXPECT_FALSE(testsupport::writtenSuite().boolean(PreferencesKey::alreadyImportVideo));
    EXPECT_TRUE(autostartEntry().isEmpty());
    EXPECT_FALSE(platform::isBusNameOwned(kHelper));

    QProcess next;
    startInstalled(next, prefix, testsupport::refusedServiceUrl());
    EXPECT_EQ(runningHelperProgram(), installedHelper(prefix)) << next.readAll().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return autostartEntry().contains(execLineOf(installedHelper(prefix))); }, 10000))
        << autostartEntry().toStdString();
    stopPlayerAndTavvel(next);
}

TEST(InstalledTavvel, WithoutItsPlayerSaysWhereItLooked) {
    QTemporaryDir root;
    const QString prefix = folderIn(root, QStringLiteral("usr"));
    ASSERT_TRUE(install(prefix));
    ASSERT_TRUE(QFile::remove(installedHelper(prefix)));
    QProcess tavvel;
    startInstalled(tavvel, prefix, testsupport::refusedServiceUrl());
    const QByteArray line = "TavvelHelper not found, looked in: " + prefix.toUtf8() + "/" BIN_DIR "/TavvelHelper, " +
                            installedHelper(prefix).toUtf8() + "\n";
    QByteArray output;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            output += tavvel.readAll();
            return output.contains(line);
        },
        60000))
        << output.toStdString();
    EXPECT_TRUE(autostartEntry().isEmpty());
    tavvel.terminate();
    EXPECT_TRUE(tavvel.waitForFinished(15000));
    EXPECT_EQ(output.count("TavvelHelper not found"), 1);
}

TEST(InstalledTavvel, AlertNamesThePlacesLookedAt) {
    // This test program has no player beside it or in an install folder of its own.
    AppDelegate delegate;
    delegate.launchHelperIfNotRunning();
    QMessageBox* alert = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("helperMissingAlert"))
            alert = qobject_cast<QMessageBox*>(widget);
    ASSERT_TRUE(alert);
    EXPECT_TRUE(alert->isVisible());
    EXPECT_FALSE(alert->accessibleName().isEmpty());
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString& looked : {here + QStringLiteral("/TavvelHelper"),
                                  QDir::cleanPath(here + QStringLiteral("/../" HELPER_DIR "/TavvelHelper"))})
        EXPECT_TRUE(alert->informativeText().contains(looked)) << alert->informativeText().toStdString();
    // A second attempt while it is open adds no second alert.
    delegate.setLoginItemEnabled(true);
    int alerts = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        alerts += widget->objectName() == QLatin1String("helperMissingAlert") ? 1 : 0;
    EXPECT_EQ(alerts, 1);
    EXPECT_TRUE(autostartEntry().isEmpty());
}

TEST(InstalledFiles, DesktopEntryAndMetainfoValidate) {
    QTemporaryDir root;
    const QString prefix = folderIn(root, QStringLiteral("usr"));
    ASSERT_TRUE(install(prefix));
    const struct {
        const char* program;
        QStringList arguments;
    } checks[] = {
        {"desktop-file-validate", {installedFile(prefix, QStringLiteral("applications/" APP_ID ".desktop"))}},
        {"appstreamcli",
         {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--pedantic"),
          installedFile(prefix, QStringLiteral("metainfo/" APP_ID ".metainfo.xml"))}},
    };
    for (const auto& check : checks) {
        const Finished done = run(QString::fromLatin1(check.program), check.arguments);
        EXPECT_EQ(done.exitCode, 0) << check.program << ": " << done.output.toStdString();
    }
    // The icon the entry names, in the sizes menus and docks ask for.
    for (const char* size : {"scalable/apps/" APP_ID ".svg", "48x48/apps/" APP_ID ".png", "256x256/apps/" APP_ID ".png"})
        EXPECT_TRUE(QFileInfo::exists(installedFile(prefix, QStringLiteral("icons/hicolor/") + QLatin1String(size))))
            << size;
}

TEST(DebianPackage, HoldsTheProgramsAndNamesTheLibraries) {
    QTemporaryDir out;
    const Finished made = run(QStringLiteral(CPACK_COMMAND),
                         {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out.path(),
                          QStringLiteral("--config"), QStringLiteral(BUILD_TREE "/CPackConfig.cmake")});
    ASSERT_EQ(made.exitCode, 0) << made.output.toStdString();
    const QStringList debs = QDir(out.path()).entryList({QStringLiteral("*.deb")});
    ASSERT_EQ(debs.size(), 1);
    const QString deb = out.filePath(debs.first());

    const Finished contents = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), deb});
    ASSERT_EQ(contents.exitCode, 0);
    for (const char* path :
         {"./usr/bin/Tavvel", "./usr/" HELPER_DIR "/TavvelHelper", "./usr/share/tavvel/samples/Aurora.mp4",
          "./usr/share/tavvel/samples/Sunset Glow.mp4", "./usr/share/applications/" APP_ID ".desktop",
          "./usr/share/icons/hicolor/scalable/apps/" APP_ID ".svg", "./usr/share/metainfo/" APP_ID ".metainfo.xml"})
        EXPECT_TRUE(contents.output.contains(QByteArray(" ") + path + "\n")) << path;

    const Finished depends = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), deb, QStringLiteral("Depends")});
    ASSERT_EQ(depends.exitCode, 0);
    for (const char* library : {"libqt6core6", "libqt6widgets6", "libqt6webenginewidgets6", "libmpv", "libavformat",
                                "libavcodec", "libswscale", "libsqlite3", "libssl3"})
        EXPECT_TRUE(depends.output.contains(library)) << library << " in " << depends.output.toStdString();
}
