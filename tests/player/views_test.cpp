// The small views: the player view's aspect fill and crop, the clickable image, the tab title's
// bar, the content view's colour, and the log lines of a click on a wallpaper window.
#include "CapturedOutput.h"
#include "player/DesktopWallpaperWindow.h"
#include "player/VideoPlayerManager.h"
#include "views/ClickableImageView.h"
#include "views/ContentView.h"
#include "views/PlayerView.h"
#include "views/TabTitleView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QPainter>
#include <QTemporaryFile>
#include <QTest>
#include <cstdio>
#include <unistd.h>

namespace {
class StillSource final : public VideoFrameSource {
public:
    explicit StillSource(QImage image) : image_(std::move(image)) {}
    const QImage& currentFrame() const override { return image_; }

private:
    QImage image_;
};

// Left half red, right half blue.
QImage twoHalves(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(0, 0, w / 2, h, Qt::red);
    p.fillRect(w / 2, 0, w - w / 2, h, Qt::blue);
    return img;
}

// Stands for the manager as the target of a window's click.
class CallLogTarget : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void tapVideoPlayerViewAction() { std::printf("tapVideoPlayerViewAction\n"); }
};

}  // namespace

TEST(Views, PlayerViewFillsKeepingTheAspectAndCrops) {
    EXPECT_EQ(PlayerView::aspectFillRect(QSize(640, 240), QSize(320, 240)), QRectF(-160, 0, 640, 240));
    EXPECT_EQ(PlayerView::aspectFillRect(QSize(1920, 1080), QSize(1080, 1920)),
              QRectF((1080 - 1920 * 1920.0 / 1080) / 2, 0, 1920 * 1920.0 / 1080, 1920));

    StillSource source(twoHalves(200, 100));
    PlayerView view;
    view.resize(100, 100);
    view.setPlayer(&source);
    const QImage shot = view.grab().toImage();
    EXPECT_EQ(shot.pixelColor(10, 50), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(90, 50), QColor(Qt::blue));

    // A view wider than its window, moved left: the window shows the view's right part.
    QWidget window;
    window.resize(100, 100);
    PlayerView wide(QRect(-100, 0, 200, 100), &window);
    wide.setPlayer(&source);
    const QImage part = window.grab().toImage();
    EXPECT_EQ(part.pixelColor(5, 50), QColor(Qt::blue));
    EXPECT_EQ(part.pixelColor(95, 50), QColor(Qt::blue));
}

TEST(Views, ClickingAWallpaperWindowWritesItsLogLines) {
    StillSource source(twoHalves(64, 48));
    CallLogTarget target;
    WallpaperWindowWidget window(QRect(0, 0, 320, 240), QRect(0, 0, 320, 240), &source, &target);
    window.show();
    const QString out = playertest::capturedStdout([&] { QTest::mouseClick(window.playerView(), Qt::LeftButton); });
    // The view's own line after its inherited handling, then the window's click action.
    EXPECT_EQ(out, QStringLiteral("mouse down\ntapVideoPlayerViewAction\n"));
}

TEST(Views, ClickableImageSwapsImagesAndRunsItsAction) {
    QPixmap normal(10, 10), hover(10, 10);
    normal.fill(Qt::green);
    hover.fill(Qt::yellow);
    ClickableImageView view(QRect(0, 0, 10, 10), nullptr);
    EXPECT_EQ(view.trackingAreaCount(), 1);
    EXPECT_EQ(view.cursor().shape(), Qt::PointingHandCursor);
    view.hoverImage = hover;
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&view, &enter);
    EXPECT_EQ(view.pixmap().toImage().pixelColor(0, 0), QColor(Qt::yellow));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&view, &leave);  // no normal image: the hover image stays
    EXPECT_EQ(view.pixmap().toImage().pixelColor(0, 0), QColor(Qt::yellow));
    view.normalImage = normal;
    QApplication::sendEvent(&view, &leave);
    EXPECT_EQ(view.pixmap().toImage().pixelColor(0, 0), QColor(Qt::green));

    view.show();
    QTest::mouseClick(&view, Qt::LeftButton);  // no action: nothing happens
    int clicks = 0;
    view.clickAction = [&] { ++clicks; };
    QTest::mouseClick(&view, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);

    view.setChangeCurser(false);
    EXPECT_NE(view.cursor().shape(), Qt::PointingHandCursor);

    // Hiding drops every tracking area; showing again adds exactly one.
    view.hide();
    EXPECT_EQ(view.trackingAreaCount(), 0);
    view.show();
    EXPECT_EQ(view.trackingAreaCount(), 1);

    // Made without a frame, it follows the mouse from construction too.
    ClickableImageView fromForm;
    EXPECT_EQ(fromForm.trackingAreaCount(), 1);
    fromForm.hoverImage = hover;
    QApplication::sendEvent(&fromForm, &enter);
    EXPECT_EQ(fromForm.pixmap().toImage().pixelColor(0, 0), QColor(Qt::yellow));
}

TEST(Views, TabTitleDrawsItsBarAlongTheBottomOnlyWhenHighlighted) {
    QWidget parent;
    parent.resize(200, 30);
    QPalette white = parent.palette();
    white.setColor(QPalette::Window, Qt::white);
    parent.setPalette(white);
    parent.setAutoFillBackground(true);
    TabTitleView tab(&parent);
    tab.resize(200, 30);
    QImage shot = parent.grab().toImage();
    EXPECT_EQ(shot.pixelColor(100, 28), QColor(Qt::white));

    tab.highlight = true;
    shot = parent.grab().toImage();
    for (int x : {0, 100, 199}) {
        EXPECT_EQ(shot.pixelColor(x, 27), tab.accentColor());
        EXPECT_EQ(shot.pixelColor(x, 29), tab.accentColor());
        EXPECT_EQ(shot.pixelColor(x, 26), QColor(Qt::white));
    }
}

TEST(Views, ContentViewTakesTheTextBackgroundOnlyWhenItPaintsABackground) {
    ContentView plain;
    plain.resize(10, 10);
    QPalette p = plain.palette();
    p.setColor(QPalette::Window, Qt::red);
    p.setColor(QPalette::Base, Qt::cyan);
    plain.setPalette(p);
    plain.resize(20, 20);
    plain.show();
    EXPECT_EQ(plain.palette().color(QPalette::Window), QColor(Qt::red));

    plain.setAutoFillBackground(true);
    plain.resize(30, 30);
    EXPECT_EQ(plain.palette().color(QPalette::Window), QColor(Qt::cyan));
}

#include "views_test.moc"
