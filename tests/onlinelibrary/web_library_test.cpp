// The online list against the service stand-in: paging with its footer texts, the first
// page's failures and the refresh, replies that a newer request replaced, badges, the context
// menu and double click.
#include "OnlineTestSupport.h"

#include "MainWindow/onlinelibrary/WebLibraryViewModel.h"
#include "MainWindow/library/FooterView.h"
#include "MainWindow/library/WQCollectionView.h"
#include "service/DownloadManager.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QWheelEvent>
#include <functional>

using namespace onlinetest;
using testsupport::ScriptedReply;
using Status = WebLibraryViewModel::LoadStatus;

namespace {
class OnlineList : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        LocalVideoDBManager::shared().deleteAllVideos();
        model = std::make_unique<WebLibraryViewModel>(testsupport::mainParts(client.get(), &queue));
        grid.layout.footerHeight = 30;
        view.resize(800, 500);
        model->bind(&view);
        model->videoDetailDidChanged = [this](const std::optional<VideoDetail>& v) { shown = v ? v->sign : QString(); };
    }
    void TearDown() override {
        model->unbind();
        ServiceTest::TearDown();
    }

    QStringList signs() const {
        QStringList out;
        if (model->videoList())
            for (const VideoDetail& v : *model->videoList())
                out << v.sign;
        return out;
    }
    QString footer() const { return view.footerView()->titleLabel->text(); }
    QJsonObject lastJson() const { return *standIn.requests().last().json; }
    bool waitForRows(int count) {
        return QTest::qWaitFor([&] { return model->videoCount() == count; }, 5000);
    }
    bool loadFirst(const ScriptedReply& reply, int rows) {
        standIn.queueReply(502, reply);
        model->loadFirstPage();
        return waitForRows(rows);
    }

    DownloadManager queue{WebModel::shared(), LocalVideoDBManager::shared()};
    testsupport::Grid grid;
    WQCollectionView& view = grid.view;
    std::unique_ptr<WebLibraryViewModel> model;
    QString shown;
};
}  // namespace

TEST_F(OnlineList, PagesAppendAtTheEndUntilTheLastOneAndAFailedPageIsAskedForAgain) {
    ASSERT_TRUE(loadFirst(page(1, 3, 3, "a"), 3));
    drain();
    EXPECT_EQ(model->loadStatus(), Status::none);
    EXPECT_FALSE(model->overlay());
    EXPECT_EQ(footer(), QString());
    EXPECT_EQ(model->totalVideoCount(), 100);
    EXPECT_EQ(shown, QStringLiteral("a0"));  // item 0 reaches the detail pane

    // Exactly 100 points above the end is not near enough; 99.5 is.
    testing::internal::CaptureStdout();
    model->loadMoreIfNeeded(1000.0, 900.0, 0.0);
    const std::string logged = testing::internal::GetCapturedStdout();
    EXPECT_NE(logged.find("maximumOffset 1000, currentOffset 900, inset.bottom 0\n"), std::string::npos) << logged;
    drain();
    EXPECT_EQ(standIn.requestCount(), 1);
    standIn.queueReply(502, ScriptedReply::raw("<html>busy</html>", 502));
    model->loadMoreIfNeeded(1000.0, 900.5, 0.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->loadStatus() == Status::failed; }));
    drain();
    EXPECT_EQ(footer(), QStringLiteral("Try to scroll to reload again"));
    EXPECT_EQ(client->latestRequest()->page, 1);

    // The failed page is asked for again.
    standIn.queueReply(502, page(2, 3, 3, "b").delayed(300));
    model->loadMoreIfNeeded(1000.0, 900.5, 0.0);
    EXPECT_EQ(model->loadStatus(), Status::loading);
    EXPECT_EQ(footer(), QStringLiteral("Loading more videos ..."));
    EXPECT_EQ(client->latestRequest()->page, 2);
    model->loadMoreIfNeeded(1000.0, 999.0, 0.0);  // one page at a time
    ASSERT_TRUE(waitForRows(6));
    EXPECT_EQ(standIn.requestCount(), 3);
    EXPECT_EQ(lastJson().value("page").toInteger(), 2);
    EXPECT_EQ(model->loadStatus(), Status::none);
    EXPECT_EQ(signs().mid(2, 2), (QStringList{"a2", "b0"}));

    // The last page ends the paging; the real list's end of scrolling asks for nothing more.
    standIn.queueReply(502, page(3, 3, 1, "c"));
    view.scrollToBottom();
    model->didEndScrolling();
    ASSERT_TRUE(waitForRows(7));
    EXPECT_EQ(model->loadStatus(), Status::loadedAll);
    EXPECT_EQ(footer(), QStringLiteral("---- No more videos ----"));
    model->loadMoreIfNeeded(1000.0, 999.0, 0.0);
    drain();
    EXPECT_EQ(standIn.requestCount(), 4);
}

TEST_F(OnlineList, FirstPageFailuresShowTheOverlayAndTheRefreshResendsTheSameRequest) {
    struct Case {
        ScriptedReply reply;
        const char* title;
        const char* picture;
        qint64 total;
    } cases[] = {
        {ScriptedReply::drop(), "Fail to connect network", "network_error", 0},
        {ScriptedReply::raw("<html>maintenance</html>", 200), "The server is under maintenance", "network_error", 0},
        {ScriptedReply::encrypted(pageJson(1, 1, 0, "none", 7)), "List is empty", "empty_video_list", 7},
    };
    client->setLatestRequest(WebLibraryViewModel::defaultRequest());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        standIn.setReply(502, c.reply.delayed(200));  // late enough that the loading state is seen
        // A search with non-ASCII words keeps the category and sort and starts at page 1.
        client->latestRequest()->cate = 4;
        model->searchByKeywords(QStringLiteral("Wetter über Zürich"));
        drain();
        ASSERT_TRUE(model->overlay());
        EXPECT_EQ(model->overlay()->title, QStringLiteral("Loading..."));
        EXPECT_FALSE(model->overlay()->showRefreshButton);
        EXPECT_EQ(view.containerImage(), QStringLiteral("network_connecting"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return model->overlay() && model->overlay()->showRefreshButton; }));
        EXPECT_EQ(model->overlay()->title, QString::fromLatin1(c.title));
        screenshot(&view, QString::fromLatin1(c.title));
        EXPECT_EQ(view.containerImage(), QString::fromLatin1(c.picture));
        EXPECT_EQ(model->loadStatus(), Status::loadedAll);
        EXPECT_EQ(model->totalVideoCount(), c.total);
        const QJsonObject sent = lastJson();
        EXPECT_EQ(sent.value("keywords").toString(),
                  QString::fromLatin1(QStringLiteral("Wetter über Zürich").toUtf8().toBase64()));
        EXPECT_EQ(sent.value("cate").toInteger(), 4);
        EXPECT_EQ(sent.value("page").toInteger(), 1);

        const int before = standIn.requestCount();
        model->refreshLatestRequest();
        ASSERT_TRUE(standIn.waitForRequests(before + 1));
        EXPECT_EQ(lastJson(), sent);
        ASSERT_TRUE(QTest::qWaitFor([&] { return model->overlay() && model->overlay()->showRefreshButton; }));
    }
    // An author search leaves the category.
    standIn.setReply(502, page(1, 1, 2, "x"));
    model->searchByAuthor(QStringLiteral("Ann"));
    ASSERT_TRUE(waitForRows(2));
    drain();
    EXPECT_FALSE(model->overlay());
    EXPECT_EQ(view.containerImage(), QString());
    EXPECT_EQ(lastJson().value("cate").toInteger(), 0);
    EXPECT_EQ(lastJson().value("author").toString(), QStringLiteral("QW5u"));
    EXPECT_EQ(lastJson().value("keywords").toString(), QString());
}

TEST_F(OnlineList, RepliesToReplacedRequestsAreDropped) {
    // An old first page that arrives after a newer search's results.
    standIn.queueReply(502, page(1, 3, 3, "old").delayed(600));
    model->loadFirstPage();
    standIn.queueReply(502, page(1, 3, 2, "new"));
    model->searchByKeywords(QStringLiteral("new"));
    ASSERT_TRUE(waitForRows(2));
    QTest::qWait(900);
    EXPECT_EQ(signs(), (QStringList{"new0", "new1"}));
    EXPECT_EQ(model->loadStatus(), Status::none);

    // An old next page (here a failing one) that arrives after a category choice: neither its
    // rows nor its failure count, and the new request keeps page 1.
    standIn.queueReply(502, ScriptedReply::raw("<html/>", 500).delayed(600));
    model->loadMoreIfNeeded(500.0, 450.0, 0.0);
    VideoListRequest category = *client->latestRequest();
    category.cate = 9;
    category.page = 1;
    standIn.queueReply(502, page(1, 3, 4, "cat"));
    model->loadVideoList(category);
    ASSERT_TRUE(waitForRows(4));
    QTest::qWait(900);
    EXPECT_EQ(signs().first(), QStringLiteral("cat0"));
    EXPECT_EQ(model->loadStatus(), Status::none);
    EXPECT_EQ(client->latestRequest()->cate, 9);
    EXPECT_EQ(client->latestRequest()->page, 1);
    EXPECT_EQ(standIn.requestCount(), 4);
}

TEST_F(OnlineList, BadgesContextMenuAndDoubleClick) {
    ASSERT_TRUE(loadFirst(page(1, 1, 4, "v"), 4));
    drain();
    VideoDetail stored = model->videoList()->at(1);
    stored.url = QStringLiteral("file:///videos/v1.mp4");
    LocalVideoDBManager::shared().insertVideo(stored);
    queue.addDownload(model->videoList()->at(2));
    queue.addDownload(model->videoList()->at(1));  // both: the library wins
    struct Case {
        int row;
        const char* badge;
        const char* menu;
    } cases[] = {{0, "", "Download"},
                 {1, "online_video_list_downloaded_tavvel.png", "Set as Wallpaper"},
                 {2, "online_video_list_downloading_tavvel.png", "Download List"}};
    QList<QMenu*> menus;
    QObject::connect(&view, &WQCollectionView::menuShown, &view, [&](QMenu* m) { menus << m; });
    for (const Case& c : cases) {
        EXPECT_EQ(model->index(c.row).data(LibraryViewModel::BadgeRole).toString(), QString::fromLatin1(c.badge));
        model->didRightClickItem(c.row, QPoint(10, 10));
        ASSERT_FALSE(menus.isEmpty());
        const QList<QAction*> actions = menus.last()->actions();
        ASSERT_EQ(actions.size(), 2);
        EXPECT_EQ(actions[0]->text(), QStringLiteral("Preview"));
        EXPECT_EQ(actions[1]->text(), QString::fromLatin1(c.menu));
        EXPECT_EQ(shown, model->videoList()->at(size_t(c.row)).sign);  // the pane shows it at once
        EXPECT_EQ(view.selectedRows(), std::vector<int>{c.row});
        menus.last()->close();
    }
    // The empty area: no menu, nothing changes.
    const int menusBefore = menus.size();
    model->didRightClickItem(std::nullopt, QPoint());
    EXPECT_EQ(menus.size(), menusBefore);
    EXPECT_EQ(model->currentItem()->sign, QStringLiteral("v2"));

    // "Set as Wallpaper" of a stored video writes the shared settings.
    Preferences::shared().setIsOpenPlayer(false);
    model->didRightClickItem(1, QPoint());
    menus.last()->actions()[1]->trigger();
    EXPECT_EQ(Preferences::shared().playingVideoSign(), std::optional<QString>(QStringLiteral("v1")));
    EXPECT_TRUE(Preferences::shared().isOpenPlayer());

    // A double click previews without touching the selection or the menu's video.
    QList<QUrl> previews;
    model->showPreview = [&](const QUrl& url) { previews << url; };
    model->didDoubleClickItem(3);
    model->didDoubleClickItem(std::nullopt);
    ASSERT_EQ(previews.size(), 1);
    EXPECT_EQ(previews[0].toString(), QStringLiteral("https://example.invalid/preview/v3"));
    EXPECT_EQ(view.selectedRows(), std::vector<int>{1});
    EXPECT_EQ(model->currentItem()->sign, QStringLiteral("v1"));

    // Showing the tab again reuses the list without a request.
    const int requests = standIn.requestCount();
    model->loadFirstPage();
    drain();
    EXPECT_EQ(standIn.requestCount(), requests);
    EXPECT_EQ(model->videoCount(), 4);
}

TEST_F(OnlineList, EveryWayToTheEndOfTheListLoadsTheNextPage) {
    ASSERT_TRUE(testsupport::showExposed(&view, QSize(800, 500)));
    QScrollBar* bar = view.verticalScrollBar();
    auto keys = [&](Qt::Key key, int times) {
        view.setFocus();
        for (int i = 0; i < times; ++i)
            QTest::keyClick(&view, key);
    };
    const std::pair<const char*, std::function<void()>> waysToTheEnd[] = {
        {"the scroll bar dragged to its end",
         [&] {
             bar->setSliderDown(true);
             for (int value = 0; value <= bar->maximum(); value += 40)
                 bar->setSliderPosition(value);
             bar->setSliderPosition(bar->maximum());
             bar->setSliderDown(false);
         }},
        {"End", [&] { keys(Qt::Key_End, 1); }},
        {"Page Down", [&] { keys(Qt::Key_PageDown, 12); }},
        {"arrow keys", [&] { keys(Qt::Key_Down, 12); }},
        {"a touchpad's phased scrolling",
         [&] {
             const QPointF at(50, 50);
             Qt::ScrollPhase phase = Qt::ScrollBegin;
             for (int i = 0; i < 40 && bar->value() < bar->maximum(); ++i) {
                 QWheelEvent wheel(at, view.viewport()->mapToGlobal(at), QPoint(0, -60), QPoint(0, -60), Qt::NoButton,
                                   Qt::NoModifier, phase, false);
                 QCoreApplication::sendEvent(view.viewport(), &wheel);
                 phase = Qt::ScrollUpdate;
             }
         }},
    };
    for (const auto& [name, reachTheEnd] : waysToTheEnd) {
        SCOPED_TRACE(name);
        standIn.queueReply(502, page(1, 3, 40, "a"));
        model->loadVideoList(WebLibraryViewModel::defaultRequest());
        ASSERT_TRUE(waitForRows(40));
        drain();
        ASSERT_GT(bar->maximum() - bar->value(), WQCollectionView::kEndReportDistance);  // not yet near the end
        const int before = standIn.requestCount();
        standIn.queueReply(502, page(2, 3, 40, "b"));
        reachTheEnd();
        ASSERT_TRUE(waitForRows(80));
        EXPECT_EQ(standIn.requestCount(), before + 1);
        EXPECT_EQ(lastJson().value("page").toInteger(), 2);
    }
}
