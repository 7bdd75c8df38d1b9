#include "MainWindow/downloads/DownloadItemCell.h"

#include "MainWindow/library/WebAddress.h"
#include "MainWindow/library/ImageLoader.h"
#include "MainWindow/library/ImageAspectFillView.h"
#include "MainWindow/library/LibraryImages.h"
#include "service/DownloadManager.h"
#include "shared/TextHelpers.h"
#include "views/ClickableImageView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {
QString text(const char* key) {
    return localizedString(key, "download state");
}

QPixmap iconNamed(const QString& name) {
    return QPixmap::fromImage(libraryImage(name, QSize(48, 48)))
        .scaled(24, 24, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}
}  // namespace

QString DownloadItemCell::failureText(DownloadFailure failure) {
    switch (failure) {
    case DownloadFailure::refused: return text("Invalid Address");
    case DownloadFailure::disk: return text("Cannot Save the File");
    case DownloadFailure::tooLarge: return text("Server Sent More Than Expected");
    case DownloadFailure::verification: return text("Damaged File");
    case DownloadFailure::network: break;
    }
    return text("Network Error");
}

int DownloadItemCell::percentOf(qint64 downloaded, qint64 total) {
    if (total <= 0 || downloaded <= 0)
        return 0;
    const double share = double(downloaded) / double(total) * 100.0;
    return std::clamp(int(std::floor(share)), 0, 100);
}

QString DownloadItemCell::sizeText(qint64 downloaded, qint64 total) {
    return formatByteSize(std::max<qint64>(downloaded, 0)) + QLatin1Char('/') +
           formatByteSize(std::max<qint64>(total, 0));
}

DownloadItemCell::Presentation DownloadItemCell::present(const DownloadItem& item) {
    Presentation p;
    p.title = item.videoInfo.title;
    switch (item.status) {
    case ItemStatus::wait:
        p.icon = Presentation::Icon::pause;
        p.statusText = text("Waiting");
        break;
    case ItemStatus::downloading:
        p.icon = Presentation::Icon::pause;
        p.statusText = text("Downloading...");
        break;
    case ItemStatus::pause:
        p.icon = Presentation::Icon::resume;
        p.statusText = text("Pause");
        break;
    case ItemStatus::error:
        p.icon = Presentation::Icon::resume;
        p.statusText = failureText(item.failure);
        p.statusIsError = true;
        break;
    case ItemStatus::finish: break;
    }
    p.percent = percentOf(item.downloadedSize, item.videoInfo.size);
    p.sizeText = sizeText(item.downloadedSize, item.videoInfo.size);
    return p;
}

DownloadItemCell::DownloadItemCell(const std::shared_ptr<DownloadItem>& item, DownloadManager& queue,
                                   ImageLoader& images, QWidget* parent)
    : QWidget(parent), item_(item), queue_(queue) {
    setObjectName(QStringLiteral("downloadItemCell"));
    imageView = new ImageAspectFillView(this);
    imageView->setObjectName(QStringLiteral("downloadThumbnail"));
    imageView->setFixedSize(96, 54);
    // Only a web address of the service is fetched; a failed load leaves the placeholder.
    if (const auto url = webAddress(item->videoInfo.imgurl)) {
        const QPointer<ImageAspectFillView> target(imageView);
        images.load(*url, imageView->size(), [target](const QImage& image) {
            if (target && !image.isNull())
                target->setImage(image);
        });
    }
    title = new QLabel(this);
    title->setObjectName(QStringLiteral("downloadTitle"));
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("downloadStatus"));
    // Titles come from the service: shown as text, never as markup.
    for (QLabel* label : {title, status})
        label->setTextFormat(Qt::PlainText);
    progressIndicator = new QProgressBar(this);
    progressIndicator->setObjectName(QStringLiteral("downloadProgress"));
    progressIndicator->setRange(0, 100);
    progressIndicator->setTextVisible(false);
    progressIndicator->setFixedHeight(6);
    progressIndicator->setAccessibleName(localizedString("Download progress", "download progress bar"));
    percent = new QLabel(this);
    percent->setObjectName(QStringLiteral("downloadSizes"));
    percent->setTextFormat(Qt::PlainText);
    downloadImageView = new ClickableImageView(this);
    downloadImageView->setObjectName(QStringLiteral("downloadToggle"));
    deleteImageView = new ClickableImageView(this);
    deleteImageView->setObjectName(QStringLiteral("downloadDelete"));
    deleteImageView->setAccessibleName(localizedString("Delete", "delete a download"));
    for (ClickableImageView* icon : {downloadImageView, deleteImageView}) {
        icon->setFixedSize(24, 24);
        icon->setFocusPolicy(Qt::StrongFocus);  // Space or Enter clicks it
    }
    deleteImageView->normalImage = iconNamed(QStringLiteral("download_delete_normal"));
    deleteImageView->hoverImage = iconNamed(QStringLiteral("download_delete_hover"));
    deleteImageView->setPixmap(*deleteImageView->normalImage);
    downloadImageView->clickAction = [this] { toggleDownload(); };
    deleteImageView->clickAction = [this] { deleteDownload(); };

    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(title);
    auto* line = new QHBoxLayout;
    line->addWidget(status);
    line->addStretch();
    line->addWidget(percent);
    texts->addLayout(line);
    texts->addWidget(progressIndicator);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(imageView);
    layout->addLayout(texts, 1);
    layout->addWidget(downloadImageView);
    layout->addWidget(deleteImageView);

    // The newest cell of an item follows its transfer.
    connect(item.get(), &DownloadItem::statusDidChange, this, [this] { showItem(); });
    connect(item.get(), &DownloadItem::progressDidChange, this, &DownloadItemCell::showProgress);
    showItem();
}

void DownloadItemCell::showIcon(Presentation::Icon icon) {
    if (icon == Presentation::Icon::asBuilt)
        return;
    const bool pause = icon == Presentation::Icon::pause;
    downloadImageView->normalImage = iconNamed(pause ? QStringLiteral("download_pause_normal")
                                                     : QStringLiteral("download_download_normal"));
    downloadImageView->hoverImage = iconNamed(pause ? QStringLiteral("download_pause_hover")
                                                    : QStringLiteral("download_download_hover"));
    downloadImageView->setPixmap(*downloadImageView->normalImage);
    downloadImageView->setAccessibleName(pause ? localizedString("Pause", "pause a download")
                                               : localizedString("Resume", "resume a download"));
}

void DownloadItemCell::showItem() {
    const auto item = item_.lock();
    if (!item)
        return;
    const Presentation p = present(*item);
    title->setText(shownText(p.title));
    if (p.icon != Presentation::Icon::asBuilt) {
        status->setText(p.statusText);
        QPalette palette = status->palette();
        palette.setColor(QPalette::WindowText,
                         p.statusIsError ? QColor(255, 59, 48) : this->palette().color(QPalette::WindowText));
        status->setPalette(palette);
    }
    showIcon(p.icon);
    progressIndicator->setValue(p.percent);
    percent->setText(p.sizeText);
}

void DownloadItemCell::showProgress(const DownloadProgress& progress) {
    const auto item = item_.lock();
    if (!item)
        return;
    const qint64 total = progress.totalUnitCount >= 0 ? progress.totalUnitCount : item->videoInfo.size;
    progressIndicator->setValue(percentOf(progress.completedUnitCount, total));
    percent->setText(sizeText(progress.completedUnitCount, total));
    status->setText(text("Downloading..."));
}

void DownloadItemCell::toggleDownload() {
    const auto item = item_.lock();
    if (!item)
        return;
    if (item->status == ItemStatus::pause || item->status == ItemStatus::error)
        queue_.resumeItem(item.get());
    else
        item->pauseDownload();
    showItem();
    if (changed)
        changed();
}

void DownloadItemCell::deleteDownload() {
    const auto item = item_.lock();
    if (!item)
        return;
    item->pauseDownload();
    queue_.removeDownload(item.get());
    if (changed)
        changed();
}
