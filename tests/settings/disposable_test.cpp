#include "platform/NotificationCenter.h"
#include "shared/Disposable.h"
#include "shared/Preferences.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/DefaultsSuite.h"

namespace {
struct Target : QObject {
    bool flag = false;
    float level = 0.0f;
    void setFlag(bool v) { flag = v; }
    void setLevel(float v) { level = v; }
};
}  // namespace

TEST(Disposable, RunsItsClosureOnceWhenReleased) {
    int runs = 0;
    auto token = std::make_shared<Disposable>([&] { ++runs; });
    auto copy = token;
    token.reset();
    EXPECT_EQ(runs, 0);
    copy.reset();
    EXPECT_EQ(runs, 1);
}

TEST(Disposable, DisposedByItsOwnerRunsOnceEvenWhenTheClosureReleasesIt) {
    int runs = 0;
    auto token = std::make_shared<Disposable>([&] { ++runs; });
    token->dispose();
    token->dispose();
    token.reset();
    EXPECT_EQ(runs, 1);

    // An owner whose closure drops the owner's own reference to the token.
    DisposablePtr held;
    held = std::make_shared<Disposable>([&] {
        ++runs;
        held.reset();
    });
    held->dispose();
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(held);
}

TEST(Disposable, ReleasedOrReplacedObservationStopsDelivery) {
    QTemporaryDir dir;
    platform::DefaultsSuite suite(dir.filePath("s.ini"));
    Preferences p(suite);
    QObject context;
    int first = 0, second = 0;
    DisposablePtr observeDispose = observe(&p, &Preferences::muteChanged, &context, [&](bool) { ++first; });
    p.setMute(true);
    observeDispose = observe(&p, &Preferences::muteChanged, &context, [&](bool) { ++second; });
    p.setMute(false);
    observeDispose.reset();
    p.setMute(true);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
}

TEST(Disposable, BindFollowsLaterChangesOnly) {
    QTemporaryDir dir;
    platform::DefaultsSuite suite(dir.filePath("s.ini"));
    Preferences::registerSharedDefaults(suite);
    Preferences p(suite);
    Target target;
    auto muteDispose = bindBool(&p, &Preferences::muteChanged, &target, &Target::setFlag);
    auto volumeDispose = bind(&p, &Preferences::volumeChanged, &target, &Target::setLevel);
    EXPECT_FALSE(target.flag);  // nothing copied at bind time
    EXPECT_FLOAT_EQ(target.level, 0.0f);
    p.setMute(true);
    p.setVolume(0.25f);
    EXPECT_TRUE(target.flag);
    EXPECT_FLOAT_EQ(target.level, 0.25f);
    target.flag = false;
    p.setMute(true);  // the same value again still arrives
    EXPECT_TRUE(target.flag);
    muteDispose.reset();
    p.setMute(false);
    EXPECT_TRUE(target.flag);
}

TEST(NotificationCenter, DeliversNameAndUserInfoUntilReleased) {
    auto& center = platform::NotificationCenter::defaultCenter();
    QVariantMap got;
    int count = 0;
    auto dispose = center.addObserver(QStringLiteral("Test.Note"), nullptr, [&](const QVariantMap& info) {
        got = info;
        ++count;
    });
    center.post(QStringLiteral("Other.Note"));
    center.post(QStringLiteral("Test.Note"), {{QStringLiteral("sign"), QStringLiteral("abc")}});
    EXPECT_EQ(count, 1);
    EXPECT_EQ(got.value(QStringLiteral("sign")).toString(), QStringLiteral("abc"));
    dispose.reset();
    center.post(QStringLiteral("Test.Note"));
    EXPECT_EQ(count, 1);
}
