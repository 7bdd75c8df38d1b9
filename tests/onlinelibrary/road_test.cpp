// The road of one download through the library screen, end to end: the online list from the
// stand-in, the context menu's "Download" on a video the pane does not show yet, the download
// tab's progress, pause and resume (the byte count goes on), verification into the library,
// the badge, "Set as Wallpaper" in the shared settings, and the desktop player (a process of
// its own on this test's session bus) with that video as its current item.
#include "OnlineTestSupport.h"

#include "MainWindow/library/VideoLibraryViewController.h"
#include "MainWindow/onlinelibrary/WebLibraryViewModel.h"
#include "MainWindow/downloads/DownloadItemCell.h"
#include "MainWindow/detailpane/VideoDetailView.h"
#include "platform/DefaultsSuite.h"
#include "service/DownloadManager.h"
#include "service/VideoSign.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"
#include "support/FileServing.h"
#include "views/ButtonWithHoverBackGround.h"
#include "views/ClickableImageView.h"
#include "views/TabTitleView.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>

using namespace onlinetest;
using testsupport::ScriptedReply;

// The library screen talks through the process's shared client.
class RoadOfOneDownload : public NoStoredDownloads {
protected:
    void SetUp() override {
        standIn.reset();
        qputenv("TAVVEL_SERVICE_URL", standIn.baseUrl().toUtf8());  // for the desktop player too
    }
    void TearDown() override { qunsetenv("TAVVEL_SERVICE_URL"); }
    testsupport::ServiceStandIn& standIn = processStandIn();
};

TEST_F(RoadOfOneDownload, FromTheOnlineListToTheDesktopPlayer) {
    testsupport::FileServing files(standIn);
    const QString path = testsupport::testVideo(QStringLiteral("big.mp4"));
    const QString sign = videoSign(path).value_or(QString());
    ASSERT_FALSE(sign.isEmpty());
    files.addFile(QStringLiteral("big.mp4"), path);
    files.setSpeedLimit(600 * 1024);
    VideoDetail wanted = catalogueVideo(sign);
    wanted.url = files.url(QStringLiteral("big.mp4"));
    wanted.size = QFileInfo(path).size();
    standIn.setReply(502, ScriptedReply::encrypted(pageJson(1, 1, 1, "other", 2, {wanted})));
    standIn.setReply(503, reply(R"("")"));

    VideoLibraryViewController screen(MainParts::make());
    ASSERT_TRUE(testsupport::showExposed(screen.view(), QSize(1100, 700)));
    WebLibraryViewModel* online = screen.webLibraryViewModel();
    VideoDetailView* pane = screen.detailView();
    screen.switchTab(screen.onlineTab());
    ASSERT_TRUE(QTest::qWaitFor([&] { return online->videoCount() == 2; }));
    drain();
    ASSERT_TRUE(pane->videoDetail());
    ASSERT_EQ(pane->videoDetail()->sign, QStringLiteral("other0"));
    screenshot(screen.view(), QStringLiteral("online_tab"));

    // Right click on the second video and "Download" at once, before the pane caught up.
    QMenu* menu = nullptr;
    QObject::connect(screen.collectionView(), &WQCollectionView::menuShown, screen.view(), [&](QMenu* m) { menu = m; });
    online->didRightClickItem(1, QPoint(50, 50));
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().at(1)->text(), QStringLiteral("Download"));
    menu->actions().at(1)->trigger();
    DownloadManager& queue = DownloadManager::shared();
    ASSERT_EQ(queue.progressArray().size(), 1u);
    EXPECT_EQ(queue.progressArray()[0]->videoInfo.sign, sign);
    EXPECT_EQ(pane->videoDetail()->sign, QStringLiteral("other0"));
    EXPECT_EQ(pane->action(), VideoDetailView::Action::download);  // the shown video is not marked
    drain();
    EXPECT_EQ(pane->videoDetail()->sign, sign);
    EXPECT_EQ(pane->action(), VideoDetailView::Action::downloading);
    EXPECT_EQ(online->index(1).data(LibraryViewModel::BadgeRole).toString(),
              QStringLiteral("online_video_list_downloading_tavvel.png"));
    // Asking again only shows the download list: nothing is queued twice.
    pane->downloadButton->click();
    drain();
    EXPECT_EQ(queue.progressArray().size(), 1u);
    EXPECT_TRUE(screen.downloadTab()->highlight);

    // The download tab's row follows the transfer.
    std::shared_ptr<DownloadItem> item = queue.progressArray()[0];
    auto cell = [&]() -> DownloadItemCell* {
        const auto cells = screen.collectionView()->findChildren<DownloadItemCell*>();
        return cells.size() == 1 ? cells.first() : nullptr;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return cell() && cell()->progressIndicator->value() >= 10; }, 15000));
    EXPECT_EQ(cell()->status->text(), QStringLiteral("Downloading..."));
    screenshot(screen.view(), QStringLiteral("download_tab"));
    cell()->downloadImageView->clickAction();  // pause
    EXPECT_EQ(item->status, ItemStatus::pause);
    EXPECT_EQ(cell()->status->text(), QStringLiteral("Pause"));
    screenshot(screen.view(), QStringLiteral("download_paused"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return item->cacheURL.has_value(); }));
    const qint64 paused = item->downloadedSize;
    const int pausedPercent = cell()->progressIndicator->value();
    ASSERT_GT(paused, 0);

    // Resumed, the count goes on from the kept bytes, through a range request.
    std::vector<qint64> steps;
    QObject::connect(item.get(), &DownloadItem::progressDidChange, screen.view(),
                     [&](const DownloadProgress& p) { steps.push_back(p.completedUnitCount); });
    cell()->downloadImageView->clickAction();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !steps.empty(); }));
    EXPECT_GE(steps.front(), paused);
    EXPECT_GE(cell()->progressIndicator->value(), pausedPercent);
    EXPECT_EQ(files.requests().last().range, "bytes=" + QByteArray::number(paused) + "-");
    EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));

    // Verified and in the library: the row goes, the badge says "downloaded".
    ASSERT_TRUE(QTest::qWaitFor([&] { return LocalVideoDBManager::shared().videoWithSign(sign).has_value(); }, 30000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return queue.progressArray().empty(); }));
    drain();
    EXPECT_FALSE(cell());
    EXPECT_LE(steps.back(), wanted.size);
    screen.switchTab(screen.onlineTab());
    drain();
    EXPECT_EQ(online->index(1).data(LibraryViewModel::BadgeRole).toString(),
              QStringLiteral("online_video_list_downloaded_tavvel.png"));

    // "Set as Wallpaper" from the pane writes the shared settings.
    Preferences::shared().setIsOpenPlayer(false);
    online->didSelectRows({1});
    drain();
    ASSERT_EQ(pane->action(), VideoDetailView::Action::setAsWallpaper);
    pane->downloadButton->click();
    ASSERT_TRUE(Preferences::shared().flush());  // the settings are written by a worker
    platform::DefaultsSuite onDisk(Preferences::sharedDefaults().filePath());
    EXPECT_EQ(onDisk.string(QStringLiteral("CurrentVideoSign")), std::optional<QString>(sign));
    EXPECT_EQ(onDisk.boolean(QStringLiteral("IsOpenPlayer")), true);

    // The desktop player, started now, follows the settings to that video.
    QProcess player;
    player.start(QStringLiteral(ROAD_PLAYER_CHILD), {sign});
    ASSERT_TRUE(player.waitForFinished(30000));
    const QByteArray out = player.readAllStandardOutput();
    EXPECT_EQ(player.exitCode(), 0) << out.constData();
    EXPECT_TRUE(out.contains("current " + sign.toLatin1())) << out.constData();
}
