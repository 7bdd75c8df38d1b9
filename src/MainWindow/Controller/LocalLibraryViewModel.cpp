#include "MainWindow/Controller/LocalLibraryViewModel.h"

#include "shared/LocalVideoDBManager.h"

LocalLibraryViewModel::LocalLibraryViewModel(QObject* parent) : LibraryViewModel(parent) {}

void LocalLibraryViewModel::reloadVideos(bool scrollToTop) {
    QMetaObject::invokeMethod(this, [this] { clearContainerImage(); }, Qt::QueuedConnection);
    const std::optional<int> offset = collectionView() ? std::optional(collectionView()->contentOffset()) : std::nullopt;
    setVideoList(LocalVideoDBManager::shared().allVideos());
    const bool empty = videoCount() == 0;
    QMetaObject::invokeMethod(this, [this, offset, scrollToTop, empty] {
        CollectionPort* view = collectionView();
        if (!view)
            return;
        if (offset && !scrollToTop)
            view->setContentOffset(*offset);
        if (empty)
            view->setContainerImage(QStringLiteral("empty_video_list"));
    }, Qt::QueuedConnection);
    if (scrollToTop && collectionView())
        collectionView()->scrollToTop();
}

void LocalLibraryViewModel::reloadData() {
    reloadVideos(true);
    LibraryViewModel::reloadData();
}
