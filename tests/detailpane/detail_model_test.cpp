// The detail pane's decisions with no widget at all: a list model bound to a stand-in list
// selects a video, the pane's model decides what its button offers and what a press, the author
// or the context menu asks of the library screen, over a real database and download queue.
#include <gtest/gtest.h>

#include "MainWindow/library/LibraryViewModel.h"  // first: it declares VideoDetail a meta type

#include "MainWindow/library/CollectionPort.h"
#include "MainWindow/library/LibraryNotices.h"
#include "detailpane/DetailPaneRecorder.h"
#include "MainWindow/detailpane/VideoDetailModel.h"
#include "platform/NotificationCenter.h"
#include "service/DownloadManager.h"
#include "service/DownloadPaths.h"
#include "service/WebModel.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/TextHelpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>

namespace {
// The list as the models see it: a selection and nothing drawn.
struct FakeCollection : CollectionPort {
    LibraryViewModel* bound = nullptr;
    std::vector<int> selection;
    LibraryViewModel* boundModel() const override { return bound; }
    void setBoundModel(LibraryViewModel* model) override { bound = model; }
    void selectRow(int row) override { selection = {row}; }
    std::vector<int> selectedRows() const override { return selection; }
    void scrollToTop() override {}
    int contentOffset() const override { return 0; }
    void setContentOffset(int) override {}
    double contentHeight() const override { return 0; }
    double visibleHeight() const override { return 0; }
    void setContainerImage(const QString&) override {}
    QString containerImage() const override { return {}; }
    void footerChanged() override {}
    QSize thumbnailSize() const override { return {}; }
    void popupMenu(const std::vector<MenuEntry>&, QPoint) override {}
};

using Screen = DetailPaneRecorder;

// Nothing answers at its address, so a queued download fails and stays in the list.
VideoDetail video(const QString& sign) {
    VideoDetail v;
    v.sign = sign;
    v.title = QStringLiteral("Title ") + sign;
    v.url = QStringLiteral("http://127.0.0.1:1/") + sign + QStringLiteral(".mp4");
    v.author = QStringLiteral("Ann");
    return v;
}

MainParts withQueue(MainParts parts, DownloadManager& queue) {
    parts.downloads = [&queue]() -> DownloadManager& { return queue; };
    parts.downloadsIfMade = [&queue] { return &queue; };
    return parts;
}

void drain() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// Members made in order: no stored downloads or videos, then a queue that starts empty.
class Clean : public ::testing::Test {
protected:
    Clean() {
        QFile::remove(downloadListPath());
        QDir(downloadCachesDirectoryPath()).removeRecursively();
        LocalVideoDBManager::shared().deleteAllVideos();
    }
};

class DetailModel : public Clean {
protected:
    void SetUp() override {
        pane.setDelegate(&screen);
        list.videoDetailDidChanged = [this](const std::optional<VideoDetail>& v) { screen.closure(v); };
        list.bind(&collection);
    }
    // Shows `videos` in the list; the first one is selected and reaches the pane.
    void show(std::vector<VideoDetail> videos) {
        list.setVideoList(std::move(videos));
        drain();
    }

    WebModel client{QStringLiteral("http://127.0.0.1:1"), false};  // no service answers
    DownloadManager queue{client, LocalVideoDBManager::shared()};
    MainParts parts = withQueue(MainParts::make(), queue);
    FakeCollection collection;
    LibraryViewModel list{parts};
    VideoDetailModel pane{parts};
    Screen screen;
};

TEST_F(DetailModel, TheSelectedVideoDecidesTheOfferAndAPressAsksTheScreen) {
    using Action = VideoDetailModel::Action;
    struct Case {
        const char* name;
        bool stored, queued;
        Action offered;
        const char* title;
        QStringList asked;  // by one press
        Action after;
    };
    const Case cases[] = {
        {"new", false, false, Action::download, "Download", {"download s"}, Action::downloading},
        {"queued", false, true, Action::downloading, "Downloading", {"list"}, Action::downloading},
        {"stored", true, false, Action::setAsWallpaper, "Set as Wallpaper", {"wallpaper s"}, Action::setAsWallpaper},
        {"stored and queued",
         true,
         true,
         Action::setAsWallpaper,
         "Set as Wallpaper",
         {"wallpaper s"},
         Action::setAsWallpaper},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalVideoDBManager::shared().deleteAllVideos();
        for (const auto& item : std::vector(queue.progressArray()))
            queue.removeDownload(item.get());
        const VideoDetail s = video(QStringLiteral("s"));
        if (c.stored) {
            ASSERT_EQ(LocalVideoDBManager::shared().insertVideo(s), LocalVideoDBManager::InsertResult::inserted);
        }
        if (c.queued)
            queue.addDownload(s);
        show({s, video(QStringLiteral("other"))});
        ASSERT_TRUE(pane.video());
        EXPECT_EQ(pane.video()->sign, QStringLiteral("s"));
        EXPECT_EQ(pane.action(), c.offered);
        EXPECT_EQ(VideoDetailModel::actionTitle(pane.action()), QString::fromUtf8(c.title));
        screen.log.clear();
        pane.press();
        EXPECT_EQ(screen.log, c.asked);
        EXPECT_EQ(pane.action(), c.after);
    }
    screen.log.clear();
    pane.clickAuthor();
    EXPECT_EQ(screen.log, QStringList{"author Ann"});

    // An empty list shows no video: a press asks nothing.
    show({});
    EXPECT_FALSE(pane.video());
    screen.log.clear();
    pane.press();
    pane.clickAuthor();
    EXPECT_TRUE(screen.log.isEmpty());
}

TEST_F(DetailModel, AStaleOfferIsCheckedAgainAndTheQueueMovesTheButton) {
    const VideoDetail s = video(QStringLiteral("s"));
    show({s});
    ASSERT_EQ(pane.action(), VideoDetailModel::Action::download);
    std::vector<VideoDetailModel::Action> shown;
    QObject::connect(&pane, &VideoDetailModel::actionChanged, [&](VideoDetailModel::Action a) { shown.push_back(a); });

    // Queued elsewhere (the context menu): the button follows the queue's report.
    queue.addDownload(s);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), VideoDetailModel::Action::downloading);

    // Stored meanwhile while the button still says "Download": the press only corrects it.
    pane.setAction(VideoDetailModel::Action::download);
    ASSERT_EQ(LocalVideoDBManager::shared().insertVideo(s), LocalVideoDBManager::InsertResult::inserted);
    screen.log.clear();
    pane.press();
    EXPECT_TRUE(screen.log.isEmpty());
    EXPECT_EQ(pane.action(), VideoDetailModel::Action::setAsWallpaper);
}

TEST_F(DetailModel, TheContextMenuDownloadGoesThroughTheNotice) {
    const VideoDetail shown = video(QStringLiteral("shown")), clicked = video(QStringLiteral("clicked"));
    show({shown, clicked});
    const auto post = [](const QVariantMap& info) {
        platform::NotificationCenter::defaultCenter().post(librarynotices::rightClickNotification, info);
    };
    post(librarynotices::rightClickUserInfo(clicked));
    EXPECT_EQ(screen.log, QStringList{"download clicked"});
    EXPECT_EQ(pane.action(), VideoDetailModel::Action::download);  // the shown video is not marked
    queue.addDownload(clicked);
    post(librarynotices::rightClickUserInfo(clicked));
    EXPECT_EQ(screen.log.last(), QStringLiteral("list"));
    post({{librarynotices::videoKey, 5}});  // no video in the notice
    EXPECT_EQ(screen.log.size(), 2);
}

TEST(DetailTexts, FieldsAreFormattedAndEmptyWithoutAVideo) {
    const VideoDetailModel::Texts none = VideoDetailModel::textsOf(std::nullopt);
    EXPECT_EQ(none.uploads, QStringLiteral("0"));
    for (const QString& text : {none.title, none.author, none.size, none.duration, none.dimensions, none.audio})
        EXPECT_TRUE(text.isEmpty());

    VideoDetail v = video(QStringLiteral("t"));
    v.upcount = 12;
    v.down = 345;
    v.size = 1536000;
    v.time = 61500;
    v.width = 1920;
    v.height = 1080;
    v.ratio = QStringLiteral("16:9");
    v.audio = 1;
    const VideoDetailModel::Texts texts = VideoDetailModel::textsOf(v);
    EXPECT_EQ(texts.title, QStringLiteral("Title t"));
    EXPECT_EQ(texts.author, QStringLiteral("Ann"));
    EXPECT_EQ(texts.authorAccessibleName, QStringLiteral("Videos by Ann"));
    EXPECT_EQ(texts.uploads, QStringLiteral("12"));
    EXPECT_EQ(texts.downloads, QStringLiteral("345"));
    EXPECT_EQ(texts.dimensions, QString::fromUtf8("1920\u00D71080(16:9)"));
    EXPECT_EQ(texts.duration, formatDuration(61));
    EXPECT_EQ(texts.size, formatByteSize(1536000));
    EXPECT_EQ(texts.audio, QStringLiteral("YES"));
    v.audio = 0;
    EXPECT_EQ(VideoDetailModel::textsOf(v).audio, QStringLiteral("NO"));
}
}  // namespace

TEST(DetailTexts, EveryTextFromTheServiceIsShortened) {
    VideoDetail v = video(QStringLiteral("t"));
    const QString huge(2000000, u'x');
    v.title = v.author = v.ratio = huge;
    const VideoDetailModel::Texts texts = VideoDetailModel::textsOf(v);
    for (const QString& text : {texts.title, texts.author, texts.authorAccessibleName, texts.dimensions})
        EXPECT_LT(text.size(), 2 * kMaxShownCharacters);
}
