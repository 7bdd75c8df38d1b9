#include "MainWindow/pages/NewFeaturesViewControlller.h"

#include "platform/NotificationCenter.h"
#include "platform/gui/OpenUrl.h"
#include "service/WebModel.h"
#include "shared/AppInfo.h"
#include "views/Activation.h"

#include <QIcon>
#include <QKeyEvent>
#include <QPixmap>
#include <QListView>
#include <QVBoxLayout>
#include <algorithm>

NewFeaturePageList::NewFeaturePageList(WebModel& service, platform::NotificationCenter& notices, QObject* parent)
    : QAbstractListModel(parent), service_(&service) {
    observation_ = notices.addObserver(WebModel::newFeatureUpdatedNotification, this,
                                       [this](const QVariantMap&) { updateNewFeature(); });
}

std::vector<NewFeatureModel> NewFeaturePageList::builtInPages() {
    std::vector<NewFeatureModel> pages;
    for (int i = 0; i < 7; ++i)
        pages.emplace_back(QImage(QStringLiteral(":/assets/NewFeature%1.png").arg(i)), AppInfo::website());
    return pages;
}

std::vector<NewFeatureModel> NewFeaturePageList::pagesFromGuide() const {
    std::vector<NewFeatureModel> pages;
    // The guide keeps its pictures in the order of the reply.
    for (const auto& [image, url] : service_->guideModel()->newFeature())
        pages.emplace_back(image, url);
    return pages;
}

const std::vector<NewFeatureModel>& NewFeaturePageList::newFeatureModelArray() {
    if (!pages_)
        pages_ = service_ && service_->guideModel() ? pagesFromGuide() : builtInPages();
    return *pages_;
}

void NewFeaturePageList::setNewFeatureModelArray(std::vector<NewFeatureModel> pages) {
    beginResetModel();
    pages_ = std::move(pages);
    endResetModel();
}

void NewFeaturePageList::updateNewFeature() {
    if (!service_ || !service_->guideModel())
        return;
    setNewFeatureModelArray(pagesFromGuide());
}

std::optional<QUrl> NewFeaturePageList::addressForSelection(const QList<int>& rows) {
    if (rows.isEmpty())
        return std::nullopt;
    const int lowest = *std::min_element(rows.begin(), rows.end());
    const auto& pages = newFeatureModelArray();
    if (lowest < 0 || size_t(lowest) >= pages.size())
        return std::nullopt;
    return pages[size_t(lowest)].url;
}

int NewFeaturePageList::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return int(const_cast<NewFeaturePageList*>(this)->newFeatureModelArray().size());
}

QVariant NewFeaturePageList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !pages_ || size_t(index.row()) >= pages_->size())
        return {};
    const NewFeatureModel& page = (*pages_)[size_t(index.row())];
    switch (role) {
    case Qt::DecorationRole:
        // An icon, so that the view draws it at its icon size.
        return QIcon(QPixmap::fromImage(page.imageData));
    case Qt::ToolTipRole: return page.url.toString();
    case Qt::AccessibleTextRole: return tr("Page %1 of %2").arg(index.row() + 1).arg(pages_->size());
    default: return {};
    }
}

namespace {
// Arrow keys move through the pages without selecting (a selection opens the browser);
// Space or Return selects the current page.
class PageListView : public QListView {
public:
    using QListView::QListView;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index, const QEvent* event) const override {
        if (event && event->type() == QEvent::KeyPress) {
            const int key = static_cast<const QKeyEvent*>(event)->key();
            return isActivationKey(key) ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::NoUpdate;
        }
        return QListView::selectionCommand(index, event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
            selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect);
            return;
        }
        QListView::keyPressEvent(event);
    }
};
}  // namespace

NewFeaturesViewControlller::NewFeaturesViewControlller(WebModel& service, platform::NotificationCenter& notices,
                                                       QObject* parent)
    : QObject(parent) {
    window_ = makeCloseOnlyWindow(QStringLiteral("NewFeaturesWindow"), tr("What's New in Tavvel"));

    pages_ = new NewFeaturePageList(service, notices, this);
    collectionView_ = new PageListView(window_);
    collectionView_->setObjectName(QStringLiteral("newFeaturesCollectionView"));
    collectionView_->setAccessibleName(tr("New features"));
    collectionView_->setViewMode(QListView::IconMode);
    collectionView_->setFlow(QListView::LeftToRight);
    collectionView_->setWrapping(true);
    collectionView_->setResizeMode(QListView::Adjust);
    collectionView_->setMovement(QListView::Static);
    collectionView_->setIconSize(QSize(240, 150));
    collectionView_->setGridSize(QSize(252, 162));
    collectionView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    collectionView_->setModel(pages_);
    connect(collectionView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &NewFeaturesViewControlller::selectionChanged);

    auto* layout = new QVBoxLayout(window_);
    layout->addWidget(collectionView_);
    window_->resize(800, 560);
}

NewFeaturesViewControlller::~NewFeaturesViewControlller() {
    delete window_;
}

void NewFeaturesViewControlller::showWindow() {
    bringToFront(window_);
}

void NewFeaturesViewControlller::selectionChanged() {
    QList<int> rows;
    for (const QModelIndex& index : collectionView_->selectionModel()->selectedIndexes())
        rows.append(index.row());
    if (const std::optional<QUrl> url = pages_->addressForSelection(rows))
        platform::openWebAddress(*url);
}
