// The software path's pixel arithmetic: how a frame is rendered for a view, and the copy and
// whole-pixel enlargement of a rendered picture into a window's pixels.
#include "player/FrameBlit.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>

TEST(FrameBlit, PlanRendersNearSourceResolutionWhenEnlargedByTwoOrMore) {
    const struct {
        QSize frame, view;
        FramePlan plan;
    } cases[] = {
        {{1920, 1080}, {1920, 1080}, {{1920, 1080}, 1}},  // one screen
        {{1920, 1080}, {3840, 1080}, {{1920, 540}, 2}},   // spanned over two screens
        {{3840, 2160}, {1920, 1080}, {{1920, 1080}, 1}},  // reduced: at the view's size
        {{1280, 720}, {1920, 1080}, {{1920, 1080}, 1}},   // 1.5x: at the view's size
        {{640, 360}, {1920, 1080}, {{640, 360}, 3}},
        {{1920, 1080}, {5120, 1440}, {{2560, 720}, 2}},  // 2.67x: blocks of two, the rest by mpv
        {{320, 240}, {641, 240}, {{321, 120}, 2}},       // odd sizes round up
        {{}, {320, 240}, {{320, 240}, 1}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(framePlan(c.frame, c.view), c.plan) << c.view.width() << "x" << c.view.height();
}

TEST(FrameBlit, CopiesAndEnlargesThePartOfThePictureAWindowShows) {
    QImage picture(7, 5, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(30 * x, 40 * y, 255));
    const PixelRows rows{picture.constBits(), picture.bytesPerLine(), picture.size()};
    const struct {
        const char* name;
        QRect area;
        QPoint origin;
        int block;
        int turns = 0;
    } cases[] = {
        {"copy", QRect(0, 0, 7, 5), QPoint(0, 0), 1},
        {"copy of the right part", QRect(0, 0, 4, 5), QPoint(-3, 0), 1},
        {"blocks of two", QRect(0, 0, 14, 10), QPoint(0, 0), 2},
        {"blocks of two, second window", QRect(0, 0, 8, 10), QPoint(-6, 0), 2},
        {"blocks of three, cut mid-block", QRect(2, 1, 9, 8), QPoint(-1, -2), 3},
        {"area beyond the target", QRect(-5, -5, 40, 40), QPoint(0, 0), 2},
        // A clip filmed upright on a phone: the picture is turned while it is copied.
        {"a quarter turn", QRect(0, 0, 12, 9), QPoint(1, 1), 1, 1},
        {"a half turn, cut", QRect(1, 0, 5, 4), QPoint(-1, 0), 1, 2},
        {"three quarters, cut", QRect(1, 2, 10, 6), QPoint(2, -1), 1, 3},
        {"three quarters, blocks of two", QRect(0, 0, 12, 9), QPoint(-2, -3), 2, 3},
        {"a quarter turn, blocks of three cut mid-block", QRect(2, 1, 9, 8), QPoint(-1, -2), 3, 1},
    };
    for (const auto& c : cases) {
        QImage target(12, 9, QImage::Format_RGB32);
        target.fill(Qt::black);
        blitBlocks(rows, target, c.area, c.origin, c.block, c.turns);
        // Reference: Qt's turn and nearest-neighbour scaling of the whole picture, drawn at the
        // origin.
        const QImage turned = picture.transformed(QTransform().rotate(90 * c.turns));
        QImage expected(target.size(), QImage::Format_RGB32);
        expected.fill(Qt::black);
        QPainter painter(&expected);
        painter.setClipRect(c.area & QRect(c.origin, turned.size() * c.block));
        painter.drawImage(c.origin, turned.scaled(turned.size() * c.block));
        painter.end();
        EXPECT_EQ(target, expected) << c.name;
    }
    // Quarter turns go by tiles: a picture larger than one, each pixel its own colour.
    QImage large(150, 70, QImage::Format_RGB32);
    for (int y = 0; y < large.height(); ++y)
        for (int x = 0; x < large.width(); ++x)
            large.setPixel(x, y, qRgb(x, y, (x * y) & 0xff));
    for (const int turns : {1, 3}) {
        QImage target(73, 151, QImage::Format_RGB32);
        target.fill(Qt::black);
        blitBlocks({large.constBits(), large.bytesPerLine(), large.size()}, target, target.rect(), QPoint(1, 0), 1,
                   turns);
        QImage expected(target.size(), QImage::Format_RGB32);
        expected.fill(Qt::black);
        QPainter painter(&expected);
        painter.drawImage(QPoint(1, 0), large.transformed(QTransform().rotate(90 * turns)));
        painter.end();
        EXPECT_EQ(target, expected) << turns << " quarter turns";
    }
}

TEST(FrameBlit, WritesStraightOnlyIntoOpaque32BitRasterPicturesAtWholePixels) {
    const struct {
        QImage::Format format;
        QTransform transform;
        bool direct;
    } cases[] = {
        {QImage::Format_RGB32, QTransform::fromTranslate(-320, 4), true},
        {QImage::Format_ARGB32_Premultiplied, QTransform(), true},
        {QImage::Format_RGB16, QTransform(), false},
        {QImage::Format_RGB32, QTransform::fromScale(2, 2), false},
        {QImage::Format_RGB32, QTransform::fromTranslate(0.5, 0), false},
    };
    for (const auto& c : cases) {
        QImage image(16, 16, c.format);
        QPainter painter(&image);
        painter.setTransform(c.transform);
        QPoint origin;
        EXPECT_EQ(directTarget(painter, &origin) == &image, c.direct) << int(c.format);
        if (c.direct) {
            EXPECT_EQ(origin, QPoint(int(c.transform.dx()), int(c.transform.dy())));
        }
    }
}

TEST(FrameBlit, ScalesTheCentreAnAspectFillShowsLikeAReferenceScaler) {
    // A smooth picture with detail at every place, so a misplaced crop, a shifted stripe or a
    // row left unwritten shows as a large difference.
    QImage picture(480, 270, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(
                x, y,
                qRgb(int(127 + 100 * std::sin(x / 9.0)), int(127 + 100 * std::cos(y / 7.0)), (x + 2 * y) * 255 / 1020));
    const PixelRows rows{picture.constBits(), picture.bytesPerLine(), picture.size()};
    const struct {
        QSize view;
        QRect crop;
    } cases[] = {
        {{640, 360}, {0, 0, 480, 270}},      // enlarged by a third, same aspect
        {{341, 192}, {0, 0, 480, 270}},      // reduced, as to a 1366x768 screen
        {{1280, 1200}, {96, 0, 288, 270}},   // enlarged, on several threads, sides cut
        {{540, 960}, {164, 0, 152, 270}},    // a picture lying on its side, for a turned clip
        {{600, 200}, {0, 55, 480, 160}},     // top and bottom cut
        {{480, 270}, {0, 0, 480, 270}},      // the picture's own size
        {{1024, 1536}, {150, 0, 180, 270}},  // many stripes, an odd row count each
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fillCrop(picture.size(), c.view), c.crop) << c.view.width() << "x" << c.view.height();
        QImage target(c.view, QImage::Format_RGB32);
        target.fill(Qt::black);
        scaleFill(rows, target.bits(), target.bytesPerLine(), c.view);
        const QImage reference = picture.copy(c.crop).scaled(c.view, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        int worst = 0;
        double total = 0;
        for (int y = 0; y < c.view.height(); ++y) {
            for (int x = 0; x < c.view.width(); ++x) {
                const QRgb a = target.pixel(x, y), b = reference.pixel(x, y);
                const int d = qMax(qMax(std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b))),
                                   std::abs(qBlue(a) - qBlue(b)));
                worst = qMax(worst, d);
                total += d;
            }
        }
        const double mean = total / (c.view.width() * c.view.height());
        EXPECT_LE(worst, 24) << c.view.width() << "x" << c.view.height();
        EXPECT_LT(mean, 3.0) << c.view.width() << "x" << c.view.height();
    }
}

TEST(FrameBlit, ACompositorThatScalesGetsWhatShowsAtTheFramesOwnPixelsAtMostTheOutputs) {
    const struct {
        QSize frame;
        QRect viewFrame;
        QSize logical, pixels;
        QRect part;
        QSize picture;
        QRectF source;
    } cases[] = {
        // One output of the clip's size, and a larger one: the whole frame at its own pixels.
        {{1920, 1080},
         {0, 0, 1920, 1080},
         {1920, 1080},
         {1920, 1080},
         {0, 0, 1920, 1080},
         {1920, 1080},
         {0, 0, 1920, 1080}},
        {{1280, 720},
         {0, 0, 1920, 1080},
         {1920, 1080},
         {1920, 1080},
         {0, 0, 1280, 720},
         {1280, 720},
         {0, 0, 1280, 720}},
        // A scaled output (1.5: 1280x720 logical on 1920x1080 pixels) shows all the pixels.
        {{1920, 1080},
         {0, 0, 1280, 720},
         {1280, 720},
         {1920, 1080},
         {0, 0, 1920, 1080},
         {1920, 1080},
         {0, 0, 1920, 1080}},
        // Larger than the output: reduced to the output's pixels (1366x768 is a little wider than 16:9).
        {{1920, 1080},
         {0, 0, 1366, 768},
         {1366, 768},
         {1366, 768},
         {0, 0, 1920, 1080},
         {1366, 768},
         {0, 0.1874, 1366, 767.6252}},
        // Another aspect: the middle band, its edges inside the part's outer pixels.
        {{1080, 1920},
         {0, 0, 1920, 1080},
         {1920, 1080},
         {1920, 1080},
         {0, 656, 1080, 608},
         {1080, 608},
         {0, 0.25, 1080, 607.5}},
        // The right one of two outputs side by side: the right half of the middle band.
        {{1920, 1080},
         {-1920, 0, 3840, 1080},
         {1920, 1080},
         {1920, 1080},
         {960, 270, 960, 540},
         {960, 540},
         {0, 0, 960, 540}},
        {{}, {0, 0, 1920, 1080}, {1920, 1080}, {1920, 1080}, {}, {}, {}},
    };
    for (const auto& c : cases) {
        const ViewportPlan plan = viewportPlan(c.frame, c.viewFrame, c.logical, c.pixels);
        const auto where = [&] {
            return testing::Message() << c.frame.width() << "x" << c.frame.height() << " on " << c.logical.width()
                                      << "x" << c.logical.height() << " at " << c.viewFrame.x();
        };
        EXPECT_EQ(plan.part, c.part) << where();
        EXPECT_EQ(plan.picture, c.picture) << where();
        EXPECT_NEAR(plan.source.x(), c.source.x(), 1e-3) << where();
        EXPECT_NEAR(plan.source.y(), c.source.y(), 1e-3) << where();
        EXPECT_NEAR(plan.source.width(), c.source.width(), 1e-3) << where();
        EXPECT_NEAR(plan.source.height(), c.source.height(), 1e-3) << where();
    }
}
