#pragma once
#include "MainWindow/locallibrary/ImportBatch.h"
#include "MainWindow/library/LibraryViewModel.h"
#include "service/LibraryFiles.h"

#include <QList>
#include <QUrl>

class Preferences;
class LocalVideoDBManager;

// The local tab: the videos of the library database, in database order. It marks the video
// that plays as wallpaper, offers a menu for an item (preview, set as wallpaper, remove, show in
// the file manager) and one for the empty area (import, open the video folder, clear all), sets a
// double-clicked video as wallpaper, and runs the import batches. Main thread only.
class LocalLibraryViewModel : public LibraryViewModel {
    Q_OBJECT
public:
    explicit LocalLibraryViewModel(const MainParts& parts, QObject* parent = nullptr);

    // What the model asks of the window around it; each may be left empty (then nothing happens).
    struct Shell {
        // The preview window with a video's preview page.
        std::function<void(const QUrl&)> showPreview;
        // A non-modal file dialog for videos; the callback gets the chosen files (not on cancel).
        std::function<void(std::function<void(const QList<QUrl>&)>)> chooseVideoFiles;
        // Asks before clearing the library; the callback gets true for "OK" (not waited for).
        std::function<void(std::function<void(bool)>)> confirmClearAll;
        // Tells why a video stayed in the library (its file could not be removed, or the other
        // program held the database).
        std::function<void(const QString&)> showRemoveProblem;
        // The progress window and alerts of an import batch (its reload is the model's own).
        ImportBatchHooks importWindows;
    };
    Shell shell;

    // The video whose item menu opened last; the item actions act on it.
    const std::optional<VideoDetail>& currentItem() const { return currentItem_; }

    // Re-reads the database and refreshes the tab. With `scrollToTop` the list starts at its top;
    // without it the scroll position stays. Then the playing video is selected. While the other
    // program holds the database, all of it happens once the rows have been read.
    virtual void reloadVideos(bool scrollToTop);
    // The database is read again before the refresh.
    void reloadData() override;

    // One import batch of these files in this order; `completion` runs when it has ended, on the
    // batch's worker. Returns at once.
    // With `existingIsFine`, a file already in the library raises no alert.
    void importVideos(const QList<QUrl>& urls, std::function<void()> completion = {}, bool existingIsFine = false);

    void didRightClickItem(std::optional<int> row, QPoint globalPos) override;
    void didDoubleClickItem(std::optional<int> row) override;

    // The menus as they are offered now (titles in order).
    std::vector<MenuEntry> itemMenu(const VideoDetail& video);
    std::vector<MenuEntry> emptyAreaMenu();

    // Item menu actions (on currentItem()). "Remove" deletes the row and then the file and its
    // thumbnail, when no other row names them, on the import batches' worker; both stay when
    // the file cannot go.
    void previewItemAction();
    void setBackgroundItemAction();
    void deleteItemAction();
    void showInVideoFinderItemAction();
    // Empty-area menu actions.
    void importVideoItemAction();
    void openResourcePathItemAction();
    void clearAllItemAction();
    // The confirmed clear, on the same worker: every row goes but those of a file that cannot be
    // removed, in one transaction; then the files and thumbnails of the rows that went, and
    // what no row names and no running import or download holds; the list reloads and the
    // desktop player is told. While the other program holds the database nothing is touched and
    // the user is told.
    void clearAllVideos(bool confirmed);

    // Whether a file lies inside the library's own "DownloadVideo" folder: the only files that
    // removing a video may delete.
    static bool isInsideVideoDirectory(const QString& path);
    // Why the file at `path` cannot be removed: its folder, or the file itself, cannot be changed
    // (with the path); empty when it can.
    static QString removalProblem(const QString& path);
    // The files a removal deletes once its rows' deletion is committed, held until then; and,
    // for "Clear All", the rows that stay (their thumbnails stay).
    struct RemovalFiles {
        std::vector<libraryfiles::Claim> doomed;
        std::vector<VideoDetail> staying;
        std::optional<QString> note;  // libraryfiles::noteRemoval's, until every file is gone
    };

signals:
    // A removal or a confirmed clear has come back from the worker: the user was told what
    // stayed, and the list's reload has started.
    void removalEnded();

private:
    // What a removal on the worker came to.
    struct Removal {
        bool changed = false;  // rows went: the list reloads and the desktop player is told
        QString problem;       // what the user is told; empty for nothing
    };
    // Runs `change` on the worker inside one database transaction (kept when it returns true;
    // `problem` is what the user is told), then removes the files it named, and shows the
    // outcome back on this thread: a kill leaves files no row names, never a row without its
    // file. `all`: the whole library ("Clear All"), which also scrolls the list to the top.
    // `remove` deletes one row by its sign (the database's DeleteRows).
    using RemovalChange =
        std::function<bool(const std::vector<VideoDetail>& rows, const std::function<bool(const QString& sign)>& remove,
                           QString& problem, RemovalFiles& files)>;
    void removeOnWorker(RemovalChange change, bool all);
    // On the worker, after the commit: the files go, then what "Clear All" sweeps.
    static void removeFiles(RemovalFiles& files, bool all);
    void endRemoval(const Removal& removal, bool scrollToTop);
    void selectPlayingVideo();
    void showVideos(std::vector<VideoDetail> videos, bool scrollToTop);
    void libraryChanged();

    Preferences& preferences_;
    LocalVideoDBManager& database_;
    std::optional<VideoDetail> currentItem_;
    // A reload waiting for the database (whether it scrolls to the top).
    std::optional<bool> pendingScrollToTop_;
};
