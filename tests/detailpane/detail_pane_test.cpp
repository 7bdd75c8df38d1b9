// The detail pane: the fields and their formats, the action button's three states and what a
// click or the context menu's download asks of the library screen; the colourful link button's
// colours through hover and press, and the overlay's refresh group.
#include "onlinelibrary/OnlineTestSupport.h"

#include "MainWindow/library/LibraryNotices.h"
#include "MainWindow/onlinelibrary/ButtonWithColorfulLink.h"
#include "detailpane/DetailPaneRecorder.h"
#include "MainWindow/detailpane/VideoDetailView.h"
#include "MainWindow/onlinelibrary/WebLibraryRefreshSubView.h"
#include "platform/NotificationCenter.h"
#include "service/DownloadManager.h"
#include "shared/LocalVideoDBManager.h"
#include "views/ButtonWithHoverBackGround.h"
#include "views/ButtonWithLinkTitle.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <tuple>

using onlinetest::catalogueVideo;

namespace {
using Calls = DetailPaneRecorder;

class DetailPaneTest : public onlinetest::NoStoredDownloads {
protected:
    void SetUp() override {
        LocalVideoDBManager::shared().deleteAllVideos();
        pane.setDelegate(&calls);
    }
    void TearDown() override { pane.setDelegate(nullptr); }
    QString title() const { return pane.downloadButton->text(); }

    DownloadManager queue{WebModel::shared(), LocalVideoDBManager::shared()};
    VideoDetailView pane{testsupport::mainParts(nullptr, &queue)};
    Calls calls;
};
}  // namespace

TEST_F(DetailPaneTest, FieldsTheirFormatsServiceTextAsTextAndColoursThatDoNotStick) {
    // Title and author as the service sent them; values no video can have show as unknown.
    struct Case {
        const char *title, *author;
        qint64 time, size, width, height, frame, audio, upcount, down;
        const char *duration, *sizeText, *dimensions, *audioText, *performance, *uploads, *downloads;
    } cases[] = {
        {"Title f", "Ann", 3725000, 1024, 2560, 1440, 25, 1, 12, 345, "01:02:05", "1.00 KB", "2560\u00d71440(16:9)",
         "YES", "High Performance", "12", "345"},
        {"Title f", "Ann", 999, 1048576, 1920, 1080, 30, 0, 12, 345, "00:00:00", "1.00 MB", "1920\u00d71080(16:9)",
         "NO", "Normal Performance", "12", "345"},
        {"Title f", "Ann", 60000, 1023, 1920, 1080, 31, 2, 12, 345, "00:01:00", "1023 Byte", "1920\u00d71080(16:9)",
         "NO", "High Performance", "12", "345"},
        {"Title f", "Ann", 0, 0, 0, 0, 0, -1, 12, 345, "00:00:00", "0 Byte", "0\u00d70(16:9)", "NO",
         "Normal Performance", "12", "345"},
        {"<i>Rain</i><br>Night", "Tom & Jerry", -5000, -1, -1280, -720, 0, 0, -9, -3, "Unknown", "Unknown", "Unknown",
         "NO", "Normal Performance", "Unknown", "Unknown"},
        {"<font color=white>Sea</font>", "A&B", 5000, 1024, 1280, 720, 0, 0, 9, 3, "00:00:05", "1.00 KB",
         "1280\u00d7720(16:9)", "NO", "Normal Performance", "9", "3"},
    };
    for (const Case& c : cases) {
        VideoDetail v = catalogueVideo(QStringLiteral("f"));
        v.title = QString::fromUtf8(c.title);
        v.author = QString::fromUtf8(c.author);
        v.time = c.time;
        v.size = c.size;
        v.width = c.width;
        v.height = c.height;
        v.frame = c.frame;
        v.audio = c.audio;
        v.upcount = c.upcount;
        v.down = c.down;
        calls.closure(v);  // the screen's selection reaches the pane through its delegate
        SCOPED_TRACE(testing::Message() << c.title << " " << c.duration);
        EXPECT_EQ(pane.durationLabel->text(), QString::fromUtf8(c.duration));
        EXPECT_EQ(pane.sizeLabel->text(), QString::fromUtf8(c.sizeText));
        EXPECT_EQ(pane.dimensionsLabel->text(), QString::fromUtf8(c.dimensions));
        EXPECT_EQ(pane.audioLabel->text(), QString::fromUtf8(c.audioText));
        EXPECT_EQ(pane.requirementLabel->text(), QString::fromUtf8(c.performance));
        EXPECT_EQ(pane.downloadLabel->text(), QString::fromUtf8(c.downloads));
        EXPECT_EQ(pane.userVideCount->text(), QString::fromUtf8(c.uploads));
        // What a screen reader and the eye get is the text itself, markup and "&" included; no
        // mnemonic is stolen from the name.
        EXPECT_EQ(pane.userName->text(), QString(v.author).replace(u'&', QStringLiteral("&&")));
        EXPECT_TRUE(pane.userName->shortcut().isEmpty());
        EXPECT_EQ(QAccessible::queryAccessibleInterface(pane.titleLabel)->text(QAccessible::Name), v.title);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(pane.userName)->text(QAccessible::Name),
                  QStringLiteral("Videos by ") + v.author);
    }
    // A high performance video's red does not stay on the next, normal one.
    const QColor normal = pane.palette().color(QPalette::WindowText);
    VideoDetail v = catalogueVideo(QStringLiteral("p"));
    for (auto [width, frame, red] :
         {std::tuple{2560, 25, true}, {1280, 25, false}, {2560, 60, true}, {640, 24, false}}) {
        v.width = width;
        v.height = width * 9 / 16;
        v.frame = frame;
        calls.closure(v);
        SCOPED_TRACE(pane.requirementLabel->text().toStdString());
        EXPECT_EQ(pane.requirementLabel->palette().color(QPalette::WindowText) == normal, !red);
    }
    // No video: placeholders, no action offered, no preview.
    calls.closure(std::nullopt);
    EXPECT_FALSE(pane.downloadButton->isEnabled());
    EXPECT_TRUE(pane.downloadButton->isHidden());
    EXPECT_TRUE(pane.previewPlayerButton->isHidden());
    EXPECT_FALSE(pane.userAvatar->isEnabled());
    EXPECT_EQ(pane.userVideCount->text(), QStringLiteral("0"));
    EXPECT_TRUE(pane.userName->text().isEmpty());
    for (const QLabel* label :
         {pane.titleLabel, pane.sizeLabel, pane.durationLabel, pane.dimensionsLabel, pane.audioLabel})
        EXPECT_TRUE(label->text().isEmpty()) << label->objectName().toStdString();
}

TEST_F(DetailPaneTest, OnlyWebAddressesAreOpenedOrFetched) {
    QList<QUrl> opened;
    pane.showPreview = [&](const QUrl& url) { opened << url; };
    VideoDetail v = catalogueVideo(QStringLiteral("w"));
    v.avatar = QStringLiteral("file:///etc/passwd");
    v.imgurl = QStringLiteral("file:///home/someone/cover.png");
    v.preurl = QStringLiteral("javascript:alert(1)");
    pane.setVideoDetail(v);
    EXPECT_FALSE(pane.previewPlayerButton->isHidden());  // any text shows the button ...
    pane.clickPreviewButton();                           // ... but only a web page opens
    EXPECT_FALSE(pane.avatarUrl());
    EXPECT_FALSE(pane.coverUrl());  // a catalogue video's cover is never a local file
    v.preurl = QStringLiteral("https://example.invalid/a b");
    v.imgurl = QStringLiteral("http://example.invalid/c.jpg");
    pane.setVideoDetail(v);
    pane.clickPreviewButton();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].scheme(), QStringLiteral("https"));
    EXPECT_TRUE(pane.coverUrl());
    // A stored video's own cover is a local file.
    v.url = QStringLiteral("file:///videos/w.mp4");
    v.imgurl = QStringLiteral("file:///videos/w.png");
    pane.setVideoDetail(v);
    EXPECT_TRUE(pane.coverUrl());
}

TEST_F(DetailPaneTest, ActionStatesAndClicks) {
    const VideoDetail a = catalogueVideo(QStringLiteral("aaaa"));
    pane.setVideoDetail(a);
    EXPECT_EQ(pane.action(), VideoDetailView::Action::download);
    EXPECT_EQ(pane.downloadButton->normalColor(), QColor(39, 215, 110));

    // "Download" turns into "Downloading" before the screen queues it; again shows the list.
    pane.downloadButton->click();
    EXPECT_EQ(title(), QStringLiteral("Downloading"));
    EXPECT_EQ(calls.log, QStringList{"download aaaa"});
    queue.addDownload(a);
    pane.downloadButton->click();
    EXPECT_EQ(calls.log.last(), QStringLiteral("list"));

    // Stored and queued: the library wins. Its click makes it the wallpaper.
    LocalVideoDBManager::shared().insertVideo(a);
    pane.reloadDetail();
    EXPECT_EQ(pane.action(), VideoDetailView::Action::setAsWallpaper);
    EXPECT_EQ(pane.downloadButton->normalColor(), QColor(52, 155, 255));
    pane.downloadButton->click();
    EXPECT_EQ(calls.log.last(), QStringLiteral("wallpaper aaaa"));

    // A "Download" that became stale meanwhile is not downloaded again.
    const VideoDetail b = catalogueVideo(QStringLiteral("bbbb"));
    pane.setVideoDetail(b);
    ASSERT_EQ(pane.action(), VideoDetailView::Action::download);
    LocalVideoDBManager::shared().insertVideo(b);
    const int before = calls.log.size();
    pane.downloadButton->click();
    EXPECT_EQ(calls.log.size(), before);
    EXPECT_EQ(pane.action(), VideoDetailView::Action::setAsWallpaper);

    pane.userName->click();
    EXPECT_EQ(calls.log.last(), QStringLiteral("author Ann"));
}

TEST_F(DetailPaneTest, ContextMenuDownloadQueuesTheRightClickedVideo) {
    const VideoDetail shown = catalogueVideo(QStringLiteral("shown"));
    const VideoDetail clicked = catalogueVideo(QStringLiteral("clicked"));
    pane.setVideoDetail(shown);
    auto post = [](const VideoDetail& v) {
        platform::NotificationCenter::defaultCenter().post(librarynotices::rightClickNotification,
                                                           librarynotices::rightClickUserInfo(v));
    };
    // The pane still shows another video: that one is neither queued nor marked.
    post(clicked);
    EXPECT_EQ(calls.log, QStringList{"download clicked"});
    EXPECT_EQ(pane.action(), VideoDetailView::Action::download);

    // Already queued: only the list. Already stored: nothing at all.
    queue.addDownload(clicked);
    post(clicked);
    EXPECT_EQ(calls.log.last(), QStringLiteral("list"));
    LocalVideoDBManager::shared().insertVideo(shown);
    post(shown);
    EXPECT_EQ(calls.log.size(), 2);
    EXPECT_EQ(pane.action(), VideoDetailView::Action::setAsWallpaper);

    // A notice without a video does nothing.
    platform::NotificationCenter::defaultCenter().post(librarynotices::rightClickNotification, {{"object", 5}});
    EXPECT_EQ(calls.log.size(), 2);
}

TEST(LinkButton, ColoursFollowHoverAndPressOnlyWhileEnabled) {
    ButtonWithColorfulLink button(QStringLiteral("#rain"));
    button.resize(80, 24);
    button.show();
    const QColor normal(10, 10, 10), hover(0, 0, 255), pressed(255, 0, 0);
    button.setTitleColor(normal);
    button.setTitleHoverColor(hover);
    EXPECT_EQ(button.shownColor(), normal);  // a hover colour alone changes nothing yet
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&button, &enter);
    EXPECT_EQ(button.shownColor(), hover);
    button.setTitlePressedColor(pressed);
    QTest::mousePress(&button, Qt::LeftButton);
    EXPECT_EQ(button.shownColor(), pressed);
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_EQ(button.shownColor(), hover);  // taken to be under the pointer after a click
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&button, &leave);
    EXPECT_EQ(button.shownColor(), normal);

    button.setEnabled(false);
    QCoreApplication::sendEvent(&button, &enter);
    QTest::mousePress(&button, Qt::LeftButton);
    EXPECT_EQ(button.shownColor(), normal);
}

TEST(RefreshOverlay, TheGroupShowsAsAWholeAndTheButtonCallsTheClosure) {
    WebLibraryRefreshSubView overlay;
    overlay.show();
    int refreshes = 0;
    overlay.refreshButton->click();  // no closure yet: nothing
    overlay.refreshClosure = [&] { ++refreshes; };
    overlay.setTitle(QStringLiteral("List is empty"));
    for (bool shown : {true, false, true}) {
        overlay.setShowRefreshButton(shown);
        EXPECT_EQ(overlay.leftSubTitle->isVisible(), shown);
        EXPECT_EQ(overlay.rightSubTitle->isVisible(), shown);
        EXPECT_EQ(overlay.refreshButton->isVisible(), shown);
        EXPECT_TRUE(overlay.titleLabel->isVisible());
    }
    EXPECT_EQ(overlay.titleLabel->text(), QStringLiteral("List is empty"));
    overlay.refreshButton->click();
    EXPECT_EQ(refreshes, 1);
}

// Extreme numbers in the service's reply: a field no video can have says "Unknown", one within
// reason goes through the formatter, and a number beyond 64 bits drops the whole record.
TEST_F(DetailPaneTest, ExtremeNumbersFromTheServiceAreFormattedOrUnknown) {
    const char* unknown = "Unknown";
    const std::vector<std::vector<const char*>> cases = {
        // literal, size, duration, dimensions, uploads and downloads; none: the record is refused
        {"0", "0 Byte", "00:00:00", "0\u00d70(16:9)", "0"},
        {"-1", unknown, unknown, unknown, unknown},
        {"9223372036854775807", unknown, unknown, unknown, unknown},
        {"-9223372036854775808", unknown, unknown, unknown, unknown},
        {"9.0e18", unknown, unknown, unknown, unknown},
        {"1e12", "953674.32 MB", unknown, unknown, unknown},
        {"3600000000", "3433.23 MB", "1000:00:00", unknown, "3600000000"},
        {"65536", "64.00 KB", "00:01:05", "65536\u00d765536(16:9)", "65536"},
        {"1e300"},
        {"-1.7976931348623157e308"},
    };
    const QString base = QString::fromUtf8(
        QJsonDocument(catalogueVideo(QStringLiteral("x")).toJsonObject()).toJson(QJsonDocument::Compact));
    static const QRegularExpression numbers(QStringLiteral("\"(size|time|width|height|upcount|down)\":-?[0-9]+"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        const QString json = QString(base).replace(numbers, QStringLiteral("\"\\1\":") + QLatin1String(c[0]));
        const std::optional<VideoDetail> v = VideoDetail::fromJson(QJsonDocument::fromJson(json.toUtf8()).object());
        ASSERT_EQ(v.has_value(), c.size() > 1);
        if (!v)
            continue;
        calls.closure(*v);
        const QLabel* shown[] = {pane.sizeLabel, pane.durationLabel, pane.dimensionsLabel, pane.userVideCount,
                                 pane.downloadLabel};
        for (size_t i = 0; i < std::size(shown); ++i)
            EXPECT_EQ(shown[i]->text(), QString::fromUtf8(c[std::min<size_t>(i + 1, 4)])) << i;
    }
}
