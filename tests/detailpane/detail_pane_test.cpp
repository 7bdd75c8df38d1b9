// The detail pane's widgets: the fields as shown, the action button's states and clicks; the
// colourful link button's colours through hover and press, and the overlay's refresh group.
#include "onlinelibrary/OnlineTestSupport.h"

#include "MainWindow/onlinelibrary/ButtonWithColorfulLink.h"
#include "detailpane/DetailPaneRecorder.h"
#include "MainWindow/detailpane/VideoDetailView.h"
#include "MainWindow/onlinelibrary/WebLibraryRefreshSubView.h"
#include "service/DownloadManager.h"
#include "shared/LocalVideoDBManager.h"
#include "views/ButtonWithHoverBackGround.h"
#include "views/ButtonWithLinkTitle.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
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

// The formats are the model's (detail_model_test); the pane shows its texts as plain text.
TEST_F(DetailPaneTest, FieldsShowTheModelsTextsAsPlainTextAndPlaceholdersWithoutAVideo) {
    VideoDetail unknown = catalogueVideo(QStringLiteral("u")), markup = catalogueVideo(QStringLiteral("m"));
    unknown.title = QStringLiteral("<i>Rain</i><br>Night");
    unknown.author = QStringLiteral("Tom & Jerry");
    unknown.size = unknown.time = unknown.width = unknown.height = unknown.upcount = unknown.down = -1;
    markup.title = QStringLiteral("<font color=white>Sea</font>");
    markup.author = QStringLiteral("A&B");
    for (const VideoDetail& v : {unknown, markup}) {
        SCOPED_TRACE(v.title.toStdString());
        calls.closure(v);  // the screen's selection reaches the pane through its delegate
        const VideoDetailModel::Texts texts = VideoDetailModel::textsOf(v);
        // What a screen reader and the eye get is the text itself, markup and "&" included.
        EXPECT_EQ(QAccessible::queryAccessibleInterface(pane.titleLabel)->text(QAccessible::Name), v.title);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(pane.userName)->text(QAccessible::Name),
                  QStringLiteral("Videos by ") + v.author);
        EXPECT_TRUE(pane.userName->shortcut().isEmpty());  // no mnemonic stolen from the name
        const std::pair<const QLabel*, QString> shown[] = {
            {pane.sizeLabel, texts.size},           {pane.durationLabel, texts.duration},
            {pane.dimensionsLabel, texts.dimensions}, {pane.audioLabel, texts.audio},
            {pane.requirementLabel, texts.requirement.text}, {pane.downloadLabel, texts.downloads},
        };
        for (const auto& [label, text] : shown)
            EXPECT_EQ(label->text(), text) << label->objectName().toStdString();
        EXPECT_EQ(pane.userVideCount->text(), texts.uploads);
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
        EXPECT_EQ(pane.userName->text(), QStringLiteral("Ann"));
        SCOPED_TRACE(pane.requirementLabel->text().toStdString());
        EXPECT_EQ(pane.requirementLabel->palette().color(QPalette::WindowText) == normal, !red);
    }
    // No video: placeholders, the action disabled with its title kept, no preview.
    calls.closure(std::nullopt);
    EXPECT_FALSE(pane.downloadButton->isEnabled());
    EXPECT_EQ(title(), QStringLiteral("Download"));
    EXPECT_TRUE(pane.previewPlayerButton->isHidden());
    EXPECT_FALSE(pane.userAvatar->isEnabled());
    EXPECT_EQ(pane.userVideCount->text(), QStringLiteral("0"));
    EXPECT_TRUE(pane.sizeLabel->text().isEmpty());
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

// What a press decides is the model's (detail_model_test): the pane shows the offer's title and
// colour and passes its clicks on.
TEST_F(DetailPaneTest, ActionStatesAndClicks) {
    const VideoDetail a = catalogueVideo(QStringLiteral("aaaa"));
    pane.setVideoDetail(a);
    EXPECT_EQ(pane.action(), VideoDetailView::Action::download);
    EXPECT_EQ(pane.downloadButton->normalColor(), QColor(39, 215, 110));
    pane.downloadButton->click();
    EXPECT_EQ(title(), QStringLiteral("Downloading"));
    EXPECT_EQ(calls.log, QStringList{"download aaaa"});

    LocalVideoDBManager::shared().insertVideo(a);
    pane.reloadDetail();
    EXPECT_EQ(pane.action(), VideoDetailView::Action::setAsWallpaper);
    EXPECT_EQ(pane.downloadButton->normalColor(), QColor(52, 155, 255));
    pane.downloadButton->click();
    EXPECT_EQ(calls.log.last(), QStringLiteral("wallpaper aaaa"));
    pane.userName->click();
    EXPECT_EQ(calls.log.last(), QStringLiteral("author Ann"));
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
