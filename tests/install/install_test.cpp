// Tavvel as a user gets it: installed into a prefix, started on empty folders, moved, cut short,
// missing its player, started from its menu entry; the desktop files; the Debian package.
#include "MainWindow/startup/AppDelegate.h"
#include "platform/AppLauncher.h"
#include "platform/BusName.h"
#include "platform/DefaultsSuite.h"
#include "platform/LoginItem.h"
#include "shared/AppInfo.h"
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
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
const QString kHelper = QString::fromLatin1(platform::kHelperIdentifier);
const QString kMain = QString::fromLatin1(platform::kMainAppIdentifier);

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

qint64 ownerPid(const QString& name) {
    const QDBusReply<uint> reply = QDBusConnection::sessionBus().interface()->servicePid(name);
    return reply.isValid() ? qint64(reply.value()) : -1;
}

// Ends the owner of `name`, should one be left, and waits until the name is free.
void endOwnerOf(const QString& name) {
    if (const qint64 pid = ownerPid(name); pid > 0)
        testsupport::signalProcess(pid, SIGTERM);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !platform::isBusNameOwned(name); }, 20000)) << name.toStdString();
}

// The value of `key` in a desktop entry's main group.
QString entryValue(const QString& path, const QString& key) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith(key.toUtf8() + '='))
            return QString::fromUtf8(line.mid(key.size() + 1));
    return {};
}
}  // namespace

// The installed programs start on folders of each test's own (settings, library, login item) and
// no program outlives its test, so nothing one test leaves reaches the next.
class InstalledTavvel : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"data", "config", "cache", "runtime"})
            ASSERT_TRUE(QDir().mkpath(home_.filePath(QLatin1String(name))));
        QFile::setPermissions(home_.filePath(QStringLiteral("runtime")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    void TearDown() override {
        endOwnerOf(kHelper);
        endOwnerOf(kMain);
    }

    QProcessEnvironment environment(const QString& serviceUrl) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"data", "config", "cache"})
            env.insert(QStringLiteral("XDG_%1_HOME").arg(QString::fromLatin1(name).toUpper()),
                       home_.filePath(QLatin1String(name)));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("TAVVEL_SERVICE_URL"), serviceUrl);
        env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--no-sandbox"));
        return env;
    }
    void startTavvel(QProcess& process, const QString& prefix, const QString& serviceUrl) const {
        process.setProcessEnvironment(environment(serviceUrl));
        process.start(prefix + QStringLiteral("/" BIN_DIR "/Tavvel"), {});
    }
    QString loginItem() const {
        return home_.filePath(QStringLiteral("config/autostart/") + kHelper + QStringLiteral(".desktop"));
    }
    bool loginItemStarts(const QString& program) const {
        return entryValue(loginItem(), QStringLiteral("Exec")) == platform::desktopEntryExec({program});
    }
    // A setting both programs share, as the installed ones wrote it.
    std::optional<QString> writtenSetting(const QString& key) const {
        const QString group = AppInfo::appGroup();
        return platform::DefaultsSuite(home_.filePath(QStringLiteral("data/%1/Preferences/%1.ini").arg(group)))
            .string(key);
    }

    // Waits for the player of `prefix` to own its name and the login item to name it, then stops
    // the player, which ends Tavvel too.
    void expectPlayerAndLoginItemOf(const QString& prefix, QProcess& tavvel) const {
        ASSERT_TRUE(QTest::qWaitFor([] { return ownerPid(kHelper) > 0; }, 90000)) << tavvel.readAll().toStdString();
        EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/exe").arg(ownerPid(kHelper))).symLinkTarget(), helperIn(prefix));
        EXPECT_TRUE(loginItemStarts(helperIn(prefix)));
        testsupport::signalProcess(ownerPid(kHelper), SIGTERM);
        EXPECT_TRUE(tavvel.waitForFinished(20000));
        EXPECT_TRUE(QTest::qWaitFor([] { return !platform::isBusNameOwned(kHelper); }, 20000));
    }

    QTemporaryDir home_;
};

TEST_F(InstalledTavvel, StartsItsOwnPlayerAndTheLoginItemFollowsAMove) {
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
    EXPECT_TRUE(loginItemStarts(helperIn(moved)));
}

TEST_F(InstalledTavvel, AFirstStartCutShortGetsItsLoginItemAtTheNext) {
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
    testsupport::signalProcess(cut.processId(), SIGKILL);
    ASSERT_TRUE(cut.waitForFinished(10000));
    EXPECT_TRUE(writtenSetting(QStringLiteral("appVersion")).has_value());
    EXPECT_FALSE(QFile::exists(loginItem()));

    QProcess next;
    startTavvel(next, prefix, testsupport::refusedServiceUrl());
    expectPlayerAndLoginItemOf(prefix, next);
}

TEST_F(InstalledTavvel, AlertNamesThePlacesLookedAt) {
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
    alerts[0]->close();
}

// A prefix in a home folder, whose bin/ the session's PATH lacks: GLib's launcher starts the menu
// entry on an X display, and the window carries the icon and the class that docks match to it.
TEST_F(InstalledTavvel, TheMenuEntryOfAPrefixStartsItOffThePathWithItsIcon) {
    for (const char* tool : {"Xvfb", "gio", "xdotool", "xprop"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    QTemporaryDir root;
    const QString prefix = install(root, QStringLiteral("home of $USER/.local"));
    const QString entry = prefix + QStringLiteral("/" DATA_DIR "/applications/" APP_ID ".desktop");
    EXPECT_EQ(entryValue(entry, QStringLiteral("Exec")),
              platform::desktopEntryExec({prefix + QStringLiteral("/" BIN_DIR "/Tavvel")}));
    const auto [valid, complaints] = run(QStringLiteral("desktop-file-validate"), {entry});
    EXPECT_EQ(valid, 0) << complaints.toStdString();

    QProcess display;  // it writes its display number once it accepts clients
    display.start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                   QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QByteArray number;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (number += display.readAllStandardOutput()).endsWith('\n'); }, 30000));
    QProcessEnvironment env = environment(testsupport::refusedServiceUrl());
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("DISPLAY"), u':' + QString::fromLatin1(number.trimmed()));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    const auto log = [&] {
        QFile file(home_.filePath(QStringLiteral("launched.log")));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    };
    QProcess launcher;
    launcher.setProcessEnvironment(env);
    launcher.setStandardOutputFile(home_.filePath(QStringLiteral("launched.log")));
    launcher.setStandardErrorFile(home_.filePath(QStringLiteral("launched.log")), QIODevice::Append);
    launcher.start(QStringLiteral("gio"), {QStringLiteral("launch"), entry});
    ASSERT_TRUE(launcher.waitForFinished(30000));
    ASSERT_EQ(launcher.exitCode(), 0) << log();
    ASSERT_TRUE(QTest::qWaitFor([] { return ownerPid(kMain) > 0; }, 60000)) << log();
    EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/exe").arg(ownerPid(kMain))).symLinkTarget(),
              prefix + QStringLiteral("/" BIN_DIR "/Tavvel"));

    const auto onDisplay = [&](const QString& tool, const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(tool, arguments);
        process.waitForFinished(10000);
        return process.readAllStandardOutput();
    };
    QByteArray window;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            window = onDisplay(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                           QStringLiteral("--pid"), QString::number(ownerPid(kMain))})
                         .split('\n')
                         .value(0);
            return !window.isEmpty();
        },
        60000))
        << log();
    const QByteArray properties = onDisplay(
        QStringLiteral("xprop"), {QStringLiteral("-id"), QString::fromLatin1(window), QStringLiteral("WM_CLASS"),
                                  QStringLiteral("_NET_WM_ICON")});
    const QString wmClass = entryValue(entry, QStringLiteral("StartupWMClass"));
    EXPECT_FALSE(wmClass.isEmpty());
    EXPECT_TRUE(properties.contains(", \"" + wmClass.toUtf8() + "\"\n")) << properties.toStdString();
    EXPECT_TRUE(properties.contains("_NET_WM_ICON(CARDINAL) = ") && properties.contains("Icon (16 x 16)"))
        << properties.left(300).toStdString();
    ASSERT_TRUE(QTest::qWaitFor([] { return ownerPid(kHelper) > 0; }, 90000)) << log();
    endOwnerOf(kHelper);  // the player ends Tavvel with it
    EXPECT_TRUE(QTest::qWaitFor([] { return !platform::isBusNameOwned(kMain); }, 20000));
    display.terminate();
    EXPECT_TRUE(display.waitForFinished(10000));
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

// Whatever the build options (this build has tests and benchmarks on), what is installed reads no
// folder of code from its environment: only test programs name the build tree's plugin folder.
TEST(InstalledFiles, ProgramsLoadNoCodeFromAFolderTheEnvironmentNames) {
    QTemporaryDir root;
    const QString prefix = install(root, QStringLiteral("usr"));
    for (const char* file :
         {"/" BIN_DIR "/Tavvel", "/" HELPER_DIR "/TavvelHelper", "/" PLUGIN_DIR "/tavvel_preview_page.so"}) {
        QFile program(prefix + QLatin1String(file));
        ASSERT_TRUE(program.open(QIODevice::ReadOnly)) << file;
        EXPECT_FALSE(program.readAll().contains("TAVVEL_PLUGIN_DIR")) << file;
    }
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
          "/usr/share/icons/hicolor/scalable/apps/" APP_ID ".svg", "/usr/share/metainfo/" APP_ID ".metainfo.xml",
          "/usr/share/man/man1/Tavvel.1.gz", "/usr/share/doc/tavvel/copyright",
          "/usr/share/doc/tavvel/changelog.Debian.gz"})
        EXPECT_TRUE(contents.contains(QByteArray(" .") + path + "\n")) << path;
    // Debian's own checks of a package: no error, no warning.
    if (!QStandardPaths::findExecutable(QStringLiteral("lintian")).isEmpty()) {
        const auto [clean, findings] = run(QStringLiteral("lintian"),
                                           {QStringLiteral("--fail-on"), QStringLiteral("error,warning"), deb});
        EXPECT_EQ(clean, 0) << findings.toStdString();
    }
    const QByteArray depends =
        run(QStringLiteral("dpkg-deb"), {QStringLiteral("--field"), deb, QStringLiteral("Depends")}).second;
    for (const char* library : {"libqt6core6", "libqt6widgets6", "libqt6webenginewidgets6", "libmpv", "libavformat",
                                "libavcodec", "libswscale"})
        EXPECT_TRUE(depends.contains(library)) << library << " in " << depends.toStdString();
}
