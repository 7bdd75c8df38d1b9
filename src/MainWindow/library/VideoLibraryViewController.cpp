#include "MainWindow/library/VideoLibraryViewController.h"

#include "MainWindow/downloads/DownloadViewModel.h"
#include "MainWindow/locallibrary/LocalLibraryParts.h"
#include "MainWindow/locallibrary/LocalLibraryViewModel.h"
#include "MainWindow/onlinelibrary/OnlineControls.h"
#include "MainWindow/onlinelibrary/WebLibraryViewModel.h"
#include "MainWindow/downloads/DownloadItemCell.h"
#include "MainWindow/detailpane/DetailPaneCoordinator.h"
#include "MainWindow/detailpane/VideoDetailView.h"
#include "MainWindow/locallibrary/PlayerBarView.h"
#include "MainWindow/library/VideoItemCell.h"
#include "MainWindow/onlinelibrary/WebLibraryRefreshSubView.h"
#include "platform/NotificationCenter.h"
#include "service/DownloadManager.h"
#include "service/WebModel.h"
#include "shared/Preferences.h"
#include "views/TabTitleView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QWidget* makeSlot(const QString& name, QWidget* parent, bool horizontal = false) {
    auto* slot = new QWidget(parent);
    slot->setObjectName(name);
    QBoxLayout* layout = horizontal ? static_cast<QBoxLayout*>(new QHBoxLayout(slot))
                                    : static_cast<QBoxLayout*>(new QVBoxLayout(slot));
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return slot;
}
}  // namespace

VideoLibraryViewController::VideoLibraryViewController(const MainParts& parts, QWidget* parent)
    : QObject(parent), parts_(parts), view_(new QWidget(parent)) {
    view_->setObjectName(QStringLiteral("videoLibraryView"));
    auto* root = new QVBoxLayout(view_);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Tab headers, the online controls and the counter.
    auto* header = new QWidget(view_);
    header->setObjectName(QStringLiteral("tabHeaderRow"));
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(12, 4, 12, 0);
    headerRow->setSpacing(4);
    localTab_ = makeTab(QStringLiteral("localTab"), tr("Local"), nullptr);
    onlineTab_ = makeTab(QStringLiteral("onlineTab"), tr("Online"), &onlineTabTitle_);
    downloadTab_ = makeTab(QStringLiteral("downloadTab"), tr("Downloads"), nullptr);
    categoryButton_ = new QToolButton(onlineTab_);
    categoryButton_->setObjectName(QStringLiteral("categoryButton"));
    categoryButton_->setAccessibleName(tr("Category"));
    categoryButton_->setToolTip(tr("Category"));
    categoryButton_->setArrowType(Qt::DownArrow);
    categoryButton_->setAutoRaise(true);
    categoryButton_->setCheckable(true);
    static_cast<QHBoxLayout*>(onlineTab_->layout())->addWidget(categoryButton_);
    connect(categoryButton_, &QToolButton::clicked, this, &VideoLibraryViewController::categoryMenuRequested);
    headerRow->addWidget(localTab_);
    headerRow->addWidget(onlineTab_);
    headerRow->addWidget(downloadTab_);
    headerRow->addStretch(1);
    onlineControlsSlot_ = makeSlot(QStringLiteral("onlineControlsSlot"), header, true);
    headerRow->addWidget(onlineControlsSlot_);
    pageStatus_ = new QLabel(header);
    pageStatus_->setObjectName(QStringLiteral("pageStatus"));
    pageStatus_->setAccessibleName(tr("Videos shown"));
    pageStatus_->setText(QStringLiteral("0/0"));
    pageStatus_->setAccessibleDescription(tr("%1 of %2").arg(0).arg(0));
    headerRow->addWidget(pageStatus_);
    root->addWidget(header);
    // The hot tags under the headers, across the whole width, in as many rows as they need.
    hotTagsSlot_ = makeSlot(QStringLiteral("hotTagsSlot"), view_);
    hotTagsSlot_->layout()->setContentsMargins(12, 0, 12, 2);
    root->addWidget(hotTagsSlot_);

    // The list beside the detail pane.
    auto* middle = new QHBoxLayout;
    middle->setContentsMargins(0, 0, 0, 0);
    middle->setSpacing(0);
    collectionViewContainer_ = new QWidget(view_);
    collectionViewContainer_->setObjectName(QStringLiteral("collectionViewContainer"));
    auto* containerLayout = new QVBoxLayout(collectionViewContainer_);
    containerLayout->setContentsMargins(0, 0, 0, 0);
    containerLayout->addWidget(collectionView());
    middle->addWidget(collectionViewContainer_, 1);
    detailPaneSlot_ = makeSlot(QStringLiteral("detailPaneSlot"), view_);
    middle->addWidget(detailPaneSlot_);
    detailView_ = new VideoDetailView(parts_, detailPaneSlot_);
    detailPaneSlot_->layout()->addWidget(detailView_);
    detailView_->showPreview = [this](const QUrl& url) { emit previewRequested(url); };
    detailPaneCoordinator_ = new DetailPaneCoordinator(
        parts_,
        {[this](const QString& author) { webLibraryViewModel()->searchByAuthor(author); },
         [this] { collectionView()->reloadData(); }, [this] { showDownloadList(); },
         [this](const QString& sign) { playVideo(sign); }},
        this);
    detailView_->setDelegate(detailPaneCoordinator_);
    collectionViewContainer_->installEventFilter(this);  // the overlay follows its size
    root->addLayout(middle, 1);

    nowPlayingSlot_ = makeSlot(QStringLiteral("nowPlayingSlot"), view_);
    root->addWidget(nowPlayingSlot_);
    bottomArea_ = makeSlot(QStringLiteral("bottomArea"), view_, true);
    // The player bar stands apart from the list in the window colour of the theme.
    bottomArea_->setBackgroundRole(QPalette::Window);
    bottomArea_->setAutoFillBackground(true);
    root->addWidget(bottomArea_);

    // The counter follows every list refresh.
    amountObservation_ = parts_.notices().addObserver(LibraryViewModel::updateVideoAmountName(), this,
                                                      [this](const QVariantMap&) { updatePageStatus(); });
    collectionView()->registerCell(QStringLiteral("VideoItemCell"), new VideoItemCell(collectionView()));
    collectionView()->registerCell(QStringLiteral("DownloadItemCell"), new VideoItemCell(collectionView()));

    // The local tab comes first.
    localLibraryViewModel()->bind(collectionView());
    localLibraryViewModel()->reloadVideos(true);
    setHighlights(Tab::local);
    localParts_ = new LocalLibraryParts(
        parts_, *localLibraryViewModel(), {view_, collectionView(), nowPlayingSlot_, bottomArea_},
        {[this] { switchTab(localTab_); }, [this] { switchTabKeepingCounter(localTab_); },
         [this](const QUrl& url) { emit previewRequested(url); }},
        this);
    view_->installEventFilter(this);  // the first-run import on the screen's first showing
    onlineControls_ = new OnlineControls(
        parts_, *webLibraryViewModel(), {onlineControlsSlot_, hotTagsSlot_, categoryButton_, onlineTabTitle_, view_},
        {[this] { switchTab(onlineTab_); }, [this] { switchTabKeepingCounter(onlineTab_); },
         [this](const QString& words) { searchVideos(words); }},
        this);
    connect(this, &VideoLibraryViewController::categoryMenuRequested, onlineControls_,
            &OnlineControls::showCategoryMenu);
}

VideoLibraryViewController::~VideoLibraryViewController() {
    if (detailView_)
        detailView_->setDelegate(nullptr);
    observeDispose_.clear();
    amountObservation_.reset();
    delete view_.data();  // the list first: the models (children of this object) go after it
}

TabTitleView* VideoLibraryViewController::makeTab(const QString& objectName, const QString& title,
                                                  QToolButton** titleButton) {
    auto* tab = new TabTitleView(view_);
    tab->setObjectName(objectName);
    tab->setAccessibleName(title);
    auto* row = new QHBoxLayout(tab);
    row->setContentsMargins(6, 4, 6, 6);
    row->setSpacing(2);
    auto* button = new QToolButton(tab);
    button->setObjectName(objectName + QStringLiteral("Title"));
    button->setText(title);
    button->setAccessibleName(title);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::StrongFocus);
    row->addWidget(button);
    connect(button, &QToolButton::clicked, this, [this, tab] { switchTab(tab); });
    tab->installEventFilter(this);
    if (titleButton)
        *titleButton = button;
    return tab;
}

bool VideoLibraryViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == collectionViewContainer_) {
        if (event->type() == QEvent::Resize)
            placeOverlay();
        return QObject::eventFilter(watched, event);
    }
    if (watched == view_ && event->type() == QEvent::Show)
        localParts_->importSampleVideosIfNeeded();
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* tab = qobject_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton && tab && tabOf(tab) &&
            tab->rect().contains(mouse->position().toPoint())) {
            tabClicked(tab, mouse->position().toPoint());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

WQCollectionView* VideoLibraryViewController::collectionView() {
    if (!collectionView_) {
        collectionView_ = new WQCollectionView(view_);
        collectionView_->setCollectionViewLayout(columnLayout());
    }
    return collectionView_;
}

ColumnLayout* VideoLibraryViewController::columnLayout() {
    if (!columnLayout_) {
        columnLayout_ = std::make_unique<ColumnLayout>();
        columnLayout_->columnCount = 4;
        columnLayout_->itemHeight = 110.0;
    }
    return columnLayout_.get();
}

ListLayout* VideoLibraryViewController::listLayout() {
    if (!listLayout_) {
        listLayout_ = std::make_unique<ListLayout>();
        listLayout_->itemHeight = 63.5;
    }
    return listLayout_.get();
}

LocalLibraryViewModel* VideoLibraryViewController::localLibraryViewModel() {
    if (!localLibraryViewModel_) {
        localLibraryViewModel_ = new LocalLibraryViewModel(parts_, this);
        localLibraryViewModel_->videoDetailDidChanged = [this](const auto& detail) {
            detailPaneCoordinator_->forwardVideoDetail(detail);
        };
    }
    return localLibraryViewModel_;
}

WebLibraryViewModel* VideoLibraryViewController::webLibraryViewModel() {
    if (!webLibraryViewModel_) {
        webLibraryViewModel_ = new WebLibraryViewModel(parts_, this);
        webLibraryViewModel_->videoDetailDidChanged = [this](const auto& detail) {
            detailPaneCoordinator_->forwardVideoDetail(detail);
        };
        webLibraryViewModel_->showPreview = [this](const QUrl& url) { emit previewRequested(url); };
        connect(webLibraryViewModel_, &WebLibraryViewModel::overlayChanged, this,
                &VideoLibraryViewController::updateOverlay);
    }
    return webLibraryViewModel_;
}

DownloadViewModel* VideoLibraryViewController::downloadViewModel() {
    if (!downloadViewModel_) {
        downloadViewModel_ = new DownloadViewModel(parts_, this);
        downloadViewModel_->videoDetailDidChanged = [this](const auto& detail) {
            detailPaneCoordinator_->forwardVideoDetail(detail);
        };
        // Queued: the list drops its row widgets on the same reset first.
        connect(downloadViewModel_, &QAbstractItemModel::modelReset, this,
                &VideoLibraryViewController::buildDownloadCells, Qt::QueuedConnection);
    }
    return downloadViewModel_;
}

std::optional<VideoLibraryViewController::Tab> VideoLibraryViewController::tabOf(QWidget* header) const {
    if (!header)
        return std::nullopt;
    if (header == localTab_)
        return Tab::local;
    if (header == onlineTab_)
        return Tab::online;
    if (header == downloadTab_)
        return Tab::download;
    return std::nullopt;
}

void VideoLibraryViewController::setHighlights(Tab tab) {
    const std::pair<TabTitleView*, Tab> headers[] = {
        {localTab_, Tab::local}, {onlineTab_, Tab::online}, {downloadTab_, Tab::download}};
    for (const auto& [header, which] : headers) {
        header->highlight = which == tab;
        header->update(header->rect());
    }
}

void VideoLibraryViewController::switchTab(QWidget* tab) {
    if (const std::optional<Tab> which = tabOf(tab))
        showTab(*which, true, true);
}

void VideoLibraryViewController::switchTabKeepingCounter(QWidget* tab) {
    if (const std::optional<Tab> which = tabOf(tab))
        showTab(*which, false, false);
}

void VideoLibraryViewController::showTab(Tab tab, bool touchCounter, bool load) {
    WQCollectionView* list = collectionView();
    // The steps keep this order: layout, headers, counter, the replaced model's thumbnails,
    // binding, then what the new model needs.
    list->setCollectionViewLayout(tab == Tab::download ? static_cast<CollectionLayout*>(listLayout())
                                                       : static_cast<CollectionLayout*>(columnLayout()));
    setHighlights(tab);
    if (touchCounter)
        pageStatus_->setVisible(tab != Tab::download);
    switch (tab) {
    case Tab::local:
        webLibraryViewModel()->cancelThumbnailDownloads();
        localLibraryViewModel()->bind(list);
        if (load)
            localLibraryViewModel()->reloadVideos(true);
        break;
    case Tab::online:
        localLibraryViewModel()->cancelThumbnailDownloads();
        webLibraryViewModel()->bind(list);
        // The footer room stays once the online list was shown; the local tab shares the layout.
        if (auto* column = dynamic_cast<ColumnLayout*>(list->collectionViewLayout())) {
            column->footerHeight = 30.0;
            list->relayout();
        }
        if (load)
            webLibraryViewModel()->loadFirstPage();
        break;
    case Tab::download:
        downloadViewModel()->bind(list);
        QMetaObject::invokeMethod(this, &VideoLibraryViewController::buildDownloadCells, Qt::QueuedConnection);
        if (load) {
            QPointer<DownloadViewModel> model(downloadViewModel());
            QMetaObject::invokeMethod(
                this,
                [model] {
                    if (model)
                        model->clearContainerImage();
                },
                Qt::QueuedConnection);
            downloadViewModel()->reloadDataAsync();
        }
        break;
    }
}

void VideoLibraryViewController::tabClicked(QWidget* tab, QPoint position) {
    if (tab == onlineTab_ && categoryButton_->geometry().contains(position)) {
        emit categoryMenuRequested();
        return;
    }
    switchTab(tab);
}

void VideoLibraryViewController::updatePageStatus() {
    qint64 count = 0, total = 0;
    if (const LibraryViewModel* model = collectionView()->boundModel()) {
        count = model->videoCount();
        total = std::max(model->totalVideoCount(), count);
    }
    pageStatus_->setText(QString::number(count) + QLatin1Char('/') + QString::number(total));
    // The name says what the counter is; screen readers hear the count change here.
    pageStatus_->setAccessibleDescription(tr("%1 of %2").arg(count).arg(total));
}

VideoDetailView* VideoLibraryViewController::detailView() const {
    return detailView_.data();
}

void VideoLibraryViewController::updateOverlay() {
    const auto& overlay = webLibraryViewModel()->overlay();
    // Only the online list carries the overlay.
    if (!overlay || collectionView()->boundModel() != webLibraryViewModel_) {
        if (refreshSubView_)
            refreshSubView_->hide();
        return;
    }
    if (!refreshSubView_) {
        refreshSubView_ = new WebLibraryRefreshSubView(collectionViewContainer_);
        const QPointer<WebLibraryViewModel> model(webLibraryViewModel());
        refreshSubView_->refreshClosure = [model] {
            if (model)
                model->refreshLatestRequest();
        };
    }
    refreshSubView_->setShowRefreshButton(overlay->showRefreshButton);
    refreshSubView_->setTitle(overlay->title);
    placeOverlay();
    refreshSubView_->raise();
    refreshSubView_->show();
}

void VideoLibraryViewController::placeOverlay() {
    if (!refreshSubView_)
        return;
    // Centred across the list, its bottom edge 120 points above the list's bottom.
    const QSize size = refreshSubView_->sizeHint().expandedTo(QSize(320, 0));
    const QRect box = collectionViewContainer_->rect();
    refreshSubView_->setGeometry(box.center().x() - size.width() / 2, box.bottom() + 1 - 120 - size.height(),
                                 size.width(), size.height());
}

void VideoLibraryViewController::buildDownloadCells() {
    WQCollectionView* list = collectionView();
    if (!downloadViewModel_ || list->boundModel() != downloadViewModel_)
        return;
    for (int row = 0; row < downloadViewModel_->rowCount(); ++row) {
        const QModelIndex index = downloadViewModel_->index(row);
        if (list->indexWidget(index))
            continue;
        auto* cell = new DownloadItemCell(downloadViewModel_->itemAt(row), downloadViewModel_->queue(),
                                          parts_.images());
        cell->setAutoFillBackground(true);
        list->setIndexWidget(index, cell);
    }
}

void VideoLibraryViewController::showDownloadList() {
    switchTab(downloadTab_);
}

void VideoLibraryViewController::playVideo(const QString& sign) {
    PlayerBarView::playVideo(parts_.preferences(), sign);
}

void VideoLibraryViewController::searchSuggestions(const QString& text, SuggestionsCompletion completion) {
    parts_.web().requestKeywords(text, [completion](const std::optional<std::vector<QString>>& words) {
        if (completion)
            completion(words ? std::optional<QStringList>(QStringList(words->begin(), words->end())) : std::nullopt);
    });
}

void VideoLibraryViewController::searchVideos(const QString& text) {
    switchTabKeepingCounter(onlineTab_);
    webLibraryViewModel()->searchByKeywords(text);
}
