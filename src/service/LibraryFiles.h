#pragma once
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

#include "shared/VideoDetail.h"

class LocalVideoDBManager;

// The files of the library folders ("DownloadVideo" and the thumbnails in "Application
// Support") and who holds them. An import or a download holds its file with an exclusive flock
// from before the file has its name until its row is in, so a sweep or "Clear All", of this
// program or of another one on the same folders, tells a live file from a leftover.
namespace libraryfiles {

// An open descriptor, closed (and its lock dropped) with the object.
class Held {
public:
    explicit Held(int fd = -1) : fd_(fd) {}
    ~Held();
    Held(Held&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Held& operator=(Held&& other) noexcept;
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    int fd() const { return fd_; }
    int release();  // the descriptor, no longer closed here

private:
    int fd_;
};

// Whether `fd` is still the regular file at `path` (a sweep or a failed import may have removed it).
bool isStillAt(int fd, const QString& path);

// What claiming the file at a path found.
struct Claim {
    enum State {
        claimed,  // nobody holds it: `file` is locked by this process (or, when it cannot be
                  // opened for writing, is -1: then no import of this user can hold it either)
        held,     // a running import or download holds it
        absent,   // nothing is there
    } state = absent;
    QString path;
    Held file;
    bool unguarded = false;  // the file system has no locks: nobody's hold could be seen
};
Claim claim(const QString& path);

// Opens the file at `path` for writing and locks it, waiting for nobody, and sets its time to
// now, so that where the mount has no locks the hour's rule below sees it as fresh. The file
// is held as long as the result lives; -1 inside when it cannot be opened.
Held hold(const QString& path);

// The present time by the clock of the file system that holds `directory`: the time of a file
// just made there. A network mount's server may be hours away from this machine's clock. None
// when no file can be made there.
std::optional<QDateTime> folderNow(const QString& directory);
// Whether nobody wrote the file at `path` for an hour, by `now` from folderNow.
bool untouchedForAnHour(const QString& path, const std::optional<QDateTime>& now);

// Whether `path` is a thumbnail of the library: "<10 letters or digits>.png" right in
// "Application Support".
bool isThumbnail(const QString& path);
// The local file a stored url text names; none for text that is no file URL.
std::optional<QString> localPathOf(const QString& urlText);

// Removes the thumbnails no row of `rows` names and that nobody holds or wrote within the hour
// (an import writes its picture before its row goes in). `rows` must be every row.
void sweepUnnamedThumbnails(const std::vector<VideoDetail>& rows);

// A removal deletes its files only once its rows' deletion is committed. Before the commit it
// notes which files it will delete ("Application Support/.removing-<10 letters or digits>"),
// and once they are gone it removes the note: a start after a kill in between finds the note and
// deletes the files no row names by then. None when the note could not be written (the removal
// goes on; a kill would then leave the files for the next "Clear All").
std::optional<QString> noteRemoval(const std::vector<Claim>& files);

// At start, over a complete read of `database` (the default library only): ends the removals
// that were cut short, then sweeps the unnamed thumbnails. Nothing when the library is held,
// cannot be read to its end, or was just set aside as damaged.
void sweepAtStart(LocalVideoDBManager& database);

}  // namespace libraryfiles
