#include "MainWindow/locallibrary/LocalLibraryViewModel.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSet>

#include <algorithm>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "MainWindow/library/ImageLoader.h"
#include "MainWindow/library/LocalLibraryIndex.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/gui/FileManager.h"
#include "service/LocalLibraryModel.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"

namespace {
using libraryfiles::localPathOf;

// Whether two paths name the same file: by its real path where it exists, by the cleaned path
// where it does not (a row whose file was removed by hand still names that place).
bool samePath(const QString& a, const QString& b) {
    const QString realA = QFileInfo(a).canonicalFilePath();
    const QString realB = QFileInfo(b).canonicalFilePath();
    if (!realA.isEmpty() && !realB.isEmpty())
        return realA == realB;
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) == QDir::cleanPath(QFileInfo(b).absoluteFilePath());
}

// Whether a row that stays names the file at `path` in `field` (its video or its thumbnail);
// `going` tells the rows that go.
bool namedByRowThatStays(const std::vector<VideoDetail>& rows, const QString& path,
                         const std::function<bool(const VideoDetail&)>& going, QString VideoDetail::*field) {
    return std::any_of(rows.begin(), rows.end(), [&](const VideoDetail& row) {
        const std::optional<QString> named = going(row) ? std::nullopt : localPathOf(row.*field);
        return named && samePath(*named, path);
    });
}

bool alreadyDoomed(const QString& path, const LocalLibraryViewModel::RemovalFiles& files) {
    return std::any_of(files.doomed.begin(), files.doomed.end(),
                       [&path](const libraryfiles::Claim& taken) { return samePath(taken.path, path); });
}

// Takes the file at `path` for removal once the rows are deleted. A file that a running import
// or download holds (a leftover it is about to reuse) stays: its row comes with it.
void doom(const QString& path, LocalLibraryViewModel::RemovalFiles& files) {
    if (alreadyDoomed(path, files))
        return;
    libraryfiles::Claim file = libraryfiles::claim(path);
    if (file.state == libraryfiles::Claim::claimed)
        files.doomed.push_back(std::move(file));
    else if (file.state == libraryfiles::Claim::held)
        platform::logLine(QStringLiteral("remove video: the file stays, a running import holds it"));
}

// The thumbnails of the rows that go, when no row that stays names them.
void doomThumbnails(const std::vector<VideoDetail>& rows, const std::function<bool(const VideoDetail&)>& going,
                    LocalLibraryViewModel::RemovalFiles& files) {
    for (const VideoDetail& row : rows) {
        const std::optional<QString> picture = going(row) ? localPathOf(row.imgurl) : std::nullopt;
        if (picture && libraryfiles::isThumbnail(*picture) &&
            !namedByRowThatStays(rows, *picture, going, &VideoDetail::imgurl))
            doom(*picture, files);
    }
}

// Why the database did not change with the files; `all` for "Clear All".
QString writeProblemText(LocalVideoDBManager::WriteResult result, bool all) {
    if (result == LocalVideoDBManager::WriteResult::busy)
        return all ? LocalLibraryViewModel::tr(
                         "The videos were not removed: another program is using the video "
                         "library. Try again in a moment.")
                   : LocalLibraryViewModel::tr(
                         "The video was not removed: another program is using the video "
                         "library. Try again in a moment.");
    return all ? LocalLibraryViewModel::tr("The videos were not removed: the video library cannot be changed.")
               : LocalLibraryViewModel::tr("The video was not removed: the video library cannot be changed.");
}

}  // namespace

LocalLibraryViewModel::LocalLibraryViewModel(const MainParts& parts, QObject* parent)
    : LibraryViewModel(parts, parent), preferences_(parts.preferences()), database_(parts.database()) {
    connect(&parts_.library(), &LocalLibraryIndex::changed, this, &LocalLibraryViewModel::libraryChanged);
}

void LocalLibraryViewModel::reloadVideos(bool scrollToTop) {
    // The queued steps run in this order: the picture cleared, the first row reported (queued by
    // the list assignment), the playing video selected, then the offset and the empty picture.
    QMetaObject::invokeMethod(
        this, [this] { clearContainerImage(); }, Qt::QueuedConnection);
    // A reload still waiting for the database is answered by this one.
    const bool toTop = pendingScrollToTop_.value_or(false) || scrollToTop;
    pendingScrollToTop_.reset();
    if (std::optional<std::vector<VideoDetail>> videos = parts_.library().readNow()) {
        showVideos(std::move(*videos), toTop);
        return;
    }
    // The other program holds the database: the list keeps what it shows until the rows come.
    pendingScrollToTop_ = toTop;
}

void LocalLibraryViewModel::libraryChanged() {
    if (!pendingScrollToTop_)
        return;
    const bool scrollToTop = *pendingScrollToTop_;
    pendingScrollToTop_.reset();
    if (const auto& rows = parts_.library().rows())
        showVideos(*rows, scrollToTop);
}

void LocalLibraryViewModel::showVideos(std::vector<VideoDetail> videos, bool scrollToTop) {
    const bool hadView = collectionView() != nullptr;
    const int offset = hadView ? collectionView()->contentOffset() : 0;
    const bool empty = videos.empty();
    setVideoList(std::move(videos));
    QMetaObject::invokeMethod(
        this, [this] { selectPlayingVideo(); }, Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        this,
        [this, hadView, offset, scrollToTop, empty] {
            CollectionPort* view = collectionView();
            if (!view)
                return;
            if (hadView && !scrollToTop)
                view->setContentOffset(offset);
            if (empty)
                view->setContainerImage(QStringLiteral("empty_video_list"));
        },
        Qt::QueuedConnection);
    if (scrollToTop && collectionView())
        collectionView()->scrollToTop();
}

void LocalLibraryViewModel::reloadData() {
    reloadVideos(true);
    LibraryViewModel::reloadData();
}

void LocalLibraryViewModel::selectPlayingVideo() {
    if (!preferences_.isOpenPlayer() || !collectionView() || !videoList())
        return;
    const std::optional<QString> sign = preferences_.playingVideoSign();
    if (!sign)
        return;
    const std::vector<VideoDetail>& list = *videoList();
    for (size_t row = 0; row < list.size(); ++row) {
        if (list[row].sign == *sign) {
            collectionView()->selectRow(int(row));
            reportSelectedVideo(int(row));
        }
    }
}

void LocalLibraryViewModel::importVideos(const QList<QUrl>& urls, std::function<void()> completion,
                                         bool existingIsFine) {
    ImportBatchHooks hooks = shell.importWindows;
    hooks.existingIsFine = existingIsFine;
    QPointer<LocalLibraryViewModel> self(this);
    hooks.reload = [self] {
        if (self)
            self->reloadVideos(true);
    };
    ImportBatch::start(urls, std::move(hooks), std::move(completion), parts_.importer(), parts_.distributedNotices());
}

std::vector<MenuEntry> LocalLibraryViewModel::itemMenu(const VideoDetail& video) {
    std::vector<MenuEntry> entries;
    if (!video.preurl.isEmpty())
        entries.push_back({tr("Preview Video"), [this] { previewItemAction(); }});
    entries.push_back({tr("Set as Wallpaper"), [this] { setBackgroundItemAction(); }});
    entries.push_back({tr("Remove"), [this] { deleteItemAction(); }});
    entries.push_back({tr("Show in %1").arg(platform::fileManagerName()), [this] { showInVideoFinderItemAction(); }});
    return entries;
}

std::vector<MenuEntry> LocalLibraryViewModel::emptyAreaMenu() {
    return {{tr("Import Video"), [this] { importVideoItemAction(); }},
            {tr("Open Resource Path"), [this] { openResourcePathItemAction(); }},
            {tr("Clear All"), [this] { clearAllItemAction(); }}};
}

void LocalLibraryViewModel::didRightClickItem(std::optional<int> row, QPoint globalPos) {
    CollectionPort* view = collectionView();
    if (!view)
        return;
    if (!row) {
        view->popupMenu(emptyAreaMenu(), globalPos);
        return;
    }
    const VideoDetail* video = videoAt(*row);
    if (!video)
        return;
    if (videoDetailDidChanged)
        videoDetailDidChanged(*video);
    currentItem_ = *video;
    view->selectRow(*row);
    view->popupMenu(itemMenu(*video), globalPos);
}

void LocalLibraryViewModel::didDoubleClickItem(std::optional<int> row) {
    const VideoDetail* video = row ? videoAt(*row) : nullptr;
    if (!video)
        return;
    preferences_.setPlayingVideoSign(video->sign);
    preferences_.setIsOpenPlayer(true);
}

void LocalLibraryViewModel::previewItemAction() {
    if (!currentItem_ || !shell.showPreview)
        return;
    if (const std::optional<QUrl> url = ImageLoader::looseUrl(currentItem_->preurl))
        shell.showPreview(*url);
}

void LocalLibraryViewModel::setBackgroundItemAction() {
    if (!currentItem_)
        return;
    preferences_.setPlayingVideoSign(currentItem_->sign);
    preferences_.setIsOpenPlayer(true);
}

bool LocalLibraryViewModel::isInsideVideoDirectory(const QString& path) {
    const QString folder = QFileInfo(LocalLibraryModel::downloadVideoDirectory().toLocalFile()).canonicalFilePath();
    // The real path, so neither "../" nor a link can lead out of the folder.
    const QString file = QFileInfo(path).canonicalFilePath();
    return !folder.isEmpty() && !file.isEmpty() && file.startsWith(folder + QLatin1Char('/'));
}

void LocalLibraryViewModel::deleteItemAction() {
    if (!currentItem_)
        return;
    const std::optional<QString> path = localPathOf(currentItem_->url);
    if (!path)
        return;
    removeOnWorker(
        [sign = currentItem_->sign, path = *path](const std::vector<VideoDetail>& rows,
                                                  const LocalVideoDBManager::DeleteRows& remove, QString& problem,
                                                  RemovalFiles& files) {
            const auto going = [&sign](const VideoDetail& row) { return row.sign == sign; };
            // Another video may live under the same name now (this one's file was removed by
            // hand, another imported in its place): only the row goes. The database is shared
            // with another program: a row that points elsewhere loses its row only, never the
            // user's file.
            if (namedByRowThatStays(rows, path, going, &VideoDetail::url)) {
                platform::logLine(QStringLiteral("remove video: the file stays, another row names it"));
            } else if (isInsideVideoDirectory(path)) {
                // A file that cannot be removed keeps its row: a row without its file would be
                // lost, a file without its row would stay for good.
                problem = removalProblem(path);
                if (!problem.isEmpty())
                    return false;
                doom(path, files);
            }
            doomThumbnails(rows, going, files);
            if (!remove(sign)) {
                problem = writeProblemText(LocalVideoDBManager::WriteResult::failed, false);
                return false;
            }
            return true;
        },
        false);
}

void LocalLibraryViewModel::removeOnWorker(RemovalChange change, bool all) {
    QPointer<LocalLibraryViewModel> self(this);
    platform::DistributedNotificationCenter* notices = &parts_.distributedNotices();
    // Behind the import batches: a removal never meets a batch halfway through the folder.
    ImportBatch::runAfterBatches([self, notices, database = &database_, change = std::move(change), all] {
        Removal removal;
        RemovalFiles files;
        const LocalVideoDBManager::WriteResult result = database->deleteVideos(
            [&](const std::vector<VideoDetail>& rows, const LocalVideoDBManager::DeleteRows& remove) {
                removal.changed = change(rows, remove, removal.problem, files);
                if (removal.changed)
                    files.note = libraryfiles::noteRemoval(files.doomed);
                return removal.changed;
            });
        if (result == LocalVideoDBManager::WriteResult::done && removal.changed) {
            removeFiles(files, all);
        } else {
            if (result != LocalVideoDBManager::WriteResult::done)
                removal.problem = writeProblemText(result, all);
            if (files.note)
                QFile::remove(*files.note);  // the rows stay: nothing is left to do
        }
        platform::runOnMainThread([self, notices, removal = std::move(removal), all] {
            if (self)
                self->endRemoval(removal, all);
            // The rows are gone whether or not the window still is.
            if (removal.changed)
                notices->post(ImportBatch::updateVideoListNotification);
        });
    });
}

void LocalLibraryViewModel::endRemoval(const Removal& removal, bool scrollToTop) {
    if (!removal.problem.isEmpty() && shell.showRemoveProblem)
        shell.showRemoveProblem(removal.problem);
    if (removal.changed)
        reloadVideos(scrollToTop);
    emit removalEnded();
}

void LocalLibraryViewModel::removeFiles(RemovalFiles& files, bool all) {
    bool allGone = true;
    for (const libraryfiles::Claim& file : files.doomed) {
        if (!QFile::remove(file.path) && QFileInfo::exists(file.path)) {
            platform::logLine(QStringLiteral("remove failed, the next start tries again: ") + file.path);
            allGone = false;
        }
    }
    files.doomed.clear();  // let go only once removed: no import took one for a leftover of its own
    if (files.note && allGone)
        QFile::remove(*files.note);
    if (!all)
        return;
    LocalLibraryModel::sweepImportLeftovers(LocalLibraryModel::downloadVideoDirectory().toLocalFile());
    libraryfiles::sweepUnnamedThumbnails(files.staying);
}

QString LocalLibraryViewModel::removalProblem(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    // By the rights this process acts with (a read-only folder, or an immutable one, refuses
    // the removal); otherwise it is the file itself that is immutable or append-only.
    if (::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return tr("The video was not removed: the folder \"%1\" cannot be changed.")
            .arg(QDir::toNativeSeparators(folder));
    struct statx about = {};
    const auto refusing = STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND;
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), AT_SYMLINK_NOFOLLOW, 0, &about) == 0 &&
        (about.stx_attributes & about.stx_attributes_mask & refusing))
        return tr("The video was not removed: the file \"%1\" cannot be changed.").arg(QDir::toNativeSeparators(path));
    return {};
}

void LocalLibraryViewModel::showInVideoFinderItemAction() {
    if (!currentItem_)
        return;
    if (const std::optional<QString> path = localPathOf(currentItem_->url))
        platform::showInFileManager(*path);
}

void LocalLibraryViewModel::importVideoItemAction() {
    if (!shell.chooseVideoFiles)
        return;
    QPointer<LocalLibraryViewModel> self(this);
    shell.chooseVideoFiles([self](const QList<QUrl>& urls) {
        if (!self)
            return;
        self->reloadVideos(true);
        self->importVideos(urls);
    });
}

void LocalLibraryViewModel::openResourcePathItemAction() {
    QDesktopServices::openUrl(LocalLibraryModel::downloadVideoDirectory());
}

void LocalLibraryViewModel::clearAllItemAction() {
    if (!collectionView() || !shell.confirmClearAll)
        return;
    QPointer<LocalLibraryViewModel> self(this);
    shell.confirmClearAll([self](bool confirmed) {
        if (self)
            self->clearAllVideos(confirmed);
    });
}

void LocalLibraryViewModel::clearAllVideos(bool confirmed) {
    platform::logLine(confirmed ? QStringLiteral("clear all: OK") : QStringLiteral("clear all: Cancel"));
    if (!confirmed)
        return;
    removeOnWorker(
        [](const std::vector<VideoDetail>& rows, const LocalVideoDBManager::DeleteRows& remove, QString& problem,
           RemovalFiles& files) {
            // A row stays with a file that cannot be removed; the rows go by sign, so a sign
            // stays while one of its rows names such a file. Every other file is tried.
            QSet<QString> staying;
            for (const VideoDetail& video : rows) {
                const std::optional<QString> path = localPathOf(video.url);
                if (path && QFileInfo::exists(*path) && isInsideVideoDirectory(*path) &&
                    !removalProblem(*path).isEmpty())
                    staying.insert(video.sign);
            }
            const auto going = [&staying](const VideoDetail& row) { return !staying.contains(row.sign); };
            for (const VideoDetail& video : rows) {
                const std::optional<QString> path = going(video) ? localPathOf(video.url) : std::nullopt;
                if (path && isInsideVideoDirectory(*path) &&
                    !namedByRowThatStays(rows, *path, going, &VideoDetail::url))
                    doom(*path, files);
            }
            doomThumbnails(rows, going, files);
            // What no row names: the copies of imports and downloads killed before their row
            // went in. One a running import or download holds is on its way in and stays; where
            // the mount has no locks, only what nobody wrote for an hour goes.
            const QDir folder(LocalLibraryModel::downloadVideoDirectory().toLocalFile());
            const std::optional<QDateTime> now = libraryfiles::folderNow(folder.path());
            for (const QFileInfo& entry : folder.entryInfoList(QDir::Files)) {
                if (alreadyDoomed(entry.filePath(), files) ||
                    namedByRowThatStays(rows, entry.filePath(), going, &VideoDetail::url))
                    continue;
                libraryfiles::Claim leftover = libraryfiles::claim(entry.filePath());
                if (leftover.state == libraryfiles::Claim::claimed && leftover.file.fd() >= 0 &&
                    (!leftover.unguarded || libraryfiles::untouchedForAnHour(entry.filePath(), now)))
                    files.doomed.push_back(std::move(leftover));
            }
            QSet<QString> removed;
            for (const VideoDetail& video : rows) {
                if (!going(video)) {
                    files.staying.push_back(video);
                } else if (!removed.contains(video.sign)) {
                    // A row that did not go would name a removed file: nothing changes then.
                    if (!remove(video.sign)) {
                        problem = writeProblemText(LocalVideoDBManager::WriteResult::failed, true);
                        return false;
                    }
                    removed.insert(video.sign);
                }
            }
            return true;
        },
        true);
}
