#include "MainWindow/detailpane/VideoDetailView.h"

#include "MainWindow/library/ImageAspectFillView.h"
#include "MainWindow/library/LibraryImages.h"
#include "shared/StyledText.h"
#include "shared/TextHelpers.h"
#include "views/ButtonWithHoverBackGround.h"
#include "shared/PlainText.h"

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
    // Resolved against the pane's palette: the label's own holds the colour of the last text.
    const QPalette base = label->parentWidget()->palette();
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText,
                     styled.color ? systemColor(*styled.color, base) : base.color(QPalette::WindowText));
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
    label->setTextFormat(Qt::PlainText);  // titles and names come from the service
    return label;
}

constexpr QSize kCoverSize(280, 158);
constexpr int kAvatarSize = 40;
}  // namespace

VideoDetailView::VideoDetailView(const MainParts& parts, QWidget* parent)
    : QWidget(parent), model_(new VideoDetailModel(parts, this)), images_(parts.images()) {
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

    showAction(model_->action());
    connect(model_, &VideoDetailModel::actionChanged, this, &VideoDetailView::showAction);
    connect(model_, &VideoDetailModel::videoChanged, this, &VideoDetailView::redraw);
    redraw();
}

VideoDetailView::~VideoDetailView() = default;

void VideoDetailView::showAction(Action action) {
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

void VideoDetailView::reloadDetail() {
    model_->refreshAction();
    redraw();
}

void VideoDetailView::redraw() {
    previewView->setImage(QImage());  // the placeholder
    userAvatar->setIcon(
        QIcon(QPixmap::fromImage(libraryImage(QStringLiteral("default_avatar"), userAvatar->iconSize() * 2))));
    images().cancel(coverTicket_);
    images().cancel(avatarTicket_);
    const VideoDetailModel::Texts texts = VideoDetailModel::textsOf(model_->video());
    titleLabel->setText(texts.title);
    userName->setText(literalAmpersands(texts.author));
    userVideCount->setText(texts.uploads);
    downloadLabel->setText(texts.downloads);
    sizeLabel->setText(texts.size);
    durationLabel->setText(texts.duration);
    dimensionsLabel->setText(texts.dimensions);
    audioLabel->setText(texts.audio);
    const std::optional<VideoDetail>& video = model_->video();
    userAvatar->setEnabled(video.has_value());
    userName->setEnabled(video.has_value());
    // Without a video the pane has nothing to offer: a coloured button that does nothing would
    // still read as "Download" or "Set as Wallpaper".
    downloadButton->setEnabled(video.has_value());
    downloadButton->setHidden(!video);
    if (!video) {
        requirementLabel->clear();
        previewPlayerButton->hide();
        return;
    }
    previewPlayerButton->setHidden(video->preurl.isEmpty());
    showAction(model_->action());
    loadPictures();
    userName->setAccessibleName(texts.authorAccessibleName);
    showStyled(requirementLabel, texts.requirement);
}

void VideoDetailView::loadPictures() {
    // A cancelled ticket never answers, so a picture of a video shown before never arrives.
    const QPointer<VideoDetailView> self(this);
    if (const auto url = model_->coverUrl())
        coverTicket_ = images().load(*url, kCoverSize, [self](const QImage& image) {
            if (self && !image.isNull())
                self->previewView->setImage(image);
        });
    if (const auto url = model_->avatarUrl())
        avatarTicket_ = images().load(*url, QSize(kAvatarSize, kAvatarSize), [self](const QImage& image) {
            if (self && !image.isNull())
                self->userAvatar->setIcon(QIcon(circular(QPixmap::fromImage(image))));
        });
}

void VideoDetailView::clickPreviewButton() {
    const auto url = model_->previewUrl();
    if (url && showPreview)
        showPreview(*url);
}
