// Reading a media file: metadata of every container we make, and the thumbnail frame.
#include <gtest/gtest.h>

#include "ImportFixture.h"
#include "service/VideoProbe.h"

#include <cstring>
#include <memory>

using importtest::testVideo;

TEST(VideoProbe, ReadsTheTracksOfEachContainer) {
    struct Case {
        const char* name;
        qint64 width, height;
        bool audio;
        double duration;
    };
    const Case cases[] = {
        {"clip_1280x720.mp4", 1280, 720, true, 2.0},    {"clip_1366x768.mov", 1366, 768, false, 1.0},
        {"clip_1080x1920.mkv", 1080, 1920, false, 1.0}, {"clip_640x360.webm", 640, 360, true, 1.0},
        {"clip_12_7s.mp4", 160, 90, false, 12.7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const VideoProbe probe = probeVideo(testVideo(c.name));
        ASSERT_TRUE(probe.opened) << probe.error.toStdString();
        EXPECT_TRUE(probe.hasVideoTrack);
        EXPECT_EQ(probe.width, c.width);
        EXPECT_EQ(probe.height, c.height);
        EXPECT_EQ(probe.hasAudio, c.audio);
        EXPECT_NEAR(probe.duration, c.duration, 0.05);
        EXPECT_EQ(int(probe.frameRate), 10);
        EXPECT_GT(probe.bitRate, 0);
        EXPECT_EQ(probe.rotation, 0);
    }
}

TEST(VideoProbe, TellsFilesWithoutVideoOrIndex) {
    const VideoProbe audio = probeVideo(testVideo("audio_only.mp4"));
    EXPECT_TRUE(audio.opened);
    EXPECT_FALSE(audio.hasVideoTrack);
    EXPECT_TRUE(audio.hasAudio);
    EXPECT_GT(audio.duration, 0.5);
    EXPECT_EQ(audio.width, 0);

    const VideoProbe truncated = probeVideo(testVideo("truncated.mp4"));
    EXPECT_FALSE(truncated.opened);
    EXPECT_FALSE(truncated.error.isEmpty());

    QString error;
    EXPECT_TRUE(videoFrame(testVideo("audio_only.mp4"), 0, &error).isNull());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(videoFrame(testVideo("missing.mp4"), 0, &error).isNull());
}

TEST(VideoProbe, RotatedClipComesOutUprightAsFfmpegShowsIt) {
    const QString path = testVideo("rotated_90.mp4");
    const VideoProbe probe = probeVideo(path);
    EXPECT_EQ(probe.width, 320);  // the natural size stays unrotated
    EXPECT_EQ(probe.height, 180);
    EXPECT_NE(probe.rotation, 0);
    EXPECT_EQ(QSize(probe.shownWidth, probe.shownHeight), QSize(180, 320));

    const QImage ours = videoFrame(path, 0);
    const QImage theirs = importtest::ffmpegFrame(path, 0);
    ASSERT_EQ(ours.size(), QSize(180, 320));
    ASSERT_EQ(theirs.size(), QSize(180, 320));
    // The coded frame is red on the left, blue on the right; upright, one colour is on top.
    const QString top = importtest::dominantColour(theirs, 90, 20);
    const QString bottom = importtest::dominantColour(theirs, 90, 300);
    EXPECT_NE(top, bottom);
    EXPECT_EQ(importtest::dominantColour(ours, 90, 20), top);
    EXPECT_EQ(importtest::dominantColour(ours, 90, 300), bottom);
}

TEST(VideoProbe, FrameIsTheOneAtTheAskedSecond) {
    const QString path = testVideo("clip_12_7s.mp4");
    const QImage ours = videoFrame(path, 6);
    ASSERT_EQ(ours.size(), QSize(160, 90));
    const double same = importtest::meanDifference(ours, importtest::ffmpegFrame(path, 6));
    const double start = importtest::meanDifference(ours, importtest::ffmpegFrame(path, 0));
    const double later = importtest::meanDifference(ours, importtest::ffmpegFrame(path, 9));
    EXPECT_LT(same, 6.0);
    EXPECT_GT(start, same * 2 + 2);
    EXPECT_GT(later, same * 2 + 2);

    // Past the end: the last frame rather than nothing.
    EXPECT_FALSE(videoFrame(path, 60).isNull());
}

TEST(VideoProbe, OneOpeningGivesTheProbeAndTheMiddleFrame) {
    const QString path = testVideo("clip_12_7s.mp4");
    QImage middle;
    QString error;
    const VideoProbe probe = probeVideo(path, &middle, &error);
    EXPECT_EQ(probe.width, probeVideo(path).width);
    EXPECT_NEAR(probe.duration, 12.7, 0.05);
    ASSERT_EQ(middle.size(), QSize(160, 90)) << error.toStdString();
    EXPECT_EQ(middle, videoFrame(path, 6));

    QImage none;
    EXPECT_FALSE(probeVideo(testVideo("audio_only.mp4"), &none, &error).hasVideoTrack);
    EXPECT_TRUE(none.isNull());
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_FALSE(probeVideo(testVideo("truncated.mp4"), &none, &error).opened);
    EXPECT_FALSE(error.isEmpty());
}

TEST(VideoProbe, DisplayMatrixAnglesBecomeQuarterTurns) {
    EXPECT_EQ(uprightRotation(0), 0);
    EXPECT_EQ(uprightRotation(90), 270);
    EXPECT_EQ(uprightRotation(-90), 90);
    EXPECT_EQ(uprightRotation(180), 180);
    EXPECT_EQ(uprightRotation(-180), 180);
    EXPECT_EQ(uprightRotation(89.6), 270);
    EXPECT_EQ(uprightRotation(std::nan("")), 0);
}

extern "C" {
#include <libavutil/frame.h>
}

// Sizes whose width is not a multiple of 16 (portrait phone videos, squares) made swscale write
// past the picture; the sanitizer build catches any such write here.
TEST(VideoProbe, ConvertsFramesOfEveryWidthWithinThePicture) {
    const int sizes[][2] = {{360, 640}, {540, 960}, {1080, 1080}, {1080, 1920}, {200, 200}, {424, 240},
                            {1, 1},     {2, 2},     {8, 6},       {18, 10},     {30, 2},    {1280, 720}};
    const AVPixelFormat formats[] = {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV444P, AV_PIX_FMT_NV12, AV_PIX_FMT_RGB24};
    for (const auto& size : sizes)
        for (AVPixelFormat format : formats) {
            SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1] << " format " << format);
            std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(), [](AVFrame* f) { av_frame_free(&f); });
            frame->width = size[0];
            frame->height = size[1];
            frame->format = format;
            ASSERT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
            // Mid grey in every format: luma and both chroma planes at 128, or RGB all 128.
            for (AVBufferRef* buffer : frame->buf)
                if (buffer)
                    std::memset(buffer->data, 128, buffer->size);
            // At its own size, and scaled down in the conversion to odd sizes of either shape.
            for (const QSize to :
                 {QSize(), QSize(size[0] / 3 + 1, size[1] / 2 + 1), QSize(size[1] / 4 + 3, size[0] / 5 + 1)}) {
                SCOPED_TRACE(testing::Message() << "to " << to.width() << "x" << to.height());
                QString error;
                const QImage image = rgbaImage(frame.get(), &error, to);
                ASSERT_FALSE(image.isNull()) << error.toStdString();
                const QSize expected = to.isEmpty() ? QSize(size[0], size[1]) : to;
                EXPECT_EQ(image.size(), expected);
                const QColor corner = image.pixelColor(expected.width() - 1, expected.height() - 1);
                EXPECT_NEAR(corner.red(), 128, 4);
                EXPECT_NEAR(corner.blue(), 128, 4);
                EXPECT_EQ(corner.alpha(), 255);
            }
        }
}
