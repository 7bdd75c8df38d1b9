#include "MainWindow/Controller/LocalLibraryViewModel.h"

#include "shared/LocalVideoDBManager.h"

LocalLibraryViewModel::LocalLibraryViewModel(QObject* parent) : LibraryViewModel(parent) {}

void LocalLibraryViewModel::reloadVideos(bool scrollToTop) {
    QMetaObject::invokeMethod(this, [this] { clearContainerImage(); }, Qt::QueuedConnection);
    setVideoList(LocalVideoDBManager::shared().allVideos());
    if (scrollToTop && collectionView())
        collectionView()->scrollToTop();
}

void LocalLibraryViewModel::reloadData() {
    reloadVideos(true);
    LibraryViewModel::reloadData();
}
