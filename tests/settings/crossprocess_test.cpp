// Two real processes over one settings file and one session bus.
#include "platform/DistributedNotificationCenter.h"
#include "shared/Disposable.h"
#include "shared/Preferences.h"
#include "support/ProcessHelpers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

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
}

TEST(CrossProcess, ChildChangeReachesParentObserverWithinOneAndAHalfSeconds) {
    Preferences& p = Preferences::shared();
    ASSERT_TRUE(p.isOpenPlayer());
    bool seen = false;
    QElapsedTimer elapsed;
    auto dispose = observe(&p, &Preferences::isOpenPlayerChanged, QCoreApplication::instance(), [&](bool v) { seen = !v; });
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
    p.setPlayModel(2);
    EXPECT_TRUE(waitForLine(child, "changed 2", 1500));
    child.kill();
    child.waitForFinished();
}

TEST(CrossProcess, OpeningThePlayerInOneProcessUnpausesTheOther) {
    Preferences& p = Preferences::shared();
    p.setIsOpenPlayer(false);
    p.setIsPlaying(false);
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
    auto dispose = center.addObserver(QStringLiteral("UpdateVideoList"), QCoreApplication::instance(), [&] { got = true; });
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
