// Start-up of the desktop player with its parts on fakes and the service stand-in: the order,
// the silent check, the menu's check, wake.
#include "HelperRig.h"
#include "platform/Bundle.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/SystemEvents.h"
#include "player/AppDelegate.h"
#include "player/CustomAlertWindowController.h"
#include "player/StatusBarManager.h"
#include "player/UpgradeWindowController.h"
#include "support/ProcessHelpers.h"
#include "support/ServiceStandIn.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QTest>

using testsupport::ScriptedReply;
using testsupport::ServiceStandIn;

namespace {
const bool bundleSet = [] {
    platform::setMainBundle({QStringLiteral("1.2.3"), QStringLiteral("45"), QStringLiteral("com.zembo.TavvelHelper")});
    return true;
}();

int countCode(const ServiceStandIn& s, int code) {
    int n = 0;
    for (const auto& r : s.requests())
        if (r.code == code)
            ++n;
    return n;
}

// The delegate's parts on fakes, its web client against the stand-in.
struct StartRig {
    ServiceStandIn standIn;
    const bool started = standIn.start();
    HelperRig helper{standIn.baseUrl()};
    CallLog& log = helper.log;
    TestLibrary& library = helper.library;
    VideoPlayerManager& manager = helper.manager;
    AppDelegate& delegate = helper.delegate;
};
}  // namespace

TEST(StartUp, PlaysThenMenuThenSilentCheck) {
    ASSERT_TRUE(bundleSet);
    StartRig rig;
    rig.library.addVideo(QStringLiteral("a"));
    rig.standIn.setReply(24, ScriptedReply::encrypted(R"({"data":{"url":"https://dl.test","ver":"1.2.3.45"}})"));
    ASSERT_TRUE(rig.started);
    AppDelegate& delegate = rig.delegate;
    delegate.startHelper();

    // Playing started, windows placed, the menu built with its five observations.
    EXPECT_TRUE(rig.log.lines.contains("play"));
    EXPECT_TRUE(rig.manager.windowList().size() == 1 && static_cast<FakeWindow&>(*rig.manager.windowList()[0]).visible);
    EXPECT_EQ(rig.helper.menu.observationCount(), 5);
    // The check goes out; an equal version shows nothing at start-up.
    ASSERT_TRUE(QTest::qWaitFor([&] { return countCode(rig.standIn, 24) == 1; }));
    QTest::qWait(300);
    EXPECT_FALSE(delegate.upgradeWC());
    EXPECT_FALSE(delegate.hasUpToDateWindowController());
}

TEST(StartUp, MenuCheckAndWake) {
    StartRig rig;
    rig.library.addVideo(QStringLiteral("a"));
    rig.standIn.setReply(24, ScriptedReply::encrypted(R"({"data":""})"));
    ASSERT_TRUE(rig.started);
    AppDelegate& delegate = rig.delegate;
    delegate.startHelper();
    ASSERT_TRUE(QTest::qWaitFor([&] { return countCode(rig.standIn, 24) == 1; }));

    // "Check for Updates..." reports that the version is current.
    QAction* check = nullptr;
    for (QAction* a : rig.helper.menu.statusMenu()->actions())
        if (a->text() == "Check for Updates...")
            check = a;
    ASSERT_TRUE(check);
    check->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.hasUpToDateWindowController(); }));
    EXPECT_EQ(delegate.upToDateWindowController().titleLabel()->text(), "You're up to date");
    EXPECT_EQ(delegate.upToDateWindowController().infoLabel()->text(), "1.2.3(45) is currently the newest version");

    // Wake while open and playing: windows placed again and play resumed, nothing reloaded.
    rig.log.take();
    emit platform::SystemEvents::shared().didWake();
    QStringList calls = rig.log.take();
    EXPECT_TRUE(calls.contains("play")) << calls.join(", ").toStdString();
    EXPECT_TRUE(calls.contains("w0 back"));
    EXPECT_FALSE(calls.filter("replace").size());

    // Paused, or closed: waking does nothing.
    rig.helper.prefs.setIsPlaying(false);
    rig.log.take();
    emit platform::SystemEvents::shared().didWake();
    EXPECT_TRUE(rig.log.take().isEmpty());
    rig.helper.prefs.setIsPlaying(true);
    rig.helper.prefs.setIsOpenPlayer(false);
    rig.log.take();
    emit platform::SystemEvents::shared().didWake();
    EXPECT_TRUE(rig.log.take().isEmpty());
}

TEST(StartUp, NewerOfferAtStartOpensTheWindow) {
    StartRig rig;
    rig.standIn.setReply(
        24, ScriptedReply::encrypted(R"({"data":{"url":"https://dl.test","ver":"1.2.10.0","exp":"<p>Notes</p>"}})"));
    ASSERT_TRUE(rig.started);
    AppDelegate& delegate = rig.delegate;
    delegate.startHelper();
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate.upgradeWC() != nullptr; }));
    EXPECT_TRUE(delegate.upgradeWC()->window()->isVisible());
    EXPECT_FALSE(delegate.hasUpToDateWindowController());
}

TEST(StartUp, QuitNoticeGoesOnTheBus) {
    int received = 0;
    const DisposablePtr token = platform::DistributedNotificationCenter::defaultCenter().addObserver(
        AppDelegate::helperDidTerminateNotification(), nullptr, [&] { ++received; });
    EXPECT_EQ(AppDelegate::helperDidTerminateNotification(), "com.zembo.tavvel.mac.ter");
    HelperRig rig(testsupport::refusedServiceUrl());
    rig.delegate.applicationWillTerminate();
    EXPECT_TRUE(QTest::qWaitFor([&] { return received == 1; }, 3000));
}
