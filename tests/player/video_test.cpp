// The real player on two screens side by side, headless: Qt's offscreen platform reads the
// screens from two_screens.json (two 320x240 screens, left and right).
#include "PlayerFakes.h"
#include "SplitScreens.h"
#include "CapturedOutput.h"
#include "VideoClips.h"
#include "platform/WallpaperProblem.h"
#include "player/DesktopWallpaperPlatform.h"
#include "player/DesktopWallpaperWindow.h"
#include "player/MpvPlayer.h"
#include "player/SoftwareRenderer.h"
#include "player/VideoRenderer.h"
#include "views/PlayerView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QSet>
#include <QSignalSpy>

#include <random>

namespace {
// Runs before main() makes the application object, so the platform sees the screen file. On
// xcb (a 640x240 Xvfb screen, for the OpenGL renderer) its two halves stand for the screens.
const bool kTwoScreens = [] {
    if (qgetenv("QT_QPA_PLATFORM") != "xcb")
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + TWO_SCREENS_JSON);
    // For the OpenGL renderer (TAVVEL_RENDERER=opengl under Xvfb runs these tests with it).
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();

// Share of pixels that are clearly not black.
double litShare(const QImage& image) {
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    if (img.isNull())
        return 0;
    qint64 lit = 0;
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (qRed(line[x]) + qGreen(line[x]) + qBlue(line[x]) > 60)
                ++lit;
    }
    return double(lit) / (double(img.width()) * img.height());
}

// Mean difference per channel between two pictures of one size.
double meanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size())
        return 255;
    double sum = 0;
    for (int r = 0; r < x.height(); ++r) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(r));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(r));
        for (int c = 0; c < x.width(); ++c)
            sum += qAbs(qRed(p[c]) - qRed(q[c])) + qAbs(qGreen(p[c]) - qGreen(q[c])) + qAbs(qBlue(p[c]) - qBlue(q[c]));
    }
    return sum / (3.0 * x.width() * x.height());
}

class RealPlayer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kTwoScreens);
        if (!playertest::haveFfmpeg())
            GTEST_SKIP() << "ffmpeg is missing";
    }

    void addClip(const QString& sign, const QString& size, double seconds, bool withSound = false) {
        const QString path = library.videoPath(sign + QStringLiteral(".mp4"));
        ASSERT_TRUE(playertest::makeClip(path, size, seconds, 30, withSound));
        library.addRow(sign, TestLibrary::fileUrl(path));
    }
    void make() {
        prefs = std::make_unique<Preferences>(library.suite);
        manager = std::make_unique<VideoPlayerManager>(platform(), *prefs, library.db);
    }
    WallpaperPlatform& platform() {
        static SplitScreenPlatform halves(desktopWallpaperPlatform());
        return QGuiApplication::screens().size() == 1 ? static_cast<WallpaperPlatform&>(halves)
                                                      : desktopWallpaperPlatform();
    }
    VideoRenderer& renderer() { return *manager->player().renderer(); }
    // Waits until a few frames are out, then pauses, so every view shows one still frame.
    void playAFewFramesThenPause() {
        ASSERT_TRUE(playertest::waitFor([&] { return renderer().renderedFrames() >= 5; }, 15000));
        manager->player().pause();
        playertest::spin(300);
    }
    WallpaperWindowWidget* widget(size_t i) {
        return static_cast<DesktopWallpaperWindow&>(*manager->windowList().at(i)).widget();
    }

    TestLibrary library;
    std::unique_ptr<Preferences> prefs;
    std::unique_ptr<VideoPlayerManager> manager;
};
}  // namespace

TEST_F(RealPlayer, TwoScreensSideBySide) {
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    EXPECT_EQ(desktopWallpaperPlatform().screens(), (QList<QRect>{QRect(0, 0, 320, 240), QRect(320, 0, 320, 240)}));
}

TEST_F(RealPlayer, MirrorShowsTheVideoInEveryWindow) {
    addClip(QStringLiteral("a"), QStringLiteral("640x240"), 3);
    library.suite.setInteger(PreferencesKey::monitorArrange, 1);
    make();
    manager->setupWindows();
    ASSERT_EQ(manager->windowList().size(), 2u);
    playAFewFramesThenPause();
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(widget(i)->isVisible());
        EXPECT_EQ(widget(i)->geometry(), platform().screens().at(qsizetype(i)));
        const QImage shot = widget(i)->grab().toImage();
        EXPECT_GT(litShare(shot), 0.5) << "window " << i;
    }
    // Aspect fill: the 640x240 picture is scaled to the screen's height and its middle shown.
    const QImage frame = renderer().currentFrame().copy(160, 0, 320, 240);
    EXPECT_LT(meanDifference(widget(0)->grab().toImage(), frame), 4.0);
}

TEST_F(RealPlayer, IntegrationShowsOneHalfOfTheFrameOnEachScreen) {
    addClip(QStringLiteral("a"), QStringLiteral("640x240"), 3);
    library.suite.setInteger(PreferencesKey::monitorArrange, 0);
    make();
    manager->setupWindows();
    ASSERT_EQ(manager->windowList().size(), 2u);
    playAFewFramesThenPause();
    const QImage frame = renderer().currentFrame().copy();
    ASSERT_EQ(frame.size(), QSize(640, 240));
    const QImage left = widget(0)->grab().toImage();
    const QImage right = widget(1)->grab().toImage();
    EXPECT_LT(meanDifference(left, frame.copy(0, 0, 320, 240)), 2.0);
    EXPECT_LT(meanDifference(right, frame.copy(320, 0, 320, 240)), 2.0);
    EXPECT_GT(meanDifference(left, right), 10.0);  // two different halves, not one picture twice
}

TEST_F(RealPlayer, IntegrationEnlargesEachQuarterOfASmallFrameTwice) {
    // 320x240 over the 640x240 box: twice as large, the middle half of the height shown, each
    // window one quarter of the picture repeated pixel by pixel.
    addClip(QStringLiteral("a"), QStringLiteral("320x240"), 3);
    library.suite.setInteger(PreferencesKey::monitorArrange, 0);
    make();
    manager->setupWindows();
    ASSERT_EQ(manager->windowList().size(), 2u);
    playAFewFramesThenPause();
    const QImage frame = renderer().currentFrame().copy();
    ASSERT_EQ(frame.size(), QSize(320, 240));
    for (int i = 0; i < 2; ++i) {
        const QImage expected = frame.copy(160 * i, 60, 160, 120).scaled(320, 240);
        EXPECT_LT(meanDifference(widget(size_t(i))->grab().toImage(), expected), 2.0) << "window " << i;
    }
}

TEST_F(RealPlayer, SingleScreenShowsTheVideoOnlyOnTheChosenScreen) {
    addClip(QStringLiteral("a"), QStringLiteral("640x240"), 3);
    library.suite.setInteger(PreferencesKey::monitorArrange, 2);
    library.suite.setInteger(PreferencesKey::screenIndex, 1);
    make();
    manager->setupWindows();
    ASSERT_EQ(manager->windowList().size(), 1u);
    playAFewFramesThenPause();
    EXPECT_EQ(widget(0)->geometry(), QRect(320, 0, 320, 240));
    EXPECT_GT(litShare(widget(0)->grab().toImage()), 0.5);
    // No other wallpaper window is up anywhere: the left screen shows nothing of it.
    const QList<QScreen*> screens = QGuiApplication::screens();
    int shown = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<WallpaperWindowWidget*>(w) && w->isVisible()) {
            ++shown;
            EXPECT_EQ(w->screen(), screens.at(screens.size() - 1));
        }
    }
    EXPECT_EQ(shown, 1);
}

TEST_F(RealPlayer, ListModeAdvancesAtTheEndOfEachClipAndWraps) {
    addClip(QStringLiteral("a"), QStringLiteral("160x120"), 0.5);
    addClip(QStringLiteral("b"), QStringLiteral("160x120"), 0.5);
    library.suite.setInteger(PreferencesKey::playModel, 1);
    make();
    manager->setupWindows();
    QStringList seen{prefs->playingVideoSign().value_or(QString())};
    QObject::connect(prefs.get(), &Preferences::playingVideoSignChanged,
                     [&](const std::optional<QString>& s) { seen.append(s.value_or(QString())); });
    ASSERT_TRUE(playertest::waitFor([&] { return seen.size() >= 3; }, 15000)) << seen.join(',').toStdString();
    EXPECT_EQ(seen.mid(0, 3), (QStringList{"a", "b", "a"}));
}

TEST_F(RealPlayer, SingleModeStartsTheSameClipAgainAtItsEnd) {
    addClip(QStringLiteral("a"), QStringLiteral("160x120"), 0.5);
    addClip(QStringLiteral("b"), QStringLiteral("160x120"), 0.5);
    make();
    MediaPlayer& player = manager->player();
    QSignalSpy ends(&player, &MediaPlayer::itemEnded);
    manager->setupWindows();
    const quint64 item = player.currentItem();
    ASSERT_TRUE(playertest::waitFor([&] { return ends.count() >= 3; }, 15000));
    EXPECT_EQ(player.currentItem(), item);
    EXPECT_EQ(prefs->playingVideoSign(), QStringLiteral("a"));
    // It goes on playing from the start.
    const quint64 frames = renderer().renderedFrames();
    EXPECT_TRUE(playertest::waitFor([&] { return renderer().renderedFrames() > frames; }, 5000));
}

TEST_F(RealPlayer, UndecodableFilesFailOncePerPassAndThenThePlayerRests) {
    for (const char* sign : {"x", "y"}) {
        const QString path = library.videoPath(QString::fromLatin1(sign) + QStringLiteral(".mp4"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, '\x5a'));
        f.close();
        library.addRow(QString::fromLatin1(sign), TestLibrary::fileUrl(path));
    }
    library.suite.setInteger(PreferencesKey::playModel, 1);
    make();
    MediaPlayer& player = manager->player();
    QSignalSpy failures(&player, &MediaPlayer::itemFailed);
    manager->setupWindows();
    ASSERT_TRUE(playertest::waitFor([&] { return failures.count() >= 2; }, 15000));
    playertest::spin(1500);
    EXPECT_EQ(failures.count(), 2);  // x, then y; then no more
}

// Files that hold no picture to show, or that cannot be read. A chosen one shows no window and
// says why while the switch and the choice stay, and it plays once its file is mended; in list
// mode a playable video after one plays instead; a whole play list of them leaves the wallpaper
// off.
TEST_F(RealPlayer, AFileWithoutAPictureIsAFailedVideoAndWithNoneLeftTheWallpaperGoes) {
    const QString good = library.videoPath(QStringLiteral("good.mp4"));
    ASSERT_TRUE(playertest::makeClip(good, QStringLiteral("160x120"), 3));
    QFile clip(good);
    ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
    const QByteArray goodBytes = clip.readAll();
    ASSERT_TRUE(goodBytes.indexOf("moov") > goodBytes.size() / 2);
    const QString audio = library.videoPath(QStringLiteral("sound.mp4"));
    ASSERT_TRUE(
        playertest::runFfmpeg(QStringLiteral("-f lavfi -i sine=frequency=440:duration=3 -c:a aac %1").arg(audio)));
    const QMap<QString, QByteArray> contents{
        {QStringLiteral("text"), QByteArray("not a video at all\n")},
        {QStringLiteral("truncated"), goodBytes.left(goodBytes.size() / 2)},  // no index (moov)
        {QStringLiteral("empty"), QByteArray()},
        {QStringLiteral("mended"), QByteArray("not a video yet\n")},
    };
    for (auto it = contents.cbegin(); it != contents.cend(); ++it) {
        QFile f(library.videoPath(it.key() + QStringLiteral(".mp4")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(it.value());
    }
    // A file whose reading fails with EIO, as on a failing disk or a network home: this
    // process's memory at address 0.
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), library.videoPath(QStringLiteral("io.mp4"))));
    const struct {
        int playModel;
        QStringList signs;  // the first is chosen
        QString plays;      // none: nothing plays (in single mode the switch stays on)
        QString said;
    } cases[] = {
        {0, {"text"}, {}, "Cannot play \"text\": this video format is not supported."},
        {0, {"truncated"}, {}, "Cannot play \"truncated\": this video format is not supported."},
        {0, {"empty"}, {}, "Cannot play \"empty\": this video format is not supported."},
        {0, {"sound"}, {}, "Cannot play \"sound\": the file has no video track."},
        {0, {"io", "good"}, {}, "Cannot play \"io\": the file cannot be read (Input/output error)."},
        {0, {"mended", "good"}, "mended", "Cannot play \"mended\": this video format is not supported."},
        {1, {"sound", "good"}, "good", "Cannot play \"sound\": the file has no video track."},
        {2,
         {"text", "truncated", "empty", "sound"},
         {},
         "and no other video can be played: the video wallpaper is off."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signs.join(u',').toStdString());
        TestLibrary one;
        for (const QString& sign : c.signs)
            one.addRow(sign, TestLibrary::fileUrl(library.videoPath(sign + QStringLiteral(".mp4"))));
        one.suite.setInteger(PreferencesKey::playModel, c.playModel);
        one.suite.setObject(PreferencesKey::currentVideoSign, c.signs.first());
        platform::clearWallpaperProblem();
        prefs = std::make_unique<Preferences>(one.suite);
        manager = std::make_unique<VideoPlayerManager>(platform(), *prefs, one.db);
        manager->setupWindows();
        if (c.playModel == 0) {
            ASSERT_TRUE(playertest::waitFor([&] { return platform::wallpaperProblem() == c.said; },
                                            20000 * playertest::kSlowdown))
                << platform::wallpaperProblem().toStdString();
            playertest::spin(200);
            EXPECT_TRUE(prefs->isOpenPlayer());
            EXPECT_EQ(prefs->playingVideoSign(), c.signs.first());
            EXPECT_FALSE(widget(0)->isVisible());
            EXPECT_EQ(manager->player().currentItem(), 0u);
        }
        if (c.plays == QLatin1String("mended")) {
            QFile mended(library.videoPath(QStringLiteral("mended.mp4")));
            ASSERT_TRUE(mended.open(QIODevice::WriteOnly));
            mended.write(goodBytes);
            mended.close();
        }
        if (c.plays.isEmpty() && c.playModel != 0) {
            ASSERT_TRUE(playertest::waitFor([&] { return !prefs->isOpenPlayer(); }, 20000 * playertest::kSlowdown));
            EXPECT_FALSE(widget(0)->isVisible());
            EXPECT_FALSE(manager->player().isPlaying());
        } else if (!c.plays.isEmpty()) {
            ASSERT_TRUE(playertest::waitFor([&] { return prefs->playingVideoSign() == c.plays; },
                                            20000 * playertest::kSlowdown));
            const quint64 frames = renderer().renderedFrames();
            EXPECT_TRUE(playertest::waitFor([&] { return renderer().renderedFrames() > frames + 3; },
                                            5000 * playertest::kSlowdown));
            EXPECT_TRUE(prefs->isOpenPlayer());
            EXPECT_TRUE(widget(0)->isVisible());
        }
        if (c.playModel != 0) {
            EXPECT_TRUE(platform::wallpaperProblem().contains(c.said)) << platform::wallpaperProblem().toStdString();
        }
        manager.reset();
    }
}

// A damaged clip that loops makes the decoder say the same on every pass: it is said once, then
// counted.
TEST_F(RealPlayer, ADamagedClipThatLoopsLogsEachComplaintOnceThenCountsIt) {
    const QString path = library.videoPath(QStringLiteral("damaged.mp4"));
    ASSERT_TRUE(playertest::makeClip(path, QStringLiteral("320x240"), 1));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const qsizetype index = bytes.indexOf("moov");
    ASSERT_GT(index, bytes.size() / 2);
    // Noise over some frames of the picture data; the index stays whole, so the clip still plays.
    std::mt19937 noise(7);
    for (qsizetype at = index / 4; at + 64 < index / 2; at += 2000)
        for (qsizetype i = 0; i < 64; ++i)
            bytes[at + i] = char(noise());
    file.seek(0);
    file.write(bytes);
    file.close();
    library.addRow(QStringLiteral("d"), TestLibrary::fileUrl(path));
    bool looped = false;
    const QString log = playertest::capturedStdout([&] {
        make();
        QSignalSpy ends(&manager->player(), &MediaPlayer::itemEnded);
        manager->setupWindows();
        looped = playertest::waitFor([&] { return ends.count() >= 3; }, 20000 * playertest::kSlowdown);
        manager.reset();  // the counts are told when the player goes
    });
    ASSERT_TRUE(looped) << log.toStdString();
    QStringList complaints, counts;
    for (const QString& line : log.split(u'\n')) {
        if (line.startsWith(QLatin1String("mpv: ")))
            complaints.append(line);
        else if (line.startsWith(QLatin1String("repeated ")))
            counts.append(line);
    }
    ASSERT_FALSE(complaints.isEmpty()) << log.toStdString();
    EXPECT_EQ(QSet<QString>(complaints.cbegin(), complaints.cend()).size(), complaints.size()) << log.toStdString();
    EXPECT_FALSE(counts.isEmpty()) << log.toStdString();
}

TEST_F(RealPlayer, RenderingStopsWhilePausedAndWhileClosed) {
    addClip(QStringLiteral("a"), QStringLiteral("320x240"), 5);
    make();
    manager->setupWindows();
    ASSERT_TRUE(playertest::waitFor([&] { return renderer().renderedFrames() >= 3; }, 15000));
    prefs->setIsPlaying(false);
    playertest::spin(200);
    quint64 frames = renderer().renderedFrames();
    playertest::spin(600);
    EXPECT_EQ(renderer().renderedFrames(), frames);

    prefs->setIsPlaying(true);
    ASSERT_TRUE(playertest::waitFor([&] { return renderer().renderedFrames() > frames + 3; }, 5000));
    prefs->setIsOpenPlayer(false);
    EXPECT_FALSE(widget(0)->isVisible());
    playertest::spin(200);
    frames = renderer().renderedFrames();
    playertest::spin(600);
    EXPECT_EQ(renderer().renderedFrames(), frames);
}

TEST_F(RealPlayer, ReplacedWindowsGoAway) {
    addClip(QStringLiteral("a"), QStringLiteral("320x240"), 2);
    make();
    manager->setupWindows();
    QPointer<QWidget> old = widget(0);
    prefs->setMonitorArrange(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(manager->windowList().size(), 2u);
}

TEST_F(RealPlayer, FramesAreOpaqueInEveryPixel) {
    // Format_RGB32 requires 0xff in the fourth byte; anything else breaks drawing that reads it.
    addClip(QStringLiteral("a"), QStringLiteral("320x240"), 2);
    make();
    manager->setupWindows();
    playAFewFramesThenPause();
    const QImage& frame = renderer().currentFrame();
    ASSERT_EQ(frame.size(), QSize(320, 240));
    int wrong = 0;
    for (int y = 0; y < frame.height(); ++y) {
        const uchar* line = frame.constScanLine(y);
        for (int x = 0; x < frame.width(); ++x)
            wrong += line[4 * x + 3] != 0xff;
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(RealPlayer, MuteThenUnmuteGoesOnPlayingWithSoundFromTheSamePlace) {
    addClip(QStringLiteral("s"), QStringLiteral("160x120"), 6, true);
    make();
    manager->setupWindows();
    auto* player = dynamic_cast<MpvPlayer*>(&manager->player());
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(playertest::waitFor([&] { return player->decodesSound() && player->position() > 0.3; },
                                    15000 * playertest::kSlowdown));

    prefs->setMute(true);
    ASSERT_TRUE(playertest::waitFor([&] { return !player->decodesSound(); }, 3000 * playertest::kSlowdown));
    const double mutedAt = player->position();
    ASSERT_TRUE(playertest::waitFor([&] { return player->position() > mutedAt + 0.5; }, 5000 * playertest::kSlowdown));

    const double unmutedAt = player->position();
    prefs->setMute(false);
    ASSERT_TRUE(playertest::waitFor([&] { return player->decodesSound(); }, 3000 * playertest::kSlowdown));
    // No jump back to the start, and the clock goes on.
    EXPECT_GE(player->position(), unmutedAt - 0.2);
    const double soundAt = player->position();
    EXPECT_TRUE(playertest::waitFor([&] { return player->position() > soundAt + 0.5; }, 5000 * playertest::kSlowdown));
    EXPECT_TRUE(player->decodesSound());
}

TEST_F(RealPlayer, TheForcedRendererDrawsTheFrames) {
    addClip(QStringLiteral("a"), QStringLiteral("320x240"), 2);
    make();
    const QByteArray forced = qgetenv("TAVVEL_RENDERER");
    EXPECT_EQ(renderer().name(), forced.isEmpty() ? QStringLiteral("software") : QString::fromLatin1(forced));
    manager->setupWindows();
    playAFewFramesThenPause();
    EXPECT_GT(litShare(widget(0)->grab().toImage()), 0.5);
}

TEST_F(RealPlayer, RotatedClipsPlayUprightAndFillTheScreensAsFfmpegShowsThem) {
    // A phone's clip, 320x180 as stored; turned by a quarter it is shown 180x320. Alone on the
    // left screen (rendered at the screen's size) and spread over both (enlarged by blocks).
    const QByteArray forced = qgetenv("TAVVEL_RENDERER");
    const bool xcb = QGuiApplication::platformName() == QLatin1String("xcb");
    for (const char* rendererName : {"software", "opengl"}) {
        if (QByteArray(rendererName) == "opengl" && !xcb)
            continue;  // no OpenGL windows on the headless platform
        for (const int rotation : {0, 90, 180, 270}) {
            const QString clip = library.videoPath(QStringLiteral("r%1.mp4").arg(rotation));
            ASSERT_TRUE(playertest::makeQuartersClip(clip, QSize(320, 180), rotation));
            const QImage shown(clip + QStringLiteral(".png"));
            ASSERT_EQ(shown.size(), rotation % 180 ? QSize(180, 320) : QSize(320, 180));
            for (const int arrange : {2, 0}) {
                SCOPED_TRACE(testing::Message()
                             << rendererName << " renderer, rotation " << rotation << ", arrangement " << arrange);
                qputenv("TAVVEL_RENDERER", rendererName);
                TestLibrary one;
                one.addRow(QStringLiteral("r"), TestLibrary::fileUrl(clip));
                one.suite.setInteger(PreferencesKey::monitorArrange, arrange);
                prefs = std::make_unique<Preferences>(one.suite);
                manager = std::make_unique<VideoPlayerManager>(platform(), *prefs, one.db);
                manager->setupWindows();
                EXPECT_EQ(renderer().name(), QLatin1String(rendererName));
                playAFewFramesThenPause();
                // What the screens should show: FFmpeg's upright frame filling the box of them.
                const QList<QRect> screens = arrange == 0 ? platform().screens() : platform().screens().mid(0, 1);
                QRect box;
                for (const QRect& s : screens)
                    box |= s;
                QImage expected(box.size(), QImage::Format_RGB32);
                QPainter painter(&expected);
                painter.setRenderHint(QPainter::SmoothPixmapTransform);
                painter.drawImage(PlayerView::aspectFillRect(shown.size(), box.size()), shown);
                painter.end();
                ASSERT_EQ(manager->windowList().size(), size_t(screens.size()));
                for (qsizetype i = 0; i < screens.size(); ++i)
                    EXPECT_LT(meanDifference(widget(size_t(i))->grab().toImage(),
                                             expected.copy(screens.at(i).translated(-box.topLeft()))),
                              6.0)
                        << "window " << i;
                manager.reset();
                prefs.reset();
            }
        }
    }
    if (forced.isNull())
        qunsetenv("TAVVEL_RENDERER");
    else
        qputenv("TAVVEL_RENDERER", forced);
}

namespace {
// This process's resident memory, in MiB.
double residentMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}
}  // namespace

TEST_F(RealPlayer, SwitchedOffThePlayerGivesBackWhatPlayingTook) {
    addClip(QStringLiteral("a"), QStringLiteral("1920x1080"), 4);
    // Not played yet: the core is made and the windows are placed, switched off.
    prefs = std::make_unique<Preferences>(library.suite);
    prefs->setIsOpenPlayer(false);
    manager = std::make_unique<VideoPlayerManager>(platform(), *prefs, library.db);
    manager->setupWindows();
    manager->player();
    playertest::spin(300);
    const double unplayed = residentMiB();
    prefs->setIsOpenPlayer(true);
    ASSERT_TRUE(playertest::waitFor([&] { return renderer().renderedFrames() >= 10; }, 20000 * playertest::kSlowdown));
    const double playing = residentMiB();
    prefs->setIsOpenPlayer(false);
#if !defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer's allocator keeps freed blocks back and never hands its heap to the
    // system: only the plain build can measure what is given back.
    EXPECT_TRUE(playertest::waitFor([&] { return residentMiB() < unplayed + 50; }, 5000))
        << "not played " << unplayed << " MiB, playing " << playing << " MiB, off " << residentMiB() << " MiB";
#else
    (void)unplayed;
    (void)playing;
#endif
    // Switched on again, it plays from the start.
    const quint64 frames = renderer().renderedFrames();
    prefs->setIsOpenPlayer(true);
    EXPECT_TRUE(
        playertest::waitFor([&] { return renderer().renderedFrames() >= frames + 5; }, 20000 * playertest::kSlowdown));
}

TEST_F(RealPlayer, PicturesAboveFourKAreDecodedOnOneThread) {
    EXPECT_EQ(decoderThreadsFor(QSize(8192, 8192)), 1);
    EXPECT_EQ(decoderThreadsFor(QSize(7680, 4320)), 1);
    EXPECT_EQ(decoderThreadsFor(QSize(3840, 2160)), 0);
    EXPECT_EQ(decoderThreadsFor(QSize(1080, 1920)), 0);
    // A real file above 4K, then a small one: the count holds for its own file only.
    const QString large = library.videoPath(QStringLiteral("large.mp4"));
    ASSERT_TRUE(playertest::runFfmpeg(
        QStringLiteral(
            "-f lavfi -i color=c=navy:s=4608x2592:r=10:d=1 -c:v libx264 -preset ultrafast -pix_fmt yuv420p %1")
            .arg(large)));
    library.addRow(QStringLiteral("large"), TestLibrary::fileUrl(large));
    addClip(QStringLiteral("small"), QStringLiteral("320x240"), 2);
    library.suite.setInteger(PreferencesKey::playModel, 1);
    make();
    manager->setupWindows();
    auto* player = dynamic_cast<MpvPlayer*>(&manager->player());
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(playertest::waitFor([&] { return renderer().renderedFrames() >= 1; }, 20000 * playertest::kSlowdown));
    const QSize first = renderer().currentFrame().size();
    EXPECT_EQ(player->decoderThreads(), first.width() > 1000 ? 1 : 0) << first.width();
    // The list goes on to the other file.
    ASSERT_TRUE(
        playertest::waitFor([&] { return renderer().currentFrame().size() != first; }, 20000 * playertest::kSlowdown));
    EXPECT_EQ(player->decoderThreads(), first.width() > 1000 ? 0 : 1);
}

// A file rewritten in place while it plays (another clip written over it) is loaded again and
// plays on; whatever the decoder says meanwhile, the log stays short.
TEST_F(RealPlayer, AFileRewrittenWhileItPlaysIsLoadedAgainAndTheLogStaysShort) {
    addClip(QStringLiteral("a"), QStringLiteral("320x240"), 4);
    const QString other = library.videoPath(QStringLiteral("other.mp4"));
    ASSERT_TRUE(playertest::makeClip(other, QStringLiteral("176x144"), 4, 25));
    QFile source(other);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray otherBytes = source.readAll();
    bool playsOn = false;
    const QString log = playertest::capturedStdout([&] {
        make();
        manager->setupWindows();
        ASSERT_TRUE(playertest::waitFor([&] { return renderer().renderedFrames() >= 5; }, 15000));
        const quint64 item = manager->player().currentItem();
        QFile file(library.videoPath(QStringLiteral("a.mp4")));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.write(otherBytes);
        file.resize(otherBytes.size());
        file.close();
        ASSERT_TRUE(playertest::waitFor([&] { return manager->player().currentItem() != item; },
                                        10000 * playertest::kSlowdown));
        const quint64 frames = renderer().renderedFrames();
        playsOn = playertest::waitFor([&] { return renderer().renderedFrames() > frames + 5; },
                                      5000 * playertest::kSlowdown);
        manager.reset();
    });
    EXPECT_TRUE(playsOn) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("the file playing changed on disk: a"))) << log.toStdString();
    EXPECT_LT(log.count(QStringLiteral("mpv: ")), 60) << log.toStdString();
    EXPECT_EQ(prefs->playingVideoSign(), QStringLiteral("a"));
}

TEST_F(RealPlayer, EachCoreTakesOneRenderContextAndTheLogNamesEachFilesDecoderOnce) {
    // Counts the render contexts asked for: each start of a core needs one.
    struct CountingRenderer final : SoftwareRenderer {
        bool attach(mpv_handle* mpv) override {
            ++attaches;
            return SoftwareRenderer::attach(mpv);
        }
        int attaches = 0;
    };
    auto owned = std::make_unique<CountingRenderer>();
    CountingRenderer* counting = owned.get();
    MpvPlayer player(std::move(owned));
    EXPECT_EQ(counting->attaches, 1);
    QList<QString> clips;
    for (const char* name : {"first", "second"}) {
        clips.append(library.videoPath(QString::fromLatin1(name) + QStringLiteral(".mp4")));
        ASSERT_TRUE(playertest::makeClip(clips.back(), QStringLiteral("320x240"), 2));
    }
    QSignalSpy started(&player, &MediaPlayer::itemStarted);
    const QString log = playertest::capturedStdout([&] {
        player.play();
        for (const QString& clip : clips) {
            const quint64 item = player.replaceItem(QUrl::fromLocalFile(clip));
            ASSERT_TRUE(playertest::waitFor([&] { return started.contains({item}); }, 15000 * playertest::kSlowdown));
            // A start from the beginning again is no new file.
            started.clear();
            player.seekToZero();
            ASSERT_TRUE(playertest::waitFor([&] { return !started.isEmpty(); }, 15000 * playertest::kSlowdown));
        }
        const quint64 frames = counting->renderedFrames();
        ASSERT_TRUE(playertest::waitFor([&] { return counting->renderedFrames() > frames + 3; }, 15000));
    });
    QStringList decoders;
    for (const QString& line : log.split(u'\n'))
        if (line.contains(QLatin1String("video decoder: ")))
            decoders.append(line.mid(line.indexOf(QLatin1String("video decoder: "))));
    ASSERT_EQ(decoders.size(), 2) << log.toStdString();
    // Without a GPU the automatic choice falls back to decoding in software, and says so.
    const bool gpu = !QDir(QStringLiteral("/dev/dri")).entryList({QStringLiteral("renderD*")}, QDir::System).isEmpty();
    for (const QString& line : decoders)
        EXPECT_TRUE(gpu || line == QLatin1String("video decoder: software (h264)")) << line.toStdString();
    EXPECT_FALSE(log.contains(QLatin1String("render context"))) << log.toStdString();
    // A fresh core (the player switched off) takes one context again.
    player.releaseMemory();
    EXPECT_EQ(counting->attaches, 2);
}
