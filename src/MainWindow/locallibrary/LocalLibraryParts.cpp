#include "MainWindow/locallibrary/LocalLibraryParts.h"

#include "MainWindow/library/WQCollectionView.h"
#include "MainWindow/locallibrary/LocalLibraryViewModel.h"
#include "MainWindow/locallibrary/SampleVideoImport.h"
#include "MainWindow/locallibrary/NowPlayingView.h"
#include "MainWindow/locallibrary/PlayerBarView.h"
#include "MainWindow/locallibrary/ProgressWindow.h"
#include "MainWindow/locallibrary/ViewWithDrag.h"
#include "platform/gui/OpenUrl.h"
#include "shared/AppInfo.h"
#include "shared/Preferences.h"
#include "views/ButtonWithLinkTitle.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

LocalLibraryParts::LocalLibraryParts(const MainParts& parts, LocalLibraryViewModel& model, const Places& places,
                                     Hooks hooks, QObject* parent)
    : QObject(parent),
      parts_(parts),
      model_(model),
      screen_(places.screen),
      list_(places.list),
      nowPlayingSlot_(places.nowPlayingSlot),
      bottomArea_(places.bottomArea),
      hooks_(std::move(hooks)) {
    nowPlayingView_ = new NowPlayingView(parts_.preferences(), parts_.database(), nowPlayingSlot_);
    nowPlayingSlot_->layout()->addWidget(nowPlayingView_);

    importVideoButton_ = new QPushButton(tr("Import Video"), bottomArea_);
    importVideoButton_->setObjectName(QStringLiteral("importVideoButton"));
    connect(importVideoButton_, &QPushButton::clicked, this, &LocalLibraryParts::importLocalVideo);
    uploadLink_ = new ButtonWithLinkTitle(tr("Upload your video"), bottomArea_);
    uploadLink_->setObjectName(QStringLiteral("uploadLink"));
    uploadLink_->setFlat(true);
    connect(uploadLink_, &QPushButton::clicked, this, &LocalLibraryParts::uploadVideo);
    playerBar_ = new PlayerBarView(parts_.preferences(), parts_.database(), nowPlayingView_, bottomArea_);
    if (parts_.playerStatus)
        playerBar_->setPlayerStatus(&parts_.playerStatus());
    auto* bottom = static_cast<QHBoxLayout*>(bottomArea_->layout());
    bottom->setContentsMargins(12, 0, 0, 0);
    bottom->addWidget(importVideoButton_);
    bottom->addWidget(uploadLink_);
    bottom->addWidget(playerBar_, 1);
    nowPlayingView_->clickVideoTitleClosure = [this](const std::optional<QString>& sign) { showPlayingVideo(sign); };

    // Drags over the list go to the drop zone; clicks and wheel steps still reach the list.
    dragView_ = new ViewWithDrag(list_->viewport());
    dragView_->isLocalTabShown = [this] { return list_->boundModel() == &model_; };
    dragView_->importVideos = [this](const QList<QUrl>& urls) { model_.importVideos(urls); };

    LocalLibraryViewModel* local = &model_;
    local->shell.importWindows = importWindowHooks(screen_, {});
    local->shell.chooseVideoFiles = [this](std::function<void(const QList<QUrl>&)> chosen) {
        chooseVideoFiles(std::move(chosen));
    };
    local->shell.showPreview = [this](const QUrl& url) { hooks_.showPreview(url); };
    local->shell.showRemoveProblem = [this](const QString& text) {
        auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavvel"), text, QMessageBox::Ok,
                                      screen_->window());
        alert->setObjectName(QStringLiteral("removeProblemAlert"));
        alert->setTextFormat(Qt::PlainText);  // a path is no markup
        alert->setAttribute(Qt::WA_DeleteOnClose);
        alert->open();
    };
    local->shell.confirmClearAll = [this](std::function<void(bool)> answer) {
        auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavvel"),
                                      tr("Are you sure to clear all the videos"), QMessageBox::NoButton,
                                      screen_->window());
        alert->setObjectName(QStringLiteral("clearAllAlert"));
        alert->setAttribute(Qt::WA_DeleteOnClose);
        QPushButton* cancel = alert->addButton(tr("Cancel"), QMessageBox::RejectRole);
        QPushButton* ok = alert->addButton(tr("OK"), QMessageBox::AcceptRole);
        alert->setDefaultButton(cancel);  // Return answers "Cancel"
        connect(alert, &QMessageBox::finished, this, [alert, ok, answer] { answer(alert->clickedButton() == ok); });
        alert->open();
    };

    sampleImport_ = new SampleVideoImport(
        parts_.preferences(), parts_.database(),
        [this](const QList<QUrl>& urls, std::function<void()> done) {
            model_.importVideos(urls, std::move(done), true);
        },
        [this] { hooks_.showLocal(); }, this);
}

void LocalLibraryParts::importSampleVideosIfNeeded() {
    sampleImport_->importSampleVideosIfNeeded();
}

void LocalLibraryParts::chooseVideoFiles(std::function<void(const QList<QUrl>&)> chosen) {
    auto* panel = new QFileDialog(screen_->window(), tr("Import Video"));
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
                showImportResultAlert(screen_, ImportVideoStatus::failure, url, ImportProblem::notVideo);
        }
        if (!videos.isEmpty())
            chosen(videos);
    });
    panel->open();
}

void LocalLibraryParts::importLocalVideo() {
    chooseVideoFiles([this](const QList<QUrl>& urls) {
        // The local tab, without the counter's visibility and the other tab's loads.
        hooks_.showLocalKeepingCounter();
        model_.reloadVideos(true);
        model_.importVideos(urls);
    });
}

void LocalLibraryParts::uploadVideo() {
    platform::openWebAddress(AppInfo::uploadPage());
}

void LocalLibraryParts::showPlayingVideo(const std::optional<QString>& sign) {
    LocalLibraryViewModel* local = &model_;
    if (list_->boundModel() != local)
        hooks_.showLocal();
    if (!sign)
        return;
    // Queued behind the reload that the tab switch queued, so it selects in the fresh list.
    QPointer<LocalLibraryViewModel> model(local);
    QMetaObject::invokeMethod(
        this,
        [this, model, sign = *sign] {
            if (!model || !model->videoList() || list_->boundModel() != model)
                return;
            const std::vector<VideoDetail>& list = *model->videoList();
            for (size_t row = 0; row < list.size(); ++row) {
                if (list[row].sign != sign)
                    continue;
                // Chosen, in sight, and in the detail pane.
                list_->selectRow(int(row));
                list_->scrollTo(model->index(int(row)));
                model->didSelectRows({int(row)});
                return;
            }
        },
        Qt::QueuedConnection);
}
