#pragma once
#include "MainWindow/Controller/LibraryViewModel.h"

// The online tab: pages of the web service's catalogue.
class WebLibraryViewModel : public LibraryViewModel {
    Q_OBJECT
public:
    explicit WebLibraryViewModel(QObject* parent = nullptr);

    // Shows the first page of the catalogue (the latest request, or the default one).
    virtual void loadFirstPage();
    virtual void searchByKeywords(const QString& keywords);
    virtual void searchByAuthor(const QString& author);
};
