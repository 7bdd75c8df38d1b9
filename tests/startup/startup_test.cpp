// Tavvel as processes on the test's own session bus: the start-up's requests against the
// service stand-in, crash reports, and the desktop player's start, login item and quit.
#include "MainWindow/startup/CrashReport.h"
#include "MainWindow/startup/MainParts.h"
#include "MainWindow/startup/PlayerStatus.h"
#include "platform/AppLauncher.h"
#include "platform/Bundle.h"
#include "platform/BusName.h"
#include "platform/DefaultsSuite.h"
#include "platform/LoginItem.h"
#include "platform/WallpaperProblem.h"
#include "service/DownloadManager.h"
#include "service/DownloadPaths.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"
#include "support/DatabaseLock.h"
#include "support/MainWindowTestSupport.h"
#include "support/ProcessHelpers.h"
#include "support/ServiceStandIn.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::ServiceStandIn;
using testsupport::writtenSuite;

namespace {
const QString kHelper = QString::fromLatin1(platform::kHelperIdentifier);
const QString kMain = QString::fromLatin1(platform::kMainAppIdentifier);

const bool kBundle = [] {
    // The crash folder the children use: the main program's own caches folder.
    platform::setMainBundle(
        {QStringLiteral("1.0"), QStringLiteral("10"), QString::fromLatin1(platform::kMainAppIdentifier)});
    return true;
}();

void setSuite(const QString& key, const std::optional<QVariant>& value) {
    if (value)
        writtenSuite().setObject(key, *value);
    else
        writtenSuite().remove(key);
    writtenSuite().synchronize();
}

QStringList crashFiles() {
    return QDir(crash::directory()).entryList(QDir::Files);
}

void startTavvel(QProcess& process, const QString& serviceUrl, const QStringList& arguments = {},
                 const QString& program = QStringLiteral(TAVVEL_CHILD)) {
    qputenv("TAVVEL_SERVICE_URL", serviceUrl.toUtf8());
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    testsupport::startChild(process, program, arguments);
}

qint64 owner(const QString& name) {
    const QDBusReply<uint> reply = QDBusConnection::sessionBus().interface()->servicePid(name);
    return reply.isValid() ? qint64(reply.value()) : -1;
}

void quit(QProcess& process) {
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(15000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
}

QList<int> codes(const ServiceStandIn& standIn) {
    QList<int> result;
    for (const auto& r : standIn.requests())
        if (r.code && *r.code != 214)  // the guide goes out on its own timers
            result << *r.code;
    return result;
}
}  // namespace

// The parts hold getters: making them makes no service, so a second Tavvel that only hands over
// to the first never restores and restarts the download list.
TEST(MainParts, MakeMakesNoServiceUntilOneIsAsked) {
    const MainParts parts = MainParts::make();
    EXPECT_EQ(DownloadManager::existing(), nullptr);
    DownloadManager& queue = parts.downloads();
    EXPECT_EQ(DownloadManager::existing(), &queue);
    EXPECT_EQ(&MainParts::make().downloads(), &queue);  // one queue per process
}

TEST(StartUpProcess, RequestOrderAndInstallReportByVersion) {
    ASSERT_TRUE(kBundle);
    const struct {
        std::optional<QString> stored;
        std::optional<int> reportType;
    } cases[] = {{std::nullopt, 2},
                 {QStringLiteral("1.0.9"), 1},
                 {QStringLiteral("1.0.10"), std::nullopt},
                 {QStringLiteral("1.0.11"), std::nullopt}};
    setSuite(PreferencesKey::alreadyImportVideo, false);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.value_or(QStringLiteral("none")).toStdString());
        ServiceStandIn standIn;
        ASSERT_TRUE(standIn.start());
        setSuite(QStringLiteral("appVersion"), c.stored ? std::optional<QVariant>(*c.stored) : std::nullopt);
        QDir(crash::directory()).removeRecursively();
        ASSERT_TRUE(
            crash::writeReport(crash::directory(), {QStringLiteral("std::logic_error"), {}, {}, {}, {}, {}}, 1000));

        QProcess tavvel;
        startTavvel(tavvel, standIn.baseUrl(), {QStringLiteral("1.0"), QStringLiteral("10")});
        const QList<int> expected = c.reportType ? QList<int>{21, 501, 25, 13} : QList<int>{21, 501, 25};
        ASSERT_TRUE(QTest::qWaitFor([&] { return codes(standIn).size() >= expected.size(); }, 15000))
            << tavvel.readAllStandardOutput().toStdString();
        QTest::qWait(500);  // nothing more comes
        // The four go out one after the other but on parallel connections, so the stand-in may
        // receive them in another order: the set is what it can tell.
        EXPECT_THAT(codes(standIn), testing::UnorderedElementsAreArray(expected));
        EXPECT_TRUE(QTest::qWaitFor([] { return crashFiles().isEmpty(); }, 5000));
        quit(tavvel);

        for (const auto& r : standIn.requests()) {
            if (r.code == 21) {
                EXPECT_EQ(r.json->value("type").toString(), "1");
                EXPECT_EQ(r.json->value("n").toString(), "1000");
            } else if (r.code == 25) {
                ASSERT_EQ(r.parts.size(), 3);
                EXPECT_EQ(r.parts[2].name, "dmp");
            } else if (r.code == 13) {
                EXPECT_EQ(r.json->value("type").toInt(), *c.reportType);
                EXPECT_EQ(r.json->value("n").toString(), "1000");
            }
        }
        EXPECT_EQ(writtenSuite().string(QStringLiteral("appVersion")), QStringLiteral("1.0.10"));
    }
}

TEST(CrashProcess, OneFilePerCrashKeptOfflineUploadedOnline) {
    const struct {
        const char* mode;
        QString name, reason;
    } cases[] = {{"event", "std::runtime_error", "boom in the loop"},
                 {"direct", "std::runtime_error", "boom outside the loop"},
                 {"signal", "SIGSEGV", "Fatal signal SIGSEGV"},
                 {"overflow", "SIGSEGV", "Fatal signal SIGSEGV"},
                 {"thread-overflow", "SIGSEGV", "Fatal signal SIGSEGV"},
                 {"pool-overflow", "SIGSEGV", "Fatal signal SIGSEGV"}};
    const QString offline = testsupport::refusedServiceUrl();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        QDir(crash::directory()).removeRecursively();
        QProcess child;
        startTavvel(child, offline, {QStringLiteral("1.0"), QStringLiteral("10"), QString::fromLatin1(c.mode)});
        ASSERT_TRUE(child.waitForFinished(20000));
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
        const QStringList files = crashFiles();
        ASSERT_EQ(files.size(), 1) << files.join(' ').toStdString();
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]+\\.txt$")).match(files[0]).hasMatch());
        QFile file(QDir(crash::directory()).filePath(files[0]));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        EXPECT_FALSE(text.endsWith(u'\n')) << "no line feed after the last symbol";
        const QStringList blocks = text.split(QStringLiteral("\n\n"));
        ASSERT_GE(blocks.size(), 5);
        EXPECT_EQ(blocks.mid(0, 4), (QStringList{c.name, "(null)", "version: 1.0.10", c.reason}));
        EXPECT_FALSE(blocks[4].isEmpty()) << "the call stack";
    }

    // Unreachable service: the report stays for the next start, and one whose writing was cut
    // short is kept under its final name.
    const QStringList left = crashFiles() << QStringLiteral("5.txt");
    {
        QFile part(QDir(crash::directory()).filePath(QStringLiteral("5.txt.part")));
        ASSERT_TRUE(part.open(QIODevice::WriteOnly) && part.write("SIGSEGV\n\n(null)\n\nversion: 1.0.10") > 0);
    }
    setSuite(QStringLiteral("appVersion"), QStringLiteral("1.0.10"));
    {
        QProcess tavvel;
        startTavvel(tavvel, offline, {QStringLiteral("1.0"), QStringLiteral("10")});
        ASSERT_TRUE(QTest::qWaitFor([&] { return tavvel.readAllStandardOutput().contains(left[0].toUtf8()); }, 15000));
        QTest::qWait(1500);
        quit(tavvel);
        EXPECT_EQ(crashFiles(), left);
        EXPECT_FALSE(QFile::exists(QDir(crash::directory()).filePath(QStringLiteral("5.txt.part"))));
    }
    // The service answers: uploaded, then deleted.
    ServiceStandIn standIn;
    ASSERT_TRUE(standIn.start());
    QProcess tavvel;
    startTavvel(tavvel, standIn.baseUrl(), {QStringLiteral("1.0"), QStringLiteral("10")});
    ASSERT_TRUE(QTest::qWaitFor([] { return crashFiles().isEmpty(); }, 15000));
    EXPECT_EQ(codes(standIn).count(25), 2);
    quit(tavvel);
}

TEST(StartUpProcess, DesktopPlayerAfterFirstImportLoginItemReopenAndQuit) {
    const QString entry = platform::autostartEntryPath(kHelper);
    const QString offline = testsupport::refusedServiceUrl();
    setSuite(QStringLiteral("appVersion"), std::nullopt);
    setSuite(PreferencesKey::alreadyImportVideo, false);
    setSuite(PreferencesKey::autolaunch, true);
    QFile::remove(entry);

    // First install: the player is started and registered only once the first import (the
    // samples, which this Tavvel imports itself) is done.
    QProcess tavvel;
    startTavvel(tavvel, offline, {}, QStringLiteral(TAVVEL_MAIN_PROGRAM));
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::isBusNameOwned(kMain); }, 15000));
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::isBusNameOwned(kHelper); }, 30000));
    EXPECT_TRUE(writtenSuite().boolean(PreferencesKey::alreadyImportVideo));
    ASSERT_TRUE(QFile::exists(entry));
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(
        "\nExec=" + platform::desktopEntryExec({QStringLiteral(TAVVEL_HELPER_PROGRAM)}).toUtf8() + "\n"));
    const qint64 player = owner(kHelper);

    // Auto-start off: the entry goes, the player stays.
    setSuite(PreferencesKey::autolaunch, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(entry); }, 5000));
    EXPECT_EQ(owner(kHelper), player);

    // A second Tavvel hands over and exits; the first shows its window.
    QProcess second;
    startTavvel(second, offline, {}, QStringLiteral(TAVVEL_MAIN_PROGRAM));
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    QByteArray out;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            out += tavvel.readAllStandardOutput();
            return out.contains("applicationShouldHandleReopen(_:hasVisibleWindows:)\n");
        },
        5000));
    // Up with its window shown, Tavvel has loaded no web engine: the first preview brings it.
    QFile maps(QStringLiteral("/proc/%1/maps").arg(tavvel.processId()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    EXPECT_FALSE(maps.readAll().contains("libQt6WebEngineCore.so"));

    // Quitting Tavvel leaves the player running and the download list on disk.
    QFile::remove(downloadListPath());
    quit(tavvel);
    EXPECT_EQ(tavvel.exitCode(), 0);
    EXPECT_TRUE((out + tavvel.readAllStandardOutput()).contains("applicationWillTerminate\n"));
    EXPECT_TRUE(QFile::exists(downloadListPath()));
    QTest::qWait(300);
    EXPECT_EQ(owner(kHelper), player);

    // A later start finds the player running and leaves it; the player's quit ends Tavvel.
    QProcess later;
    startTavvel(later, offline, {}, QStringLiteral(TAVVEL_MAIN_PROGRAM));
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::isBusNameOwned(kMain); }, 15000));
    QTest::qWait(1000);
    EXPECT_EQ(owner(kHelper), player);
    testsupport::signalProcess(player, SIGTERM);
    ASSERT_TRUE(later.waitForFinished(15000));
    EXPECT_EQ(later.exitCode(), 0);

    // With no player running, a later start launches it. (The quitting player holds its name
    // until its process ends; a start before that finds it still running.)
    ASSERT_TRUE(QTest::qWaitFor([] { return !platform::isBusNameOwned(kHelper); }, 15000));
    QProcess last;
    startTavvel(last, offline, {}, QStringLiteral(TAVVEL_MAIN_PROGRAM));
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::isBusNameOwned(kHelper); }, 15000));
    EXPECT_FALSE(QFile::exists(entry));
    testsupport::signalProcess(owner(kHelper), SIGTERM);
    EXPECT_TRUE(last.waitForFinished(15000));
}

TEST(StartUpProcess, ADesktopPlayerThatDiesIsStartedAgainAFewTimesThenWhenTheWallpaperIsAskedFor) {
    const QString offline = testsupport::refusedServiceUrl();
    setSuite(QStringLiteral("appVersion"), QStringLiteral("1.0"));
    setSuite(PreferencesKey::alreadyImportVideo, true);
    setSuite(PreferencesKey::autolaunch, false);
    setSuite(PreferencesKey::isOpenPlayer, true);
    QProcess tavvel;
    startTavvel(tavvel, offline, {}, QStringLiteral(TAVVEL_MAIN_PROGRAM));
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::isBusNameOwned(kHelper); }, 30000));

    // Killed, the player posts no quit notice: Tavvel stays and starts a new one at once, up to
    // its limit; the next kill leaves it stopped until a video is chosen (here written by another
    // program, seen at Tavvel's next settings pass).
    QByteArray out;
    const auto said = [&](const QByteArray& line) {
        return QTest::qWaitFor(
            [&] {
                out += tavvel.readAllStandardOutput();
                return out.contains(line);
            },
            15000);
    };
    for (int round = 0; round <= PlayerStatus::kRestarts; ++round) {
        SCOPED_TRACE(round);
        const qint64 player = owner(kHelper);
        testsupport::signalProcess(player, SIGKILL);
        if (round < PlayerStatus::kRestarts) {
            // One look-up: the killed player can still own its name at a first look and be gone at a second.
            ASSERT_TRUE(QTest::qWaitFor(
                [&] {
                    const qint64 now = owner(kHelper);
                    return now > 0 && now != player;
                },
                15000));
        } else {
            ASSERT_TRUE(said("the desktop player ended unexpectedly; it is not started again\n"));
            EXPECT_FALSE(platform::isBusNameOwned(kHelper));
        }
        EXPECT_EQ(tavvel.state(), QProcess::Running);
    }
    // A crash left on record is not held against the video the user now asks for: the new
    // player starts afresh.
    QDir().mkpath(QFileInfo(platform::crashRecordPath()).absolutePath());
    QFile record(platform::crashRecordPath());
    ASSERT_TRUE(record.open(QIODevice::WriteOnly));
    record.write("chosen");
    record.close();
    platform::DefaultsSuite& helperSuite = platform::helperDefaults();
    helperSuite.setObject(QString::fromLatin1(platform::kCrashedVideosKey), QStringList{QStringLiteral("old")});
    helperSuite.synchronize();
    setSuite(PreferencesKey::currentVideoSign, QStringLiteral("chosen"));
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::isBusNameOwned(kHelper); }, 15000));
    QTest::qWait(1500);  // the new player's start is over
    helperSuite.synchronizeIfChanged();
    EXPECT_FALSE(helperSuite.contains(QString::fromLatin1(platform::kCrashedVideosKey)));
    EXPECT_FALSE(platform::wallpaperProblem().contains(QStringLiteral("crashed")))
        << platform::wallpaperProblem().toStdString();
    quit(tavvel);
    if (const qint64 player = owner(kHelper); player > 0)
        testsupport::signalProcess(player, SIGTERM);
    ASSERT_TRUE(QTest::qWaitFor([] { return !platform::isBusNameOwned(kHelper); }, 15000));
}

// Another program holds the library while Tavvel starts: the lock of its check at start and an
// exclusive transaction, as a second Tavvel mending the file would. The window's thread never
// waits for them (its longest gap stays far below the database's 3 s wait, where it waited for
// the lock as long as it was held), and the library's row shows once they are released. The
// same start with the library free gives the figure to compare.
TEST(StartUpProcess, ALibraryHeldElsewhereHoldsUpNeitherTheWindowNorItsRows) {
    setSuite(QStringLiteral("appVersion"), QStringLiteral("1.0"));
    setSuite(PreferencesKey::alreadyImportVideo, true);
    setSuite(PreferencesKey::autolaunch, false);
    const QString path = LocalVideoDBManager::defaultPath();
    for (const QString& old : QDir(QFileInfo(path).absolutePath()).entryList({QStringLiteral("Tavvel.db*")}))
        QFile::remove(QFileInfo(path).dir().filePath(old));
    ASSERT_EQ(LocalVideoDBManager(path).insertVideo(testsupport::video(QStringLiteral("kept"), QStringLiteral("Kept"))),
              LocalVideoDBManager::InsertResult::inserted);

    qint64 longest[2] = {};
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "held" : "free");
        const int checking = ::open(
            QFile::encodeName(QFileInfo(path).dir().filePath(".Tavvel.db-checking")).constData(),
            O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(checking, 0);
        std::optional<testsupport::WriteLock> transaction;
        if (held) {
            ASSERT_EQ(::flock(checking, LOCK_EX), 0);
            transaction.emplace("BEGIN EXCLUSIVE;", path);
            ASSERT_TRUE(transaction->held);
        }
        QProcess tavvel;
        startTavvel(tavvel, testsupport::refusedServiceUrl(), {"1.0", "10", "gaps"});
        QByteArray out;
        const auto said = [&](const QByteArray& line, int ms) {
            return QTest::qWaitFor([&] { return (out += tavvel.readAllStandardOutput()).contains(line); }, ms);
        };
        EXPECT_TRUE(said("start: longest gap ", 10000)) << out.toStdString();
        const qsizetype at = out.indexOf("start: longest gap ");
        longest[held] = at < 0 ? 10000 : out.mid(at + 19, out.indexOf(' ', at + 19) - at - 19).toLongLong();
        EXPECT_LT(longest[held], 1500);
        ::close(checking);
        transaction.reset();
        EXPECT_TRUE(said("library: 1 rows\n", 15000)) << out.toStdString();
        quit(tavvel);
    }
    std::printf("longest wait at start: %lld ms with the library held, %lld ms without\n",
                static_cast<long long>(longest[1]), static_cast<long long>(longest[0]));
}

TEST(CrashProcess, AHugeCrashFolderIsTrimmedAndUploadedAFewAtATime) {
    QDir dir(crash::directory());
    dir.removeRecursively();
    ASSERT_TRUE(QDir().mkpath(dir.path()));
    const auto put = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    for (int i = 0; i < 1100; ++i)
        put(dir.filePath(QStringLiteral("%1.txt").arg(1000000 + i)),
            "std::logic_error\n\n(null)\n\nversion: 1.0.10\n\nboom\n\nframe");
    // Not reports of ours, left alone: another name, a link (whose target must not go), a FIFO
    // (whose opening would block), and a report far too large (removed, not sent).
    put(dir.filePath(QStringLiteral("notes.md")), "kept");
    QTemporaryDir outside;
    ASSERT_TRUE(outside.isValid());
    const QString target = outside.filePath(QStringLiteral("private.txt"));
    put(target, QByteArray());
    ASSERT_TRUE(QFile::link(target, dir.filePath(QStringLiteral("7.txt"))));
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("8.txt"))).constData(), 0600), 0);
    put(dir.filePath(QStringLiteral("9999999.txt")), QByteArray(crash::kMaxReportBytes + 1, 'x'));

    ServiceStandIn standIn;
    ASSERT_TRUE(standIn.start());
    setSuite(QStringLiteral("appVersion"), QStringLiteral("1.0.10"));
    // The usual limit of open files of a desktop session.
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    rlimit usual = files;
    usual.rlim_cur = std::min<rlim_t>(1024, files.rlim_cur);
    setrlimit(RLIMIT_NOFILE, &usual);
    QProcess tavvel;
    startTavvel(tavvel, standIn.baseUrl(), {QStringLiteral("1.0"), QStringLiteral("10")});
    setrlimit(RLIMIT_NOFILE, &files);
    const QStringList others{QStringLiteral("7.txt"), QStringLiteral("8.txt"), QStringLiteral("notes.md")};
    const auto left = [&] { return dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return left() == others; }, 30000)) << left().size();
    EXPECT_TRUE(QTest::qWaitFor([&] { return codes(standIn).count(25) == crash::kMaxKeptReports; }, 10000));
    EXPECT_EQ(tavvel.state(), QProcess::Running);
    EXPECT_TRUE(QFile::exists(target));
    quit(tavvel);
    EXPECT_EQ(codes(standIn).count(25), crash::kMaxKeptReports);
    dir.removeRecursively();
}
