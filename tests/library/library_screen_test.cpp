// The library screen: the tab switch table, the page counter, header clicks and the selection
// forwarding, on the real widgets.
#include "MainWindow/downloads/DownloadViewModel.h"
#include "MainWindow/locallibrary/LocalLibraryViewModel.h"
#include "MainWindow/detailpane/DetailPaneCoordinator.h"
#include "MainWindow/detailpane/VideoDetailView.h"
#include "MainWindow/library/VideoLibraryViewController.h"
#include "MainWindow/onlinelibrary/WebLibraryViewModel.h"
#include "MainWindow/library/VideoItemCell.h"
#include "MainWindow/library/WQCollectionView.h"
#include "service/DownloadManager.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"
#include "MainWindow/locallibrary/LocalLibraryParts.h"
#include "MainWindow/locallibrary/NowPlayingView.h"
#include "MainWindow/startup/MainParts.h"
#include "MainWindow/onlinelibrary/WebLibraryRefreshSubView.h"
#include "support/MainWindowTestSupport.h"
#include "views/ButtonWithHoverBackGround.h"
#include "views/TabTitleView.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

using namespace testsupport;

using LibraryScreen = LibraryTest;

// The online tab asks the unreachable service for its first page; waits until that has failed.
static bool firstPageEnded(VideoLibraryViewController& screen) {
    const bool ended = QTest::qWaitFor(
        [&] { return screen.webLibraryViewModel()->loadStatus() != WebLibraryViewModel::LoadStatus::loading; });
    drain();
    return ended;
}

TEST_F(LibraryScreen, SwitchTableSetsLayoutHeadersCounterAndModel) {
    VideoLibraryViewController screen(MainParts::make());
    ASSERT_TRUE(showExposed(screen.view(), QSize(900, 600)));
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
    ASSERT_TRUE(firstPageEnded(screen));  // its failure must not land on the lists set below
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

TEST_F(LibraryScreen, TheEmptyDownloadTabShowsAnEmptyPaneWithNothingToPress) {
    for (const VideoDetail& v : videos(2))
        LocalVideoDBManager::shared().insertVideo(v);
    VideoLibraryViewController screen(MainParts::make());
    ASSERT_TRUE(showExposed(screen.view(), QSize(900, 600)));
    drain();
    VideoDetailView* pane = screen.detailView();
    ASSERT_FALSE(pane->titleLabel->text().isEmpty());
    EXPECT_TRUE(pane->downloadButton->isVisible());

    screen.switchTab(screen.downloadTab());
    drain();
    EXPECT_TRUE(pane->titleLabel->text().isEmpty());
    EXPECT_FALSE(pane->downloadButton->isVisible());

    screen.switchTab(screen.localTab());
    drain();
    EXPECT_FALSE(pane->titleLabel->text().isEmpty());
    EXPECT_TRUE(pane->downloadButton->isVisible());
    EXPECT_TRUE(pane->downloadButton->isEnabled());
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

TEST_F(LibraryScreen, TheOnlineOverlayShowsOverTheOnlineListOnly) {
    VideoLibraryViewController screen(MainParts::make());
    ASSERT_TRUE(showExposed(screen.view(), QSize(900, 600)));
    auto overlayShown = [&] { return screen.refreshSubView() && screen.refreshSubView()->isVisible(); };
    const struct {
        const char* name;
        std::vector<TabTitleView*> tabs;  // switched to in turn
        bool authorClicked;
    } cases[] = {
        {"the online tab left while its first page loads", {screen.onlineTab(), screen.localTab()}, false},
        {"the author clicked on the local tab", {}, true},
        {"the author clicked on the download tab", {screen.downloadTab()}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (TabTitleView* tab : c.tabs)
            screen.switchTab(tab);
        if (c.authorClicked)
            screen.detailPaneCoordinator()->authorClicked(QStringLiteral("Ann"));
        ASSERT_TRUE(firstPageEnded(screen));  // the service does not answer: the first page failed
        EXPECT_FALSE(overlayShown());
        EXPECT_FALSE(screen.webLibraryViewModel()->overlay());
        EXPECT_NE(screen.collectionView()->containerImage(), QStringLiteral("network_error"));
    }
    // Over the online list the failure is shown.
    screen.switchTab(screen.onlineTab());
    ASSERT_TRUE(firstPageEnded(screen));
    EXPECT_TRUE(overlayShown());
    EXPECT_EQ(screen.collectionView()->containerImage(), QStringLiteral("network_error"));
    screen.switchTab(screen.localTab());
    EXPECT_FALSE(overlayShown());
}

TEST_F(LibraryScreen, TheCounterAndNowPlayingTitleReachScreenReadersAndTheTitleSelectsThePlayingVideo) {
    for (const VideoDetail& v : videos(30))
        LocalVideoDBManager::shared().insertVideo(v);
    Preferences::shared().setAlreadyImportVideo(true);  // no first-run import choosing its own video
    Preferences::shared().setIsOpenPlayer(true);
    Preferences::shared().setPlayingVideoSign(QStringLiteral("v0"));
    VideoLibraryViewController screen(MainParts::make());
    ASSERT_TRUE(showExposed(screen.view(), QSize(900, 400)));
    std::optional<QString> shown;
    screen.detailPaneCoordinator()->videoDetailDidChanged() = [&](const std::optional<VideoDetail>& d) {
        shown = d ? std::optional(d->sign) : std::nullopt;
    };
    drain();
    ASSERT_EQ(shown, std::optional(QStringLiteral("v0")));
    QAccessibleInterface* counter = QAccessible::queryAccessibleInterface(screen.pageStatus());
    EXPECT_EQ(counter->text(QAccessible::Name), QStringLiteral("Videos shown"));
    EXPECT_EQ(counter->text(QAccessible::Description), QStringLiteral("30 of 30"));
    NowPlayingView* nowPlaying = screen.localParts()->nowPlayingView();
    auto* title = nowPlaying->findChild<QPushButton*>(QStringLiteral("playingFileNameLabel"));
    ASSERT_TRUE(title);
    ASSERT_TRUE(QTest::qWaitFor([&] { return title->isVisible(); }));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(title)->text(QAccessible::Description), QStringLiteral("Title v0"));
    // From the local tab and from another tab alike.
    for (TabTitleView* from : {screen.localTab(), screen.downloadTab()}) {
        SCOPED_TRACE(from->objectName().toStdString());
        screen.switchTab(from);
        drain();
        Preferences::shared().setPlayingVideoSign(QStringLiteral("v27"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return nowPlaying->titleText() == QStringLiteral("Title v27"); }));
        QTest::mouseClick(title, Qt::LeftButton);
        drain();
        EXPECT_EQ(screen.collectionView()->boundModel(), screen.localLibraryViewModel());
        EXPECT_EQ(screen.collectionView()->selectedRows(), std::vector<int>{27});
        EXPECT_EQ(shown, std::optional(QStringLiteral("v27")));
        const QRect cell = screen.collectionView()->visualRect(screen.localLibraryViewModel()->index(27));
        EXPECT_TRUE(screen.collectionView()->viewport()->rect().intersects(cell));  // in sight
        Preferences::shared().setPlayingVideoSign(QStringLiteral("v0"));
        screen.collectionView()->selectRow(0);
    }
}

TEST_F(LibraryScreen, ImportVideoTakesTheFileChosenInQtsOwnDialog) {
    VideoLibraryViewController screen(MainParts::make());
    ASSERT_TRUE(showExposed(screen.view(), QSize(900, 600)));
    screen.switchTab(screen.downloadTab());
    drain();
    screen.localParts()->importLocalVideo();
    QFileDialog* panel = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QFileDialog*>(top); dialog && dialog->objectName() == "importVideoPanel")
            panel = dialog;
    ASSERT_TRUE(panel);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    // The widget dialog, as on desktops without a native one: the name typed, then Return.
    auto* name = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_TRUE(name);
    const QString clip = testVideo(QStringLiteral("clip_320x180.mp4"));
    panel->setDirectory(QFileInfo(clip).absolutePath());
    name->setText(QFileInfo(clip).fileName());
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(screen.collectionView()->boundModel(), screen.localLibraryViewModel());
    EXPECT_FALSE(screen.pageStatus()->isVisible());  // the counter keeps its visibility
    ASSERT_TRUE(QTest::qWaitFor([&] { return LocalVideoDBManager::shared().allVideos().size() == 1; }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen.localLibraryViewModel()->videoCount() == 1; }));
}
