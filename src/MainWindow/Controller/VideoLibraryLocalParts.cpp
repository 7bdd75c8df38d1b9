// The library screen's local parts: player bar, now-playing strip, import entry points, the drop
// zone and the first-run import.
#include "MainWindow/Controller/LocalLibraryViewModel.h"
#include "MainWindow/Controller/SampleVideoImport.h"
#include "MainWindow/Controller/VideoLibraryViewController.h"
#include "MainWindow/View/NowPlayingView.h"
#include "MainWindow/View/PlayerBarView.h"
#include "MainWindow/View/ProgressWindow.h"
#include "MainWindow/View/ViewWithDrag.h"
#include "platform/gui/OpenUrl.h"
#include "shared/AppInfo.h"
#include "shared/Preferences.h"
#include "views/ButtonWithLinkTitle.h"
#include "views/TabTitleView.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

void VideoLibraryViewController::installLocalParts() {
    nowPlayingView_ = new NowPlayingView(nowPlayingSlot_);
    nowPlayingSlot_->layout()->addWidget(nowPlayingView_);

    importVideoButton_ = new QPushButton(tr("Import Video"), bottomArea_);
    importVideoButton_->setObjectName(QStringLiteral("importVideoButton"));
    connect(importVideoButton_, &QPushButton::clicked, this, &VideoLibraryViewController::importLocalVideo);
    uploadLink_ = new ButtonWithLinkTitle(tr("Upload your video"), bottomArea_);
    uploadLink_->setObjectName(QStringLiteral("uploadLink"));
    uploadLink_->setFlat(true);
    connect(uploadLink_, &QPushButton::clicked, this, &VideoLibraryViewController::uploadVideo);
    playerBar_ = new PlayerBarView(Preferences::shared(), nowPlayingView_, bottomArea_);
    auto* bottom = static_cast<QHBoxLayout*>(bottomArea_->layout());
    bottom->setContentsMargins(12, 0, 0, 0);
    bottom->addWidget(importVideoButton_);
    bottom->addWidget(uploadLink_);
    bottom->addWidget(playerBar_, 1);
    nowPlayingView_->clickVideoTitleClosure = [this](const std::optional<QString>& sign) { showPlayingVideo(sign); };

    // Drags over the list go to the drop zone; clicks and wheel steps still reach the list.
    dragView_ = new ViewWithDrag(collectionView()->viewport());
    dragView_->isLocalTabShown = [this] { return collectionView()->boundModel() == localLibraryViewModel(); };
    dragView_->importVideos = [this](const QList<QUrl>& urls) { localLibraryViewModel()->importVideos(urls); };

    LocalLibraryViewModel* local = localLibraryViewModel();
    local->shell.importWindows = importWindowHooks(view_, {});
    local->shell.chooseVideoFiles = [this](std::function<void(const QList<QUrl>&)> chosen) {
        chooseVideoFiles(std::move(chosen));
    };
    local->shell.showPreview = [this](const QUrl& url) { emit previewRequested(url); };
    local->shell.confirmClearAll = [this](std::function<void(bool)> answer) {
        auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavvel"),
                                      tr("Are you sure to clear all the videos"), QMessageBox::NoButton,
                                      view_->window());
        alert->setObjectName(QStringLiteral("clearAllAlert"));
        alert->setAttribute(Qt::WA_DeleteOnClose);
        QPushButton* cancel = alert->addButton(tr("Cancel"), QMessageBox::RejectRole);
        QPushButton* ok = alert->addButton(tr("OK"), QMessageBox::AcceptRole);
        alert->setDefaultButton(cancel);  // Return answers "Cancel"
        connect(alert, &QMessageBox::finished, this, [alert, ok, answer] { answer(alert->clickedButton() == ok); });
        alert->open();
    };

    sampleImport_ = new SampleVideoImport(
        [this](const QList<QUrl>& urls, std::function<void()> done) {
            localLibraryViewModel()->importVideos(urls, std::move(done), true);
        },
        [this] { switchTab(localTab_); }, this);
    view_->installEventFilter(this);
}

void VideoLibraryViewController::importSampleVideosIfNeeded() {
    sampleImport_->importSampleVideosIfNeeded();
}

void VideoLibraryViewController::chooseVideoFiles(std::function<void(const QList<QUrl>&)> chosen) {
    auto* panel = new QFileDialog(view_->window(), tr("Import Video"));
    panel->setObjectName(QStringLiteral("importVideoPanel"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setFileMode(QFileDialog::ExistingFiles);
    panel->setNameFilter(tr("Videos (*.mp4 *.mov *.MP4 *.MOV)"));
    // Qt's own dialog (no native one on many desktops) reports files, a native one addresses:
    // the accepted dialog's selection covers both.
    connect(panel, &QFileDialog::accepted, this, [this, panel, chosen = std::move(chosen)] {
        // The filter can be typed over: the extension is checked again, and a file that is
        // left out is named.
        QList<QUrl> videos;
        for (const QUrl& url : panel->selectedUrls()) {
            const QString extension = QFileInfo(url.toLocalFile()).suffix().toLower();
            if (url.isLocalFile() && (extension == QLatin1String("mp4") || extension == QLatin1String("mov")))
                videos.append(url);
            else
                showImportResultAlert(view_, ImportVideoStatus::failure, url, ImportProblem::notVideo);
        }
        if (!videos.isEmpty())
            chosen(videos);
    });
    panel->open();
}

void VideoLibraryViewController::importLocalVideo() {
    chooseVideoFiles([this](const QList<QUrl>& urls) {
        // The local tab, without the counter's visibility and the other tab's loads.
        switchTabKeepingCounter(localTab_);
        localLibraryViewModel()->reloadVideos(true);
        localLibraryViewModel()->importVideos(urls);
    });
}

void VideoLibraryViewController::uploadVideo() {
    platform::openWebAddress(AppInfo::uploadPage());
}

void VideoLibraryViewController::showPlayingVideo(const std::optional<QString>& sign) {
    LocalLibraryViewModel* local = localLibraryViewModel();
    if (collectionView()->boundModel() != local)
        switchTab(localTab_);
    if (!sign)
        return;
    // Queued behind the reload that the tab switch queued, so it selects in the fresh list.
    QPointer<LocalLibraryViewModel> model(local);
    QMetaObject::invokeMethod(
        this,
        [this, model, sign = *sign] {
            if (!model || !model->videoList() || collectionView()->boundModel() != model)
                return;
            const std::vector<VideoDetail>& list = *model->videoList();
            for (size_t row = 0; row < list.size(); ++row) {
                if (list[row].sign != sign)
                    continue;
                // Chosen, in sight, and in the detail pane.
                collectionView()->selectRow(int(row));
                collectionView()->scrollTo(model->index(int(row)));
                model->didSelectRows({int(row)});
                return;
            }
        },
        Qt::QueuedConnection);
}
