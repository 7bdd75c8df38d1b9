// The player bar and the now-playing strip over the shared settings file and the real database;
// the other program is played by a second process that writes the same settings.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include "MainWindow/locallibrary/NowPlayingView.h"
#include "MainWindow/locallibrary/PlayerBarView.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"
#include "support/MainWindowTestSupport.h"

namespace {

void addVideo(const QString& sign, const QString& title) {
    VideoDetail video = testsupport::video(sign, title);
    video.url = QStringLiteral("file:///nowhere/") + sign + QStringLiteral(".mp4");
    LocalVideoDBManager::shared().insertVideo(video);
}

}  // namespace

TEST(PlayerBar, FollowsTheSettingsTheOtherProgramWrites) {
    Preferences& settings = Preferences::shared();
    settings.setIsOpenPlayer(false);
    settings.setIsPlaying(false);
    settings.setMute(false);
    settings.setVolume(0.8f);
    settings.setPlayModel(0);
    PlayerBarView bar(settings, LocalVideoDBManager::shared(), nullptr);
    bar.show();
    EXPECT_FALSE(bar.playButton()->isEnabled());
    EXPECT_EQ(bar.volumeSlider()->value(), 800);

    struct Change {
        const char* key;
        const char* value;
        std::function<bool()> shown;
    };
    const Change changes[] = {
        {"IsOpenPlayer", "true",
         [&] { return bar.playButton()->isEnabled() && bar.nowPlayingView()->statusText() == "Playing"; }},
        {"isPlaying", "true", [&] { return bar.playButton()->accessibleName() == "Pause"; }},
        {"Mute", "true", [&] { return bar.muteButton()->accessibleName() == "Unmute"; }},
        {"Volume", "0.25", [&] { return bar.volumeSlider()->value() == 250; }},
        {"PlayModel", "2", [&] { return bar.playModelButton()->currentIndex() == 2; }},
        {"isPlaying", "false", [&] { return bar.playButton()->accessibleName() == "Play"; }},
        {"IsOpenPlayer", "false",
         [&] { return !bar.playButton()->isEnabled() && bar.nowPlayingView()->statusText() == "No Video Played"; }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(std::string(change.key) + "=" + change.value);
        testsupport::setInOtherProcess(QString::fromLatin1(change.key), QString::fromLatin1(change.value));
        QElapsedTimer clock;
        clock.start();
        EXPECT_TRUE(QTest::qWaitFor(change.shown, 2500));
        EXPECT_LT(clock.elapsed(), 2000);  // the re-read runs every second
    }
    // Showing what the other program wrote writes nothing back.
    EXPECT_FLOAT_EQ(settings.volume(), 0.25f);
    EXPECT_TRUE(settings.mute());
}

TEST(PlayerBar, ControlsWriteTheSettings) {
    Preferences& settings = Preferences::shared();
    settings.setIsOpenPlayer(true);
    settings.setMute(false);
    PlayerBarView bar(settings, LocalVideoDBManager::shared(), nullptr);

    bar.volumeSlider()->setValue(5);  // as a drag to the left end does
    EXPECT_FLOAT_EQ(settings.volume(), 0.005f);
    EXPECT_TRUE(settings.mute());
    bar.volumeSlider()->setValue(500);
    EXPECT_FLOAT_EQ(settings.volume(), 0.5f);
    EXPECT_FALSE(settings.mute());

    // The mute button leaves the volume alone; moving the slider switches the sound on again.
    bar.muteButton()->click();
    EXPECT_TRUE(settings.mute());
    EXPECT_FLOAT_EQ(settings.volume(), 0.5f);
    QTest::keyClick(bar.volumeSlider(), Qt::Key_Right);
    EXPECT_FLOAT_EQ(settings.volume(), 0.51f);
    EXPECT_FALSE(settings.mute());

    const bool playing = settings.isPlaying();
    bar.playButton()->click();
    EXPECT_EQ(settings.isPlaying(), !playing);

    // The play mode by keyboard, as the pop-up's arrow keys choose it.
    bar.playModelButton()->setCurrentIndex(0);
    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_Down, 1}, {Qt::Key_Down, 2}, {Qt::Key_Up, 1}};
    for (const auto& [key, mode] : keys) {
        QTest::keyClick(bar.playModelButton(), key);
        EXPECT_EQ(settings.playModel(), mode);
    }

    // Setting a wallpaper writes the open flag only when it was off.
    int openWrites = 0;
    QObject::connect(&settings, &Preferences::isOpenPlayerChanged, &bar, [&] { ++openWrites; });
    PlayerBarView::playVideo(settings, QStringLiteral("s1"));
    EXPECT_EQ(openWrites, 0);
    settings.setIsOpenPlayer(false);
    PlayerBarView::playVideo(settings, QStringLiteral("s2"));
    EXPECT_EQ(settings.playingVideoSign(), QStringLiteral("s2"));
    EXPECT_TRUE(settings.isOpenPlayer());
}

TEST(NowPlaying, ShowsTheTitleOfAKnownSignWhileTheWallpaperIsOn) {
    Preferences& settings = Preferences::shared();
    addVideo(QStringLiteral("sea"), QStringLiteral("Sea at night"));
    addVideo(QStringLiteral("hill"), QStringLiteral("Green hill"));
    settings.setIsOpenPlayer(true);
    settings.setPlayingVideoSign(QStringLiteral("sea"));
    NowPlayingView strip(settings, LocalVideoDBManager::shared());
    std::vector<std::optional<QString>> clicks;
    strip.clickVideoTitleClosure = [&](const std::optional<QString>& sign) { clicks.push_back(sign); };
    auto* title = strip.findChild<QPushButton*>(QStringLiteral("playingFileNameLabel"));
    ASSERT_TRUE(title);

    struct Step {
        const char* name;
        std::function<void()> act;
        QString status;
        QString title;
        QString icon;
    };
    const QString on = QStringLiteral(":/library/playing.svg");
    const QString off = QStringLiteral(":/library/no_playing.svg");
    const Step steps[] = {
        {"open",
         [&] {
             strip.isOpenPlay = true;
             strip.updatePlayingStatus();
         },
         "Playing", "Sea at night", on},
        {"another known sign", [&] { settings.setPlayingVideoSign(QStringLiteral("hill")); }, "Playing", "Green hill",
         on},
        {"an unknown sign keeps the title", [&] { settings.setPlayingVideoSign(QStringLiteral("gone")); }, "Playing",
         "Green hill", on},
        {"redraw with the unknown sign", [&] { strip.updatePlayingStatus(); }, "Playing", "Green hill", on},
        {"closed",
         [&] {
             strip.isOpenPlay = false;
             strip.updatePlayingStatus();
         },
         "No Video Played", "", off},
        {"a sign while the flag is off",
         [&] {
             settings.setIsOpenPlayer(false);
             settings.setPlayingVideoSign(QStringLiteral("sea"));
         },
         "No Video Played", "", off},
        {"open again",
         [&] {
             settings.setIsOpenPlayer(true);
             strip.isOpenPlay = true;
             strip.updatePlayingStatus();
         },
         "Playing", "Sea at night", on},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_EQ(strip.statusText(), step.status);
        EXPECT_EQ(strip.titleText(), step.title);
        EXPECT_EQ(strip.iconResource(), step.icon);
    }
    EXPECT_TRUE(strip.isIconAnimated());

    // A click hands over the sign of that moment, possibly none; an empty title calls nothing.
    title->click();
    settings.setPlayingVideoSign(std::nullopt);
    title->click();
    strip.isOpenPlay = false;
    strip.updatePlayingStatus();
    title->click();
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[0], QStringLiteral("sea"));
    EXPECT_EQ(clicks[1], std::nullopt);
}
