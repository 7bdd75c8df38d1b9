// Two real processes over one settings file and one session bus.
#include "platform/DefaultsSuite.h"
#include "platform/DistributedNotificationCenter.h"
#include "shared/Disposable.h"
#include "shared/Preferences.h"
#include "support/ProcessHelpers.h"
#include "SettingsChurn.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
bool waitForLine(QProcess& child, const QByteArray& line, int ms) {
    QElapsedTimer t;
    t.start();
    QByteArray seen;
    while (t.elapsed() < ms) {
        child.waitForReadyRead(50);
        seen += child.readAllStandardOutput();
        if (seen.contains(line))
            return true;
    }
    return false;
}
}  // namespace

TEST(CrossProcess, ChildChangeReachesParentObserverWithinOneAndAHalfSeconds) {
    Preferences& p = Preferences::shared();
    p.setIsOpenPlayer(true);
    p.flush();  // in the file before the child changes it
    bool seen = false;
    QElapsedTimer elapsed;
    auto dispose = observe(&p, &Preferences::isOpenPlayerChanged, QCoreApplication::instance(),
                           [&](bool v) { seen = !v; });
    QProcess child;
    testsupport::startChild(child, SETTINGS_CHILD, {"set", "IsOpenPlayer", "false"});
    ASSERT_TRUE(child.waitForFinished(5000));
    elapsed.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return seen; }, 1500));
    EXPECT_FALSE(p.isOpenPlayer());
}

TEST(CrossProcess, ParentChangeReachesChildObserver) {
    Preferences& p = Preferences::shared();
    QProcess child;
    testsupport::startChild(child, SETTINGS_CHILD, {"watch", "PlayModel"});
    ASSERT_TRUE(waitForLine(child, "ready", 5000));
    // A value other than the one an earlier test may have left.
    const qint64 next = p.playModel() == 2 ? 1 : 2;
    p.setPlayModel(next);
    EXPECT_TRUE(waitForLine(child, "changed " + QByteArray::number(next), 1500));
    child.kill();
    child.waitForFinished();
}

TEST(CrossProcess, OpeningThePlayerInOneProcessUnpausesTheOther) {
    Preferences& p = Preferences::shared();
    p.setIsOpenPlayer(false);
    p.setIsPlaying(false);
    p.flush();
    QProcess child;
    testsupport::startChild(child, SETTINGS_CHILD, {"set", "IsOpenPlayer", "true"});
    ASSERT_TRUE(child.waitForFinished(5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.isPlaying(); }, 1500));
    EXPECT_TRUE(p.isOpenPlayer());
}

TEST(CrossProcess, DistributedNotificationReachesAnotherProcess) {
    auto& center = platform::DistributedNotificationCenter::defaultCenter();
    if (!center.isAvailable())
        GTEST_SKIP() << "no session bus";
    // Child to parent.
    bool got = false;
    auto dispose = center.addObserver(QStringLiteral("UpdateVideoList"), QCoreApplication::instance(),
                                      [&] { got = true; });
    QProcess poster;
    testsupport::startChild(poster, SETTINGS_CHILD, {"post", "UpdateVideoList"});
    ASSERT_TRUE(poster.waitForFinished(5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return got; }, 2000));

    // Parent to child.
    QProcess listener;
    testsupport::startChild(listener, SETTINGS_CHILD, {"listen", "com.zembo.tavvel.mac.ter"});
    ASSERT_TRUE(waitForLine(listener, "ready", 5000));
    center.post(QStringLiteral("com.zembo.tavvel.mac.ter"));
    EXPECT_TRUE(waitForLine(listener, "got com.zembo.tavvel.mac.ter", 2000));
    listener.kill();
    listener.waitForFinished();
}

TEST(CrossProcess, RapidWritesOfTheOtherProgramAreNeverPutBack) {
    // The other program writes a value every 2 ms while this one re-reads as often as it can:
    // whatever the pass read, its last write must stand, here and in the file.
    Preferences& p = Preferences::shared();
    for (int round = 0; round < 5; ++round) {
        const qint64 from = round * 100 + 1, to = round * 100 + 40;
        QProcess child;
        testsupport::startChild(child, SETTINGS_CHILD,
                                {"count", "ScreenIndex", QString::number(from), QString::number(to), "2"});
        ASSERT_TRUE(child.waitForStarted());
        while (child.state() != QProcess::NotRunning) {
            p.updateUserDefaultFromDisk();
            child.waitForFinished(1);
        }
        p.updateUserDefaultFromDisk();
        EXPECT_EQ(p.screenIndex(), to) << "round " << round;
        QFile file(Preferences::sharedDefaults().filePath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll().contains("ScreenIndex=" + QByteArray::number(to))) << "round " << round;
    }
}

TEST(CrossProcess, TwoProgramsChangingAtOnceLoseNoFinalValue) {
    // Both programs change random keys for a while (4 s here; bench/settings runs it for 60 s).
    const int seconds = qEnvironmentVariableIsSet("TAVVEL_SETTINGS_RUN_SECONDS")
                            ? qEnvironmentVariableIntValue("TAVVEL_SETTINGS_RUN_SECONDS")
                            : 4;
    const qint64 ms = qint64(seconds) * 1000;
    Preferences& p = Preferences::shared();
    const quint32 seed = QRandomGenerator::global()->generate();
    QProcess child;
    testsupport::startChild(child, SETTINGS_CHILD, {"churn", QString::number(ms), QString::number(seed + 1)});
    ASSERT_TRUE(child.waitForStarted());
    std::vector<settingschurn::Write> writes;
    const settingschurn::Churn churn(
        p, seed, ms, [&](const settingschurn::Write& w) { writes.push_back(w); }, [] {});
    // The child prints its finals three seconds after its last write; by then both have passed.
    ASSERT_TRUE(QTest::qWaitFor([&] { return child.state() == QProcess::NotRunning; }, int(ms) + 15000));
    std::map<QString, QString> childFinal;
    for (const QString& line : QString::fromUtf8(child.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("final ")))
            childFinal[line.section(u' ', 1, 1)] = line.section(u' ', 2, 2);
        else
            writes.push_back(settingschurn::parseWrite(1, line));
    }
    const auto acceptable = settingschurn::acceptableFinals(writes);
    int lost = 0;
    for (const auto& key : settingschurn::keys()) {
        const QString name = QString::fromLatin1(key.name);
        if (!acceptable.count(name))
            continue;
        const QStringList& ok = acceptable.at(name);
        const bool here = ok.contains(key.value(p)), there = ok.contains(childFinal[name]);
        lost += !here || !there;
        EXPECT_TRUE(here && there) << key.name << ": here " << key.value(p).toStdString() << ", there "
                                   << childFinal[name].toStdString() << ", expected one of "
                                   << ok.join(u',').toStdString();
    }
    std::printf("settings two programs %d s: %zu writes, %d of %zu final values lost\n", seconds, writes.size(), lost,
                acceptable.size());
}

TEST(CrossProcess, AWriterKilledInTheMiddleOfAWriteHoldsNoOtherWriteUp) {
    // A process killed while it held QSettings' lock, and not yet reaped by its parent: it still
    // looks alive to QSettings, which would wait 30 s for its lock to go stale.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("suite.ini"));
    platform::DefaultsSuite suite(path);
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        pause();
        _exit(0);
    }
    QFile lock(path + QStringLiteral(".lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(writer) + "\nTavvelHelper\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    ::kill(writer, SIGKILL);

    QElapsedTimer write;
    write.start();
    suite.setBool(QStringLiteral("IsOpenPlayer"), true);
    EXPECT_TRUE(suite.synchronize());
    EXPECT_LT(write.elapsed(), 3000);  // 8 s or more without the mend, a few ms with it
    EXPECT_TRUE(platform::DefaultsSuite(path).boolean(QStringLiteral("IsOpenPlayer")));
    ::waitpid(writer, nullptr, 0);
}
