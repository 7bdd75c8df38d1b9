// Tavvel as a user gets it: installed into a prefix, started on empty folders, moved, cut short,
// missing its player; the desktop files; the Debian package.
#include "MainWindow/startup/AppDelegate.h"
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
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
const QString kHelper = QString::fromLatin1(platform::kHelperIdentifier);

// Exit code (-1 when it did not end by itself) and output of a command.
std::pair<int, QByteArray> run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ended = process.waitForFinished(240000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, process.readAll()};
}

// `cmake --install` of this build into a new folder of `root`, named as the kernel names it.
QString install(const QTemporaryDir& root, const QString& name) {
    const QString prefix = QFileInfo(root.path()).canonicalFilePath() + u'/' + name;
    const auto [code, output] = run(
        QStringLiteral(CMAKE_COMMAND),
        {QStringLiteral("--install"), QStringLiteral(BUILD_TREE), QStringLiteral("--prefix"), prefix});
    EXPECT_EQ(code, 0) << output.toStdString();
    return prefix;
}

QString helperIn(const QString& prefix) {
    return prefix + QStringLiteral("/" HELPER_DIR "/TavvelHelper");
}

void startTavvel(QProcess& process, const QString& prefix, const QString& serviceUrl) {
    qputenv("TAVVEL_SERVICE_URL", serviceUrl.toUtf8());
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
    testsupport::startChild(process, prefix + QStringLiteral("/" BIN_DIR "/Tavvel"), {});
}

qint64 helperPid() {
    const QDBusReply<uint> reply = QDBusConnection::sessionBus().interface()->servicePid(kHelper);
    return reply.isValid() ? qint64(reply.value()) : -1;
}

// Waits for the player of `prefix` to own its name and the login item to name it, then stops
// the player, which ends Tavvel too.
void expectPlayerAndLoginItemOf(const QString& prefix, QProcess& tavvel) {
    ASSERT_TRUE(QTest::qWaitFor([] { return helperPid() > 0; }, 90000)) << tavvel.readAll().toStdString();
    EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/exe").arg(helperPid())).symLinkTarget(), helperIn(prefix));
    QFile entry(platform::autostartEntryPath(kHelper));
    EXPECT_TRUE(entry.open(QIODevice::ReadOnly) &&
                entry.readAll().contains("\nExec=" + platform::desktopEntryExec({helperIn(prefix)}).toUtf8() + "\n"));
    ::kill(pid_t(helperPid()), SIGTERM);
    EXPECT_TRUE(tavvel.waitForFinished(20000));
    EXPECT_TRUE(QTest::qWaitFor([] { return !platform::isBusNameOwned(kHelper); }, 20000));
}
}  // namespace

TEST(InstalledTavvel, StartsItsOwnPlayerAndTheLoginItemFollowsAMove) {
    QTemporaryDir root;
    const QString first = install(root, QStringLiteral("first"));
    const QString offline = testsupport::refusedServiceUrl();
    QProcess tavvel;  // on empty folders: the samples are imported first
    startTavvel(tavvel, first, offline);
    expectPlayerAndLoginItemOf(first, tavvel);

    const QString moved = QFileInfo(first).absolutePath() + QStringLiteral("/moved");
    ASSERT_TRUE(QDir().rename(first, moved));
    QProcess again;
    startTavvel(again, moved, offline);
    expectPlayerAndLoginItemOf(moved, again);

    // Without its player it says where it looked, once, and leaves the entry as it was.
    ASSERT_TRUE(QFile::remove(helperIn(moved)));
    QProcess without;
    startTavvel(without, moved, offline);
    const QByteArray line = "TavvelHelper not found, looked in: " + moved.toUtf8() + "/" BIN_DIR "/TavvelHelper, " +
                            helperIn(moved).toUtf8() + "\n";
    QByteArray output;
    EXPECT_TRUE(QTest::qWaitFor([&] { return (output += without.readAll()).contains(line); }, 30000))
        << output.toStdString();
    without.terminate();
    EXPECT_TRUE(without.waitForFinished(15000));
    EXPECT_EQ((output + without.readAll()).count("TavvelHelper not found"), 1);
    EXPECT_TRUE(platform::loginItemStarts(kHelper, helperIn(moved)));
}

TEST(InstalledTavvel, AFirstStartCutShortGetsItsLoginItemAtTheNext) {
    QTemporaryDir root;
    const QString prefix = install(root, QStringLiteral("usr"));
    testsupport::ServiceStandIn standIn;  // the import waits on an answer about each sample
    ASSERT_TRUE(standIn.start());
    standIn.setReply(504, testsupport::ScriptedReply::stall());
    QProcess cut;
    startTavvel(cut, prefix, standIn.baseUrl());
    const auto asked = [&] {
        return std::any_of(standIn.requests().cbegin(), standIn.requests().cend(),
                           [](const auto& r) { return r.code == 504; });
    };
    ASSERT_TRUE(QTest::qWaitFor(asked, 60000));
    ::kill(pid_t(cut.processId()), SIGKILL);
    ASSERT_TRUE(cut.waitForFinished(10000));
    EXPECT_TRUE(testsupport::writtenSuite().string(QStringLiteral("appVersion")).has_value());
    EXPECT_FALSE(QFile::exists(platform::autostartEntryPath(kHelper)));

    QProcess next;
    startTavvel(next, prefix, testsupport::refusedServiceUrl());
    expectPlayerAndLoginItemOf(prefix, next);
}

TEST(InstalledTavvel, AlertNamesThePlacesLookedAt) {
    AppDelegate delegate(MainParts::make());  // no player beside this test program, nor in a libexec folder near it
    delegate.launchHelperIfNotRunning();
    delegate.setLoginItemEnabled(true);  // while the alert is open, no second one
    QList<QMessageBox*> alerts;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("helperMissingAlert") && widget->isVisible())
            alerts << qobject_cast<QMessageBox*>(widget);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_FALSE(alerts[0]->accessibleName().isEmpty());
    const QString here = QCoreApplication::applicationDirPath();
    EXPECT_TRUE(alerts[0]->informativeText().endsWith(
        here + QStringLiteral("/TavvelHelper\n") +
        QDir::cleanPath(here + QStringLiteral("/../" HELPER_DIR "/TavvelHelper"))))
        << alerts[0]->informativeText().toStdString();
    EXPECT_FALSE(QFile::exists(platform::autostartEntryPath(kHelper)));
}

TEST(InstalledFiles, DesktopEntryAndMetainfoValidate) {
    QTemporaryDir root;
    const QString share = install(root, QStringLiteral("usr")) + QStringLiteral("/" DATA_DIR "/");
    for (const QStringList& check :
         {QStringList{QStringLiteral("desktop-file-validate"),
                      share + QStringLiteral("applications/" APP_ID ".desktop")},
          QStringList{QStringLiteral("appstreamcli"), QStringLiteral("validate"), QStringLiteral("--no-net"),
                      QStringLiteral("--pedantic"), share + QStringLiteral("metainfo/" APP_ID ".metainfo.xml")}}) {
        const auto [code, output] = run(check[0], check.mid(1));
        EXPECT_EQ(code, 0) << output.toStdString();
    }
    for (const char* icon :
         {"scalable/apps/" APP_ID ".svg", "48x48/apps/" APP_ID ".png", "256x256/apps/" APP_ID ".png"})
        EXPECT_TRUE(QFile::exists(share + QStringLiteral("icons/hicolor/") + QLatin1String(icon))) << icon;
}

TEST(DebianPackage, HoldsTheProgramsAndNamesTheLibraries) {
    QTemporaryDir out;
    const auto [made, log] = run(QStringLiteral(CPACK_COMMAND),
                                 {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out.path(),
                                  QStringLiteral("--config"), QStringLiteral(BUILD_TREE "/CPackConfig.cmake")});
    ASSERT_EQ(made, 0) << log.toStdString();
    const QString deb = out.filePath(QDir(out.path()).entryList({QStringLiteral("*.deb")}).value(0));
    const QByteArray contents = run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), deb}).second;
    for (const char* path :
         {"/usr/bin/Tavvel", "/usr/" HELPER_DIR "/TavvelHelper", "/usr/" PLUGIN_DIR "/tavvel_preview_page.so",
          "/usr/share/tavvel/samples/Aurora.mp4", "/usr/share/applications/" APP_ID ".desktop",
          "/usr/share/icons/hicolor/scalable/apps/" APP_ID ".svg", "/usr/share/metainfo/" APP_ID ".metainfo.xml"})
        EXPECT_TRUE(contents.contains(QByteArray(" .") + path + "\n")) << path;
    const QByteArray depends =
        run(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), deb, QStringLiteral("Depends")}).second;
    for (const char* library : {"libqt6core6", "libqt6widgets6", "libqt6webenginewidgets6", "libmpv", "libavformat",
                                "libavcodec", "libswscale"})
        EXPECT_TRUE(depends.contains(library)) << library << " in " << depends.toStdString();
}
