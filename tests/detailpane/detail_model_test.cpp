// The detail pane's decisions with no widget at all: the screen's selection reaches the pane's
// model, which decides what its button offers and what a press or the author asks of the library
// screen, over a real database and download queue. The fields' formats and the context menu's
// download are checked on the pane itself (detail_pane_test); a real list's selection reaching the
// pane in library_screen_test.
#include <gtest/gtest.h>

#include "detailpane/DetailPaneRecorder.h"
#include "MainWindow/detailpane/VideoDetailModel.h"
#include "service/DownloadManager.h"
#include "service/DownloadPaths.h"
#include "service/WebModel.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/TextHelpers.h"

#include <QDir>
#include <QFile>

namespace {
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
    void SetUp() override { pane.setDelegate(&screen); }
    // The screen's selection, as it reaches the pane.
    void show(const std::optional<VideoDetail>& video) { screen.closure(video); }

    WebModel client{QStringLiteral("http://127.0.0.1:1"), false};  // no service answers
    DownloadManager queue{client, LocalVideoDBManager::shared()};
    MainParts parts = withQueue(MainParts::make(), queue);
    VideoDetailModel pane{parts};
    Screen screen;
};

TEST_F(DetailModel, TheSelectedVideoAndTheQueueDecideTheOfferAndAPressAsksTheScreen) {
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
        {"in both", true, true, Action::setAsWallpaper, "Set as Wallpaper", {"wallpaper s"}, Action::setAsWallpaper},
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
        show(s);
        ASSERT_TRUE(pane.video());
        EXPECT_EQ(pane.video()->sign, QStringLiteral("s"));
        EXPECT_EQ(pane.action(), c.offered);
        EXPECT_EQ(VideoDetailModel::actionTitle(pane.action()), QString::fromUtf8(c.title));
        screen.log.clear();
        pane.press();
        EXPECT_EQ(screen.log, c.asked);
        EXPECT_EQ(pane.action(), c.after);
    }
    // Queued elsewhere (the context menu) while shown: the button follows the queue's report.
    const VideoDetail later = video(QStringLiteral("later"));
    show(later);
    ASSERT_EQ(pane.action(), Action::download);
    std::vector<Action> moved;
    QObject::connect(&pane, &VideoDetailModel::actionChanged, [&](Action a) { moved.push_back(a); });
    queue.addDownload(later);
    ASSERT_FALSE(moved.empty());
    EXPECT_EQ(moved.back(), Action::downloading);
    screen.log.clear();
    pane.clickAuthor();
    EXPECT_EQ(screen.log, QStringList{"author Ann"});

    // No video shown: a press asks nothing.
    show(std::nullopt);
    EXPECT_FALSE(pane.video());
    screen.log.clear();
    pane.press();
    pane.clickAuthor();
    EXPECT_TRUE(screen.log.isEmpty());
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
