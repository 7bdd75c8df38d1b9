#pragma once
#include <QWidget>
#include <vector>

#include "shared/Disposable.h"

class LocalVideoDBManager;
class NowPlayingView;
class PlayerStatus;
class Preferences;
class QComboBox;
class QSlider;
class QToolButton;

// The bar at the bottom of the library screen: the now-playing strip, play/pause, mute, the
// volume and the play mode. The controls write the shared settings, which the desktop player
// re-reads, and follow the settings however they change (here, or in the desktop player's menu).
class PlayerBarView : public QWidget {
    Q_OBJECT
public:
    // The settings (which must outlive the bar) drive a strip placed elsewhere, or with
    // `nowPlaying` null one the bar makes over `database` and shows itself.
    PlayerBarView(Preferences& preferences, LocalVideoDBManager& database, NowPlayingView* nowPlaying,
                  QWidget* parent = nullptr);

    // Steps of the volume slider: fine enough for 0.005.
    static constexpr int volumeSteps = 1000;

    NowPlayingView* nowPlayingView() const { return nowPlayingView_; }
    QToolButton* playButton() const { return playButton_; }
    QToolButton* muteButton() const { return muteButton_; }
    QSlider* volumeSlider() const { return volumeSlider_; }
    QComboBox* playModelButton() const { return playModelButton_; }

    // Follows the desktop player's state: a stopped player has no pause to offer. The status
    // must outlive the bar.
    void setPlayerStatus(PlayerStatus* status);

    // Makes the video with this sign the wallpaper, switching the wallpaper on when it was off.
    static void playVideo(Preferences& preferences, const QString& sign);

private:
    void bindSettings();
    void showPlaying(bool playing);
    void showMute(bool mute);
    void showOpenPlayer(bool open);
    void showVolume(float volume);
    void showPlayModel(qint64 mode);
    void volumeSliderAction(int value);

    Preferences& preferences_;
    PlayerStatus* playerStatus_ = nullptr;
    NowPlayingView* nowPlayingView_;
    QToolButton* playButton_;
    QToolButton* muteButton_;
    QSlider* volumeSlider_;
    QComboBox* playModelButton_;
    std::vector<DisposablePtr> observeDispose_;
};
