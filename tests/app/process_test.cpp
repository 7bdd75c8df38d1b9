// The built programs as processes on this test's own session bus.
#include "platform/AppLauncher.h"
#include "platform/BusName.h"
#include "platform/DefaultsSuite.h"
#include "platform/DistributedNotificationCenter.h"
#include "shared/Preferences.h"
#include "support/ProcessHelpers.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTest>

#include <csignal>

namespace {
const QString kHelperName = QString::fromLatin1(platform::kHelperIdentifier);
const QString kMainName = QString::fromLatin1(platform::kMainAppIdentifier);
const QString kQuitNotice = QString::fromLatin1(platform::kHelperDidTerminateNotification);

void startProgram(QProcess& process, const QString& program) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Nothing listens there, so the programs' update checks fail at once.
    env.insert(QStringLiteral("TAVVEL_SERVICE_URL"), testsupport::refusedServiceUrl());
    // In a sanitizer build, libmpv's own allocations at exit must not turn the exit code.
    env.insert(QStringLiteral("LSAN_OPTIONS"), QStringLiteral("suppressions=" LSAN_SUPPRESSIONS));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, {});
}

QString builtBin(const QString& name) {
    return name == QLatin1String("Tavvel") ? QStringLiteral(TAVVEL_MAIN_PROGRAM)
                                           : QStringLiteral(TAVVEL_HELPER_PROGRAM);
}

qint64 busNameOwnerPid(const QString& name) {
    const QDBusReply<uint> reply = QDBusConnection::sessionBus().interface()->servicePid(name);
    return reply.isValid() ? qint64(reply.value()) : -1;
}

// Counts the quit notices seen on the bus from its making on; a notice of a player that an
// earlier test ended has arrived before.
struct NoticeListener {
    NoticeListener()
        : settled(testsupport::settleBusNotifications()),
          token(platform::DistributedNotificationCenter::defaultCenter().addObserver(kQuitNotice, nullptr,
                                                                                     [this] { ++count; })) {}
    bool settled;
    int count = 0;
    DisposablePtr token;
};

void expectNoticeAfterSignal(int signalNumber) {
    NoticeListener listener;
    ASSERT_TRUE(listener.settled);
    QProcess helper;
    startProgram(helper, builtBin(QStringLiteral("TavvelHelper")));
    ASSERT_TRUE(helper.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::isBusNameOwned(kHelperName); }, 15000));
    // The player is up: the name is taken while its start-up runs.
    QTest::qWait(500);
    EXPECT_EQ(listener.count, 0);
    testsupport::signalProcess(helper.processId(), signalNumber);
    ASSERT_TRUE(helper.waitForFinished(10000));
    EXPECT_EQ(helper.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(helper.exitCode(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return listener.count == 1; }, 3000)) << helper.readAll().toStdString();
}
}  // namespace

TEST(Processes, QuitNoticeAfterSigterm) {
    expectNoticeAfterSignal(SIGTERM);
}

TEST(Processes, QuitNoticeAfterSigint) {
    expectNoticeAfterSignal(SIGINT);
}

TEST(Processes, QuitNoticeAfterQuitFromTheMenu) {
    NoticeListener listener;
    ASSERT_TRUE(listener.settled);
    QProcess child;
    startProgram(child, QStringLiteral(HELPER_QUIT_CHILD));
    ASSERT_TRUE(child.waitForFinished(20000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return listener.count == 1; }, 3000)) << child.readAll().toStdString();
}

TEST(Processes, SecondHelperExitsAtOnce) {
    QProcess first;
    startProgram(first, builtBin(QStringLiteral("TavvelHelper")));
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::isBusNameOwned(kHelperName); }, 15000))
        << first.readAll().toStdString() << first.errorString().toStdString();
    const qint64 owner = busNameOwnerPid(kHelperName);
    EXPECT_EQ(owner, first.processId());

    QProcess second;
    startProgram(second, builtBin(QStringLiteral("TavvelHelper")));
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAll().contains("TavvelHelper is already running"));

    QTest::qWait(300);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(busNameOwnerPid(kHelperName), owner);
    first.terminate();
    EXPECT_TRUE(first.waitForFinished(10000));
}

TEST(Processes, MainProgramStartsTheHelperAndQuitsWithIt) {
    // The first import is done, so the start-up starts the player at once.
    Preferences::sharedDefaults().setBool(PreferencesKey::alreadyImportVideo, true);
    Preferences::sharedDefaults().synchronize();
    QProcess main;
    startProgram(main, builtBin(QStringLiteral("Tavvel")));
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::isBusNameOwned(kMainName); }, 15000));
    // It finds no player running and starts the one beside it.
    ASSERT_TRUE(QTest::qWaitFor([] { return platform::isBusNameOwned(kHelperName); }, 15000));
    const qint64 helperPid = busNameOwnerPid(kHelperName);
    ASSERT_GT(helperPid, 0);

    // A second start hands over to the running one and exits.
    QProcess again;
    startProgram(again, builtBin(QStringLiteral("Tavvel")));
    ASSERT_TRUE(again.waitForFinished(10000));
    EXPECT_EQ(again.exitCode(), 0);
    EXPECT_EQ(main.state(), QProcess::Running);

    // The player's exit ends the main program.
    testsupport::signalProcess(helperPid, SIGTERM);
    EXPECT_TRUE(main.waitForFinished(10000)) << main.readAll().toStdString();
    EXPECT_EQ(main.exitCode(), 0);
    EXPECT_TRUE(QTest::qWaitFor([] { return !platform::isBusNameOwned(kHelperName); }, 10000));
}
