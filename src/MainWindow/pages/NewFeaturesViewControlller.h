#pragma once
#include "shared/Disposable.h"

#include <QAbstractListModel>
#include <QImage>
#include <QPointer>
#include <QUrl>
#include <optional>
#include <vector>

class QItemSelection;
class QListView;
class QWidget;
class WebModel;
namespace platform {
class NotificationCenter;
}  // namespace platform

// One page of the new-features guide: a picture and where it leads.
struct NewFeatureModel {
    NewFeatureModel(QImage image, QUrl address) : imageData(std::move(image)), url(std::move(address)) {}
    QImage imageData;
    QUrl url;
};

// The guide's pages: the service's new-feature pictures in the order of its reply, or, before
// any guide reply, the seven pictures of our own that lead to the web site. Each later guide
// reply replaces them. Needs no widgets.
class NewFeaturePageList : public QAbstractListModel {
    Q_OBJECT
public:
    NewFeaturePageList(WebModel& service, platform::NotificationCenter& notices, QObject* parent = nullptr);

    // Made on first use.
    const std::vector<NewFeatureModel>& newFeatureModelArray();
    void setNewFeatureModelArray(std::vector<NewFeatureModel> pages);
    // Rebuilds the pages from the client's guide; without a guide nothing changes.
    void updateNewFeature();
    // The page's address to open when the selection is `rows`: the lowest row's; none when
    // the selection is empty or outside the pages.
    std::optional<QUrl> addressForSelection(const QList<int>& rows);

    static std::vector<NewFeatureModel> builtInPages();

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<NewFeatureModel> pagesFromGuide() const;

    QPointer<WebModel> service_;
    std::optional<std::vector<NewFeatureModel>> pages_;
    DisposablePtr observation_;
};

// The guide's window: the pages side by side; choosing one opens its address in the browser.
class NewFeaturesViewControlller : public QObject {
    Q_OBJECT
public:
    NewFeaturesViewControlller(WebModel& service, platform::NotificationCenter& notices, QObject* parent = nullptr);
    ~NewFeaturesViewControlller() override;

    QWidget* window() const { return window_; }
    QListView* collectionView() const { return collectionView_; }
    NewFeaturePageList* pages() const { return pages_; }
    void showWindow();

private:
    void selectionChanged();

    QWidget* window_ = nullptr;
    QListView* collectionView_ = nullptr;
    NewFeaturePageList* pages_ = nullptr;
};
