#include "MainWindow/locallibrary/PlayerBarView.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <cmath>

#include "MainWindow/locallibrary/NowPlayingView.h"
#include "MainWindow/startup/PlayerStatus.h"
#include "shared/Preferences.h"

namespace {
QToolButton* makeButton(QWidget* parent, const QString& name) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setIconSize(QSize(22, 22));
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}
}  // namespace

PlayerBarView::PlayerBarView(Preferences& preferences, LocalVideoDBManager& database, NowPlayingView* nowPlaying,
                             QWidget* parent)
    : QWidget(parent),
      preferences_(preferences),
      nowPlayingView_(nowPlaying ? nowPlaying : new NowPlayingView(preferences, database, this)),
      playButton_(makeButton(this, QStringLiteral("playButton"))),
      muteButton_(makeButton(this, QStringLiteral("muteButton"))),
      volumeSlider_(new QSlider(Qt::Horizontal, this)),
      playModelButton_(new QComboBox(this)) {
    setObjectName(QStringLiteral("playerBar"));
    volumeSlider_->setObjectName(QStringLiteral("volumeSlider"));
    volumeSlider_->setAccessibleName(tr("Volume"));
    volumeSlider_->setRange(0, volumeSteps);
    volumeSlider_->setSingleStep(volumeSteps / 100);
    volumeSlider_->setPageStep(volumeSteps / 10);
    volumeSlider_->setTracking(true);  // writes while it is dragged
    volumeSlider_->setFixedWidth(110);
    playModelButton_->setObjectName(QStringLiteral("playModelButton"));
    playModelButton_->setAccessibleName(tr("Play mode"));
    // In the order of the stored values 0, 1, 2.
    playModelButton_->addItems({tr("Single Loop"), tr("List Loop"), tr("Random")});

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 4, 12, 4);
    layout->setSpacing(6);
    if (!nowPlaying)
        layout->addWidget(nowPlayingView_, 1);  // a strip of its own; a given one stays where it is
    else
        layout->addStretch(1);
    layout->addWidget(playButton_);
    layout->addWidget(muteButton_);
    layout->addWidget(volumeSlider_);
    layout->addWidget(playModelButton_);

    connect(playButton_, &QToolButton::clicked, this, [this] { preferences_.setIsPlaying(!preferences_.isPlaying()); });
    connect(muteButton_, &QToolButton::clicked, this, [this] { preferences_.setMute(!preferences_.mute()); });
    connect(volumeSlider_, &QSlider::valueChanged, this, &PlayerBarView::volumeSliderAction);
    connect(playModelButton_, &QComboBox::activated, this, [this](int index) { preferences_.setPlayModel(index); });
    bindSettings();
}

void PlayerBarView::bindSettings() {
    // New values only: the initial states below are read once.
    observeDispose_.push_back(observe(&preferences_, &Preferences::muteChanged, this, [this](bool v) { showMute(v); }));
    observeDispose_.push_back(
        observe(&preferences_, &Preferences::isPlayingChanged, this, [this](bool v) { showPlaying(v); }));
    observeDispose_.push_back(
        observe(&preferences_, &Preferences::isOpenPlayerChanged, this, [this](bool v) { showOpenPlayer(v); }));
    // The volume and the mode follow too, so a change from the desktop player's menu shows here.
    observeDispose_.push_back(
        observe(&preferences_, &Preferences::volumeChanged, this, [this](float v) { showVolume(v); }));
    observeDispose_.push_back(
        observe(&preferences_, &Preferences::playModelChanged, this, [this](qint64 v) { showPlayModel(v); }));

    showVolume(preferences_.volume());
    showPlayModel(preferences_.playModel());
    showPlaying(preferences_.isPlaying());
    showMute(preferences_.mute());
    showOpenPlayer(preferences_.isOpenPlayer());
}

void PlayerBarView::showPlaying(bool playing) {
    playButton_->setIcon(
        QIcon(playing ? QStringLiteral(":/library/pause_normal.svg") : QStringLiteral(":/library/play_normal.svg")));
    playButton_->setAccessibleName(playing ? tr("Pause") : tr("Play"));
    playButton_->setToolTip(playButton_->accessibleName());
}

void PlayerBarView::showMute(bool mute) {
    muteButton_->setIcon(QIcon(mute ? QStringLiteral(":/library/tray_mute_normal.svg")
                                    : QStringLiteral(":/library/tray_voice_normal.svg")));
    muteButton_->setAccessibleName(mute ? tr("Unmute") : tr("Mute"));
    muteButton_->setToolTip(muteButton_->accessibleName());
}

void PlayerBarView::setPlayerStatus(PlayerStatus* status) {
    if (playerStatus_)
        disconnect(playerStatus_, nullptr, this, nullptr);
    playerStatus_ = status;
    nowPlayingView_->setPlayerStatus(status);
    if (status)
        connect(status, &PlayerStatus::changed, this, [this] { showOpenPlayer(preferences_.isOpenPlayer()); });
    showOpenPlayer(preferences_.isOpenPlayer());
}

void PlayerBarView::showOpenPlayer(bool open) {
    nowPlayingView_->isOpenPlay = open;
    nowPlayingView_->updatePlayingStatus();
    playButton_->setEnabled(open && !nowPlayingView_->isPlayerStopped());
}

void PlayerBarView::showVolume(float volume) {
    const QSignalBlocker quiet(volumeSlider_);  // showing a value writes nothing back
    volumeSlider_->setValue(int(std::lround(double(volume) * volumeSteps)));
}

void PlayerBarView::showPlayModel(qint64 mode) {
    playModelButton_->setCurrentIndex(int(std::clamp<qint64>(mode, 0, playModelButton_->count() - 1)));
}

void PlayerBarView::volumeSliderAction(int value) {
    const float volume = float(value) / float(volumeSteps);
    preferences_.setVolume(volume);
    preferences_.setMute(volume < 0.01f);
}

void PlayerBarView::playVideo(Preferences& preferences, const QString& sign) {
    preferences.setPlayingVideoSign(sign);
    if (!preferences.isOpenPlayer())
        preferences.setIsOpenPlayer(true);
}
