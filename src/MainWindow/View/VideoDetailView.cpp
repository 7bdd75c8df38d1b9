#include "MainWindow/View/VideoDetailView.h"

#include "MainWindow/Controller/WebAddress.h"
#include "MainWindow/Controller/LibraryNotices.h"
#include "MainWindow/View/ImageAspectFillView.h"
#include "MainWindow/View/LibraryImages.h"
#include "platform/NotificationCenter.h"
#include "service/DownloadManager.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/StyledText.h"
#include "shared/TextHelpers.h"
#include "views/ButtonWithHoverBackGround.h"

#include <QFormLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QColor systemColor(SystemColor color, const QPalette& palette) {
    switch (color) {
    case SystemColor::Blue: return QColor(0, 122, 255);
    case SystemColor::Red: return QColor(255, 59, 48);
    case SystemColor::Label: break;
    }
    return palette.color(QPalette::WindowText);
}

// Shows a styled text in a label: its colour, size, underline and alignment.
void showStyled(QLabel* label, const StyledText& styled) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, styled.color ? systemColor(*styled.color, palette)
                                                        : label->parentWidget()->palette().color(QPalette::WindowText));
    label->setPalette(palette);
    QFont font = label->font();
    if (styled.pointSize)
        font.setPixelSize(qRound(*styled.pointSize));
    font.setUnderline(styled.underline);
    label->setFont(font);
    if (styled.alignment)
        label->setAlignment(*styled.alignment);
    label->setText(styled.text);
}

// The avatar is round.
QPixmap circular(const QPixmap& source) {
    if (source.isNull())
        return source;
    QPixmap out(source.size());
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addEllipse(out.rect());
    p.setClipPath(clip);
    p.drawPixmap(0, 0, source);
    return out;
}

QLabel* valueLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

constexpr QSize kCoverSize(280, 158);
constexpr int kAvatarSize = 40;
}  // namespace

VideoDetailView::VideoDetailView(QWidget* parent, DownloadManager* queue) : QWidget(parent), queue_(queue) {
    setObjectName(QStringLiteral("videoDetailView"));
    previewView = new ImageAspectFillView(this);
    previewView->setObjectName(QStringLiteral("previewView"));
    previewView->setFixedSize(kCoverSize);
    previewView->setAccessibleName(localizedString("Cover", "detail pane cover"));

    userAvatar = new QPushButton(this);
    userAvatar->setObjectName(QStringLiteral("userAvatar"));
    userAvatar->setFlat(true);
    userAvatar->setFixedSize(kAvatarSize, kAvatarSize);
    userAvatar->setIconSize(QSize(kAvatarSize, kAvatarSize));
    userAvatar->setAccessibleName(localizedString("Author", "detail pane avatar"));
    userAvatar->setCursor(Qt::PointingHandCursor);
    connect(userAvatar, &QPushButton::clicked, this, &VideoDetailView::clickUserAvatar);

    userName = new QPushButton(this);
    userName->setObjectName(QStringLiteral("userName"));
    userName->setFlat(true);
    userName->setCursor(Qt::PointingHandCursor);
    QFont linkFont = userName->font();
    linkFont.setUnderline(true);
    linkFont.setPixelSize(13);
    userName->setFont(linkFont);
    QPalette linkPalette = userName->palette();
    linkPalette.setColor(QPalette::ButtonText, systemColor(SystemColor::Blue, linkPalette));
    userName->setPalette(linkPalette);
    userName->setStyleSheet(QStringLiteral("text-align: left; border: none; padding: 0;"));
    connect(userName, &QPushButton::clicked, this, &VideoDetailView::clickUserAvatar);
    userVideCount = valueLabel("userVideCount", this);

    previewPlayerButton = new QPushButton(localizedString("Preview", "Preview Video"), this);
    previewPlayerButton->setObjectName(QStringLiteral("previewPlayerButton"));
    connect(previewPlayerButton, &QPushButton::clicked, this, &VideoDetailView::clickPreviewButton);

    downloadButton = new ButtonWithHoverBackGround(this);
    downloadButton->setObjectName(QStringLiteral("downloadButton"));
    downloadButton->setMinimumHeight(34);
    connect(downloadButton, &QPushButton::clicked, this, &VideoDetailView::downloadOrSetBackGround);

    titleLabel = valueLabel("titleLabel", this);
    titleLabel->setWordWrap(true);
    QFont titleFont = titleLabel->font();
    titleFont.setPixelSize(15);
    titleFont.setBold(true);
    titleLabel->setFont(titleFont);
    downloadLabel = valueLabel("downloadLabel", this);
    sizeLabel = valueLabel("sizeLabel", this);
    durationLabel = valueLabel("durationLabel", this);
    dimensionsLabel = valueLabel("dimensionsLabel", this);
    audioLabel = valueLabel("audioLabel", this);
    requirementLabel = valueLabel("requirementLabel", this);

    auto* author = new QHBoxLayout;
    author->addWidget(userAvatar);
    auto* names = new QVBoxLayout;
    names->setSpacing(0);
    names->addWidget(userName, 0, Qt::AlignLeft);
    auto* uploads = new QHBoxLayout;
    uploads->addWidget(new QLabel(localizedString("Uploads:", "author's upload count"), this));
    uploads->addWidget(userVideCount);
    uploads->addStretch();
    names->addLayout(uploads);
    author->addLayout(names, 1);

    auto* facts = new QFormLayout;
    facts->setLabelAlignment(Qt::AlignLeft);
    auto addFact = [&](const char* caption, QLabel* value) {
        auto* captionLabel = new QLabel(localizedString(caption, "detail pane caption"), this);
        captionLabel->setBuddy(value);
        value->setAccessibleName(captionLabel->text());
        facts->addRow(captionLabel, value);
    };
    addFact("Downloads", downloadLabel);
    addFact("Size", sizeLabel);
    addFact("Duration", durationLabel);
    addFact("Dimensions", dimensionsLabel);
    addFact("Audio", audioLabel);
    addFact("Requirement", requirementLabel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(previewView, 0, Qt::AlignHCenter);
    layout->addWidget(titleLabel);
    layout->addLayout(author);
    layout->addLayout(facts);
    layout->addStretch();
    layout->addWidget(previewPlayerButton);
    layout->addWidget(downloadButton);
    setFixedWidth(kCoverSize.width() + 24);

    setAction(Action::setAsWallpaper);
    // A stored or removed download changes what the shown video offers.
    connect(&this->queue(), &DownloadManager::downloadAdded, this, [this] { refreshAction(); });
    connect(&this->queue(), &DownloadManager::downloadRemoved, this, [this] { refreshAction(); });
    rightClickObservation_ = platform::NotificationCenter::defaultCenter().addObserver(
        librarynotices::rightClickNotification, this, [this](const QVariantMap& userInfo) {
            if (const auto video = librarynotices::videoOf(userInfo))
                rightClickToDownload(*video);
        });
    reloadDetail();
}

VideoDetailView::~VideoDetailView() = default;

DownloadManager& VideoDetailView::queue() const {
    return queue_ ? *queue_ : DownloadManager::shared();
}

void VideoDetailView::setVideoDetail(const std::optional<VideoDetail>& video) {
    videoDetail_ = video;
    reloadDetail();
}

void VideoDetailView::setDelegate(VideoDetailViewDelegate* delegate) {
    delegate_ = delegate;
    if (!delegate)
        return;
    const QPointer<VideoDetailView> self(this);
    delegate->videoDetailDidChanged() = ([self](const std::optional<VideoDetail>& video) {
        if (self)
            self->setVideoDetail(video);
    });
}

QString VideoDetailView::actionTitle(Action action) {
    switch (action) {
    case Action::download: return localizedString("Download", "To download video");
    case Action::downloading: return localizedString("Downloading", "Downloading video");
    case Action::setAsWallpaper: break;
    }
    return localizedString("Set as Wallpaper", "Button title");
}

void VideoDetailView::setAction(Action action) {
    action_ = action;
    downloadButton->setText(actionTitle(action));
    downloadButton->setTitleColor(Qt::white);
    if (action == Action::setAsWallpaper) {
        downloadButton->setNormalColor(blueNormalColor());
        downloadButton->setHoverColor(blueHoverColor());
        downloadButton->setPressedColor(bluePressedColor());
    } else {
        downloadButton->setNormalColor(greenNormalColor());
        downloadButton->setHoverColor(greenHoverColor());
        downloadButton->setPressedColor(greenPressedColor());
    }
}

VideoDetailView::Action VideoDetailView::currentAction() const {
    if (!videoDetail_)
        return action_;
    if (LocalVideoDBManager::shared().videoWithSign(videoDetail_->sign))
        return Action::setAsWallpaper;
    if (queue().isDownloading(videoDetail_->sign))
        return Action::downloading;
    return Action::download;
}

void VideoDetailView::refreshAction() {
    if (videoDetail_)
        setAction(currentAction());
}

std::optional<QUrl> VideoDetailView::coverUrl() const {
    if (!videoDetail_)
        return std::nullopt;
    return coverAddress(videoDetail_->imgurl, videoDetail_->url);
}

std::optional<QUrl> VideoDetailView::avatarUrl() const {
    return videoDetail_ ? webAddress(videoDetail_->avatar) : std::nullopt;
}

void VideoDetailView::reloadDetail() {
    previewView->setImage(QImage());  // the placeholder
    userAvatar->setIcon(
        QIcon(QPixmap::fromImage(libraryImage(QStringLiteral("default_avatar"), userAvatar->iconSize() * 2))));
    images().cancel(coverTicket_);
    images().cancel(avatarTicket_);
    if (!videoDetail_) {
        userAvatar->setEnabled(false);
        userName->setText(QString());
        userName->setEnabled(false);
        for (QLabel* label :
             {titleLabel, downloadLabel, sizeLabel, durationLabel, dimensionsLabel, audioLabel, requirementLabel})
            label->clear();
        userVideCount->setText(QStringLiteral("0"));
        previewPlayerButton->hide();
        downloadButton->setEnabled(false);  // keeps its title
        return;
    }
    const VideoDetail& video = *videoDetail_;
    userAvatar->setEnabled(true);
    userName->setEnabled(true);
    previewPlayerButton->setHidden(video.preurl.isEmpty());
    downloadButton->setEnabled(true);
    setAction(currentAction());

    loadPictures();

    userName->setText(video.author);
    userName->setAccessibleName(localizedString("Videos by %1", "search by author").arg(video.author));
    userVideCount->setText(QString::number(video.upcount));
    titleLabel->setText(shownText(video.title));
    downloadLabel->setText(QString::number(video.down));
    sizeLabel->setText(formatByteSize(video.size));
    durationLabel->setText(formatDuration(video.time / 1000));
    dimensionsLabel->setText(QString::number(video.width) + QChar(0x00D7) + QString::number(video.height) +
                             QLatin1Char('(') + video.ratio + QLatin1Char(')'));
    audioLabel->setText(video.audio == 1 ? localizedString("YES", "has audio") : localizedString("NO", "has no audio"));
    showStyled(requirementLabel, video.performanceDescription());
}

void VideoDetailView::loadPictures() {
    // A cancelled ticket never answers, so a picture of a video shown before never arrives.
    const QPointer<VideoDetailView> self(this);
    if (const auto url = coverUrl())
        coverTicket_ = images().load(*url, kCoverSize, [self](const QImage& image) {
            if (self && !image.isNull())
                self->previewView->setImage(image);
        });
    if (const auto url = avatarUrl())
        avatarTicket_ = images().load(*url, QSize(kAvatarSize, kAvatarSize), [self](const QImage& image) {
            if (self && !image.isNull())
                self->userAvatar->setIcon(QIcon(circular(QPixmap::fromImage(image))));
        });
}

void VideoDetailView::clickUserAvatar() {
    if (delegate_ && videoDetail_)
        delegate_->authorClicked(videoDetail_->author);
}

void VideoDetailView::clickPreviewButton() {
    const auto url = webAddress(videoDetail_ ? videoDetail_->preurl : QString());
    if (url && showPreview)
        showPreview(*url);
}

void VideoDetailView::downloadOrSetBackGround() {
    if (!videoDetail_)
        return;
    // What the button offers is checked again: the queue or the library may have changed.
    switch (action_) {
    case Action::downloading:
        if (delegate_)
            delegate_->showDownloadList();
        return;
    case Action::download: {
        const Action now = currentAction();
        if (now != Action::download) {
            setAction(now);
            if (now == Action::downloading && delegate_)
                delegate_->showDownloadList();
            return;
        }
        setAction(Action::downloading);
        if (delegate_)
            delegate_->downloadVideo(*videoDetail_);
        return;
    }
    case Action::setAsWallpaper:
        if (delegate_)
            delegate_->setAsWallpaper(videoDetail_->sign);
        return;
    }
}

void VideoDetailView::rightClickToDownload(const VideoDetail& video) {
    if (queue().isDownloading(video.sign)) {
        if (delegate_)
            delegate_->showDownloadList();
        return;
    }
    if (LocalVideoDBManager::shared().videoWithSign(video.sign)) {
        refreshAction();  // already in the library: nothing to download
        return;
    }
    // Queues the right-clicked video; the button changes only when the pane shows it.
    if (videoDetail_ && videoDetail_->sign == video.sign)
        setAction(Action::downloading);
    if (delegate_)
        delegate_->downloadVideo(video);
}
