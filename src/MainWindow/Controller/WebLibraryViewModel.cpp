#include "MainWindow/Controller/WebLibraryViewModel.h"

WebLibraryViewModel::WebLibraryViewModel(QObject* parent) : LibraryViewModel(parent) {}

void WebLibraryViewModel::loadFirstPage() {
    QMetaObject::invokeMethod(this, [this] { clearContainerImage(); }, Qt::QueuedConnection);
    reloadDataAsync();
}

void WebLibraryViewModel::searchByKeywords(const QString&) {}

void WebLibraryViewModel::searchByAuthor(const QString&) {}
