#pragma once
#include "MainWindow/Controller/LibraryViewModel.h"

// The local tab: the videos of the library database, in database order.
class LocalLibraryViewModel : public LibraryViewModel {
    Q_OBJECT
public:
    explicit LocalLibraryViewModel(QObject* parent = nullptr);

    // Re-reads the database into the list; with `scrollToTop` the list starts at its top.
    virtual void reloadVideos(bool scrollToTop);

    // The database is read again before the refresh.
    void reloadData() override;
};
