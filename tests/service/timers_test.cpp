// The delayed guide request and the midnight heartbeat.
#include "ServiceFixture.h"

#include <QTimeZone>

using testsupport::ScriptedReply;

namespace {
QDateTime at(const QTimeZone& zone, int y, int m, int d, int h, int min, int s = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min, s), zone);
}
}  // namespace

TEST(MidnightTimer, FirstFiringIsTheNextLocalMidnightPlusUnderAMinute) {
    const QTimeZone berlin("Europe/Berlin");
    ASSERT_TRUE(berlin.isValid());
    // A few seconds before midnight: this very midnight, not a day later.
    const auto soon = WebModel::nextMidnightFire(at(berlin, 2024, 6, 10, 23, 59, 55), 0, berlin);
    ASSERT_TRUE(soon);
    EXPECT_EQ(*soon, at(berlin, 2024, 6, 11, 0, 0));
    // The largest draw stays under a minute (the divisor is 2^33 - 1).
    const auto latest = WebModel::nextMidnightFire(at(berlin, 2024, 6, 10, 8, 0), 0xffffffffu, berlin);
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->toTimeZone(berlin).time(), QTime(0, 0, 59, 999));
    const auto half = WebModel::nextMidnightFire(at(berlin, 2024, 6, 10, 8, 0), 0x80000000u, berlin);
    EXPECT_EQ(half->toTimeZone(berlin).time(), QTime(0, 0, 30));
    // "now" given in another zone still counts the day in the zone asked for.
    const auto fromUtc = WebModel::nextMidnightFire(at(QTimeZone::utc(), 2024, 6, 10, 22, 30), 0, berlin);
    EXPECT_EQ(*fromUtc, at(berlin, 2024, 6, 12, 0, 0));
}

TEST(MidnightTimer, DaylightSavingChangesKeepLocalMidnight) {
    const QTimeZone berlin("Europe/Berlin");
    const quint32 r = 0x40000000u;  // 15 s after midnight
    // Spring: the day of the change has 23 hours.
    const auto spring = WebModel::nextMidnightFire(at(berlin, 2024, 3, 30, 21, 0), r, berlin);
    ASSERT_TRUE(spring);
    EXPECT_EQ(*spring, at(berlin, 2024, 3, 31, 0, 0, 15));
    const QDateTime afterSpring = WebModel::followingFire(*spring, *spring);
    EXPECT_EQ(afterSpring, at(berlin, 2024, 4, 1, 0, 0, 15));
    EXPECT_EQ(spring->secsTo(afterSpring), 23 * 3600);
    // Autumn: 25 hours.
    const QDateTime autumn = at(berlin, 2024, 10, 27, 0, 0, 15);
    const QDateTime afterAutumn = WebModel::followingFire(autumn, autumn);
    EXPECT_EQ(afterAutumn, at(berlin, 2024, 10, 28, 0, 0, 15));
    EXPECT_EQ(autumn.secsTo(afterAutumn), 25 * 3600);
    // A zone where that midnight does not exist: the day starts at 01:00.
    const QTimeZone saoPaulo("America/Sao_Paulo");
    const auto gap = WebModel::nextMidnightFire(at(saoPaulo, 2018, 11, 3, 12, 0), 0, saoPaulo);
    ASSERT_TRUE(gap);
    EXPECT_EQ(gap->toTimeZone(saoPaulo).date(), QDate(2018, 11, 4));
    EXPECT_EQ(gap->toTimeZone(saoPaulo).time(), QTime(1, 0));
}

TEST(MidnightTimer, MissedDaysAreSkippedAndTheOffsetKept) {
    const QTimeZone berlin("Europe/Berlin");
    const QDateTime scheduled = at(berlin, 2024, 5, 1, 0, 0, 42);
    EXPECT_EQ(WebModel::followingFire(scheduled, at(berlin, 2024, 5, 1, 0, 5)), at(berlin, 2024, 5, 2, 0, 0, 42));
    // Asleep from May 1st to the afternoon of May 4th: the next one is May 5th.
    EXPECT_EQ(WebModel::followingFire(scheduled, at(berlin, 2024, 5, 4, 15, 0)), at(berlin, 2024, 5, 5, 0, 0, 42));
}

TEST_F(ServiceTest, MidnightCheckAgainstTheWallClockSendsOneHeartbeatAfterSleep) {
    QDateTime clock = QDateTime::currentDateTime();
    model->setClockForTesting([&clock] { return clock; });
    const auto fire = model->midnightFireDate();
    ASSERT_TRUE(fire);
    EXPECT_GT(*fire, clock);
    EXPECT_LE(clock.secsTo(*fire), 25 * 3600);

    model->checkMidnightTimer();  // not yet time
    QTest::qWait(50);
    EXPECT_EQ(standIn.requestCount(), 0);

    clock = fire->addDays(2).addSecs(3600);  // slept over three midnights
    model->checkMidnightTimer();
    ASSERT_TRUE(standIn.waitForRequests(1));
    model->checkMidnightTimer();
    QTest::qWait(100);
    const auto all = standIn.requests();
    ASSERT_EQ(all.size(), 1);
    EXPECT_EQ(all[0].code, 21);
    EXPECT_EQ(all[0].json->value("type").toString(), "2");
    EXPECT_EQ(all[0].json->value("n").toString(), "1000");
    EXPECT_EQ(model->midnightFireDate(), fire->addDays(3));
}

TEST_F(ServiceTest, NewClientAsksForTheGuideTwoSecondsLater) {
    QElapsedTimer elapsed;
    elapsed.start();
    WebModel timed(standIn.baseUrl(), true);
    EXPECT_TRUE(timed.midnightFireDate());
    ASSERT_TRUE(standIn.waitForRequests(1, 15000));
    EXPECT_GE(elapsed.elapsed(), 1900);
    EXPECT_LT(elapsed.elapsed(), 6000);  // a loaded machine may run late, never early
    EXPECT_EQ(only().code, 214);
}

TEST_F(ServiceTest, MidnightTimerKeepsCheckingTheWallClockByItself) {
    WebModel timed(standIn.baseUrl(), true);
    const auto fire = timed.midnightFireDate();
    ASSERT_TRUE(fire);
    QDateTime clock = fire->addMSecs(-300);
    timed.setClockForTesting([&clock] { return clock; });
    const auto heartbeats = [this] {
        int n = 0;
        for (const auto& request : standIn.requests())
            n += request.code == 21;
        return n;
    };
    timed.checkMidnightTimer();  // not yet: the timer is armed for the rest
    QTest::qWait(400);
    clock = *fire;
    EXPECT_TRUE(QTest::qWaitFor([&] { return heartbeats() == 1; }, 3000));
    EXPECT_EQ(timed.midnightFireDate(), fire->addDays(1));
}
