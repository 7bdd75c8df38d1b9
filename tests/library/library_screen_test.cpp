// The library screen: the tab switch table, the page counter, header clicks and the selection
// forwarding, on the real widgets.
#include "MainWindow/downloads/DownloadViewModel.h"
#include "MainWindow/locallibrary/LocalLibraryViewModel.h"
#include "MainWindow/detailpane/DetailPaneCoordinator.h"
#include "MainWindow/library/VideoLibraryViewController.h"
#include "MainWindow/onlinelibrary/WebLibraryViewModel.h"
#include "MainWindow/library/VideoItemCell.h"
#include "MainWindow/library/WQCollectionView.h"
#include "service/DownloadManager.h"
#include "shared/LocalVideoDBManager.h"
#include "support/MainWindowTestSupport.h"
#include "views/TabTitleView.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

using namespace testsupport;

using LibraryScreen = LibraryTest;

TEST_F(LibraryScreen, SwitchTableSetsLayoutHeadersCounterAndModel) {
    VideoLibraryViewController screen(MainParts::make());
    screen.view()->resize(900, 600);
    screen.view()->show();
    drain();
    WQCollectionView* list = screen.collectionView();
    EXPECT_EQ(list->boundModel(), screen.localLibraryViewModel());
    EXPECT_TRUE(screen.localTab()->highlight);
    EXPECT_EQ(list->containerImage(), QStringLiteral("empty_video_list"));  // the library is empty

    struct Case {
        const char* name;
        TabTitleView* tab;
        bool keepingCounter;  // as a search does
        CollectionLayout* layout;
        bool counterShown;
        LibraryViewModel* bound;
    };
    const Case cases[] = {
        {"online", screen.onlineTab(), false, screen.columnLayout(), true, screen.webLibraryViewModel()},
        {"download", screen.downloadTab(), false, screen.listLayout(), false, screen.downloadViewModel()},
        {"a search leaves the download tab", screen.onlineTab(), true, screen.columnLayout(), false,
         screen.webLibraryViewModel()},
        {"local", screen.localTab(), false, screen.columnLayout(), true, screen.localLibraryViewModel()},
        {"online again", screen.onlineTab(), false, screen.columnLayout(), true, screen.webLibraryViewModel()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.keepingCounter)
            screen.switchTabKeepingCounter(c.tab);
        else
            screen.switchTab(c.tab);
        EXPECT_EQ(screen.pageStatus()->isVisible(), c.counterShown);
        drain();
        EXPECT_EQ(list->collectionViewLayout(), c.layout);
        for (TabTitleView* tab : {screen.localTab(), screen.onlineTab(), screen.downloadTab()})
            EXPECT_EQ(tab->highlight, tab == c.tab);
        EXPECT_EQ(list->boundModel(), c.bound);
        EXPECT_EQ(list->model(), c.bound);
        if (c.tab == screen.downloadTab()) {
            EXPECT_EQ(list->containerImage(), QString());
        }
        for (LibraryViewModel* other : {static_cast<LibraryViewModel*>(screen.localLibraryViewModel()),
                                        static_cast<LibraryViewModel*>(screen.webLibraryViewModel()),
                                        static_cast<LibraryViewModel*>(screen.downloadViewModel())})
            EXPECT_EQ(other->collectionView() != nullptr, other == c.bound);
    }
    // The footer room that the online list needs stays for the local tab, which shares the layout.
    screen.switchTab(screen.localTab());
    drain();
    EXPECT_DOUBLE_EQ(screen.columnLayout()->footerHeight, 30.0);
    EXPECT_DOUBLE_EQ(screen.listLayout()->itemHeight, 63.5);
    EXPECT_EQ(screen.columnLayout()->columnCount, 4);
}

TEST_F(LibraryScreen, CounterReadsCountOverTheLargerTotal) {
    VideoLibraryViewController screen(MainParts::make());
    screen.switchTab(screen.onlineTab());
    drain();
    WebLibraryViewModel* online = screen.webLibraryViewModel();
    // The tab asks the (unreachable) service for its first page; its failure must not land
    // on the lists set below.
    ASSERT_TRUE(QTest::qWaitFor([&] { return online->loadStatus() != WebLibraryViewModel::LoadStatus::loading; }));
    drain();
    struct Case {
        int loaded;
        qint64 total;
        const char* text;
    };
    for (const Case& c : {Case{24, 120, "24/120"}, Case{30, 0, "30/30"}, Case{0, 0, "0/0"}}) {
        SCOPED_TRACE(c.text);
        online->setTotalVideoCount(c.total);
        online->setVideoList(videos(c.loaded));
        drain();
        EXPECT_EQ(screen.pageStatus()->text(), QString::fromLatin1(c.text));
    }
}

TEST_F(LibraryScreen, HeaderClickOnTheCategoryControlOpensTheMenuInstead) {
    VideoLibraryViewController screen(MainParts::make());
    ASSERT_TRUE(showExposed(screen.view(), QSize(900, 600)));
    QSignalSpy menu(&screen, &VideoLibraryViewController::categoryMenuRequested);
    screen.tabClicked(screen.onlineTab(), screen.categoryButton()->geometry().center());
    EXPECT_EQ(menu.count(), 1);
    EXPECT_TRUE(screen.localTab()->highlight);
    // A real click on the header beside its controls shows the tab.
    QTest::mouseClick(screen.onlineTab(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_TRUE(screen.onlineTab()->highlight);
    EXPECT_EQ(menu.count(), 1);
    QTest::mouseClick(screen.categoryButton(), Qt::LeftButton);
    EXPECT_EQ(menu.count(), 2);
}

TEST_F(LibraryScreen, SelectionReachesTheDetailPaneAfterTheCurrentEvent) {
    for (const VideoDetail& v : videos(3))
        LocalVideoDBManager::shared().insertVideo(v);
    VideoLibraryViewController screen(MainParts::make());
    std::vector<std::optional<QString>> shown;  // none: no video
    screen.detailPaneCoordinator()->videoDetailDidChanged() = [&](const std::optional<VideoDetail>& d) {
        shown.push_back(d ? std::optional(d->sign) : std::nullopt);
    };
    drain();
    ASSERT_EQ(shown, (std::vector<std::optional<QString>>{QStringLiteral("v0")}));
    screen.collectionView()->selectionModel()->select(screen.localLibraryViewModel()->index(2),
                                                      QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(shown.size(), 1u);  // queued, not yet
    drain();
    EXPECT_EQ(shown.back(), std::optional(QStringLiteral("v2")));
    screen.switchTab(screen.downloadTab());
    drain();
    EXPECT_EQ(shown.back(), std::nullopt);  // an empty download list shows no video
}

namespace {
// Records the list's reports that the base ignores.
struct RecordingModel : LibraryViewModel {
    RecordingModel() : LibraryViewModel(MainParts::make()) {}
    int ends = 0;
    std::vector<std::optional<int>> rightClicks, doubleClicks;
    void didEndScrolling() override { ++ends; }
    void didRightClickItem(std::optional<int> row, QPoint) override { rightClicks.push_back(row); }
    void didDoubleClickItem(std::optional<int> row) override { doubleClicks.push_back(row); }
};
}  // namespace

TEST_F(LibraryScreen, ListReportsWheelStepsClicksAndKeepsItsSelection) {
    Grid grid;
    WQCollectionView& view = grid.view;
    view.registerCell(QStringLiteral("VideoItemCell"), new VideoItemCell);
    ASSERT_TRUE(showExposed(&view, QSize(700, 300)));
    RecordingModel model;
    model.bind(&view);
    model.setVideoList(videos(30));
    drain();

    // Trackpad phases and momentum report nothing; a classic wheel step reports once.
    for (Qt::ScrollPhase phase :
         {Qt::ScrollBegin, Qt::ScrollUpdate, Qt::ScrollMomentum, Qt::ScrollEnd, Qt::NoScrollPhase}) {
        const int before = model.ends;
        QWheelEvent wheel(QPointF(50, 50), view.viewport()->mapToGlobal(QPointF(50, 50)), QPoint(0, -20),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, phase, false);
        QCoreApplication::sendEvent(view.viewport(), &wheel);
        EXPECT_EQ(model.ends - before, phase == Qt::NoScrollPhase ? 1 : 0) << phase;
    }

    view.setContentOffset(0);
    drain();
    // Four columns over the whole width, 110 pixels high.
    EXPECT_EQ(view.visualRect(model.index(3)).top(), view.visualRect(model.index(0)).top());
    EXPECT_EQ(view.visualRect(model.index(4)).top(), view.visualRect(model.index(0)).top() + 110);
    EXPECT_GE(view.visualRect(model.index(3)).right(), view.viewport()->width() - 4);
    const QPoint second = view.visualRect(model.index(1)).center();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, second);
    EXPECT_EQ(view.selectedRows(), std::vector<int>{1});
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, second);
    EXPECT_EQ(model.doubleClicks, (std::vector<std::optional<int>>{1}));
    // Ctrl+click on the chosen item does not empty the selection.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, second);
    EXPECT_EQ(view.selectedRows(), std::vector<int>{1});

    // The menu key asks for the current item's menu, Enter acts like a double click.
    view.setFocus();
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(), view.mapToGlobal(QPoint()));
    QCoreApplication::sendEvent(view.viewport(), &menuKey);
    QTest::keyClick(&view, Qt::Key_Right);
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(model.rightClicks, (std::vector<std::optional<int>>{1}));
    EXPECT_EQ(model.doubleClicks, (std::vector<std::optional<int>>{1, 2}));
}

TEST_F(LibraryScreen, DownloadFromTheDetailPaneQueuesItAndReloadsTheShownList) {
    VideoLibraryViewController screen(MainParts::make());
    ASSERT_TRUE(showExposed(screen.view(), QSize(900, 600)));
    screen.showDownloadList();
    drain();
    ASSERT_EQ(screen.collectionView()->boundModel(), screen.downloadViewModel());
    const int before = screen.downloadViewModel()->rowCount();
    VideoDetail wanted = video(QStringLiteral("queued"));
    wanted.url = QStringLiteral("http://127.0.0.1:9/queued.mp4");
    screen.detailPaneCoordinator()->downloadVideo(wanted);
    EXPECT_TRUE(DownloadManager::shared().isDownloading(QStringLiteral("queued")));
    drain();
    // The list knows the new row without a model signal: it was read again.
    EXPECT_TRUE(screen.collectionView()->visualRect(screen.downloadViewModel()->index(before)).isValid());
    for (const auto& item : DownloadManager::shared().progressArray())
        if (item->videoInfo.sign == QStringLiteral("queued")) {
            DownloadManager::shared().removeDownload(item.get());
            break;
        }
}
