#include "MainWindow/locallibrary/NowPlayingView.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QSvgRenderer>
#include <QSvgWidget>
#include <QTimer>

#include "MainWindow/startup/PlayerStatus.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"
#include "shared/StyledText.h"
#include "views/ButtonWithLinkTitle.h"
#include "shared/PlainText.h"
#include "shared/TextHelpers.h"

NowPlayingView::NowPlayingView(Preferences& preferences, LocalVideoDBManager& database, QWidget* parent)
    : QWidget(parent),
      preferences_(preferences),
      database_(database),
      statusIcon_(new QSvgWidget(this)),
      statusLabel_(new QLabel(this)),
      playingFileNameLabel_(new ButtonWithLinkTitle(QString(), this)),
      problemLabel_(new QLabel(this)) {
    setObjectName(QStringLiteral("nowPlayingView"));
    statusIcon_->setObjectName(QStringLiteral("statusIcon"));
    statusIcon_->setFixedSize(20, 20);
    statusIcon_->setAttribute(Qt::WA_TranslucentBackground);  // stands on the strip's own background
    statusLabel_->setObjectName(QStringLiteral("statusLabel"));
    playingFileNameLabel_->setObjectName(QStringLiteral("playingFileNameLabel"));
    playingFileNameLabel_->setFlat(true);
    playingFileNameLabel_->setAccessibleName(tr("Playing video"));
    QFont titleFont = playingFileNameLabel_->font();
    titleFont.setPixelSize(13);
    playingFileNameLabel_->setFont(titleFont);
    QPalette palette = playingFileNameLabel_->palette();
    palette.setColor(QPalette::ButtonText, blueNormalColor());
    playingFileNameLabel_->setPalette(palette);
    connect(playingFileNameLabel_, &QPushButton::clicked, this, &NowPlayingView::clickVideoTitle);
    problemLabel_->setObjectName(QStringLiteral("playerProblemLabel"));
    problemLabel_->setTextFormat(Qt::PlainText);  // names of files and texts of the player
    problemLabel_->setAccessibleName(tr("Video wallpaper problem"));
    problemLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    problemLabel_->setFocusPolicy(Qt::TabFocus);  // screen readers reach it by the keyboard too
    problemLabel_->hide();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 0, 8, 0);
    layout->setSpacing(6);
    layout->addWidget(statusIcon_);
    layout->addWidget(statusLabel_);
    layout->addWidget(playingFileNameLabel_);
    layout->addWidget(problemLabel_, 1);
    layout->addStretch(0);

    observeDispose_ = observe(&preferences_, &Preferences::playingVideoSignChanged, this,
                              [this](const std::optional<QString>& sign) { playingSignChanged(sign); });
    updatePlayingStatus();
}

void NowPlayingView::setPlayerStatus(PlayerStatus* status) {
    if (playerStatus_)
        disconnect(playerStatus_, nullptr, this, nullptr);
    playerStatus_ = status;
    if (status)
        connect(status, &PlayerStatus::changed, this, [this] {
            updatePlayingStatus();
            showProblem();
        });
    updatePlayingStatus();
    showProblem();
}

bool NowPlayingView::isPlayerStopped() const {
    return playerStatus_ && playerStatus_->state() == PlayerStatus::State::Stopped;
}

void NowPlayingView::showProblem() {
    problemText_ = playerStatus_ ? playerStatus_->problem() : QString();
    problemLabel_->setVisible(!problemText_.isEmpty());
    problemLabel_->setToolTip(plainToolTip(problemText_));
    problemLabel_->setAccessibleDescription(problemText_);
    problemLabel_->setText(
        problemLabel_->fontMetrics().elidedText(problemText_, Qt::ElideRight, qMax(0, problemLabel_->width())));
}

void NowPlayingView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    showProblem();  // shortened to the room there is now
}

void NowPlayingView::updatePlayingStatus() {
    // A player that is gone shows nothing, whatever the switch says.
    if (isOpenPlay && !isPlayerStopped()) {
        loadIcon(playingImage);
        statusLabel_->setText(tr("Playing"));
        if (const std::optional<QString> sign = preferences_.playingVideoSign())
            showTitleOfSign(*sign);
    } else {
        loadIcon(noPlayingImage);
        statusLabel_->setText(tr("No Video Played"));
        setTitle(QString());
    }
}

void NowPlayingView::playingSignChanged(const std::optional<QString>& sign) {
    if (!sign || !preferences_.isOpenPlayer())
        return;
    showTitleOfSign(*sign);
}

void NowPlayingView::showTitleOfSign(const QString& sign) {
    // Never waits on the window's thread: while the other program holds the database the title
    // is looked up again a little later, as long as this sign is still the one playing.
    const std::optional<std::optional<VideoDetail>> found = database_.readVideoWithSign(sign, false);
    if (!found) {
        QTimer::singleShot(kLookUpAgainMs, this, [this, sign] {
            if (preferences_.isOpenPlayer() && preferences_.playingVideoSign() == sign)
                showTitleOfSign(sign);
        });
        return;
    }
    // An unknown sign leaves the title that is shown.
    if (*found)
        setTitle(shownText((*found)->title));
}

void NowPlayingView::setTitle(const QString& title) {
    title_ = title;
    playingFileNameLabel_->setText(literalAmpersands(title));
    playingFileNameLabel_->setVisible(!title.isEmpty());
    playingFileNameLabel_->setToolTip(plainToolTip(title));
    // The fixed name says what the button is; screen readers hear the title change here.
    playingFileNameLabel_->setAccessibleDescription(title);
}

void NowPlayingView::loadIcon(const QString& resource) {
    if (!QFile::exists(resource))
        return;
    if (resource != iconResource_)
        statusIcon_->load(resource);
    iconResource_ = resource;
}

bool NowPlayingView::isIconAnimated() const {
    return statusIcon_->renderer()->animated();
}

QString NowPlayingView::statusText() const {
    return statusLabel_->text();
}

QString NowPlayingView::titleText() const {
    return title_;
}

void NowPlayingView::clickVideoTitle() {
    if (title_.isEmpty() || !clickVideoTitleClosure)
        return;
    clickVideoTitleClosure(preferences_.playingVideoSign());
}
