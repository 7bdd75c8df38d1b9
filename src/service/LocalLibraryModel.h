#pragma once
#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

#include "shared/VideoDetail.h"

class LocalVideoDBManager;
class QThreadPool;
class WebModel;
struct VideoProbe;

// The result of importing one file.
enum class ImportVideoStatus : int {
    complete = 0,  // the video is now in the library
    failure = 1,   // the file was not imported; nothing of it is left behind
    isExist = 2,   // a video with the same sign is already in the library; nothing was copied
};

// Brings local video files into the library: sign, duplicate test, copy into "DownloadVideo",
// the service's record or one read from the file (with a PNG thumbnail), and the database row.
//
// Every call reports exactly once, on the main thread, after importVideo has returned. Work that
// takes time (sign, copy, probe, thumbnail, database) runs on the model's worker threads; the
// main thread never waits for it.
class LocalLibraryModel : public QObject {
    Q_OBJECT
public:
    using ImportCompletion = std::function<void(const QString& sign, ImportVideoStatus status)>;

    // The process's instance, created on first use and kept for the life of the process.
    static LocalLibraryModel& shared();

    // Asks `web` for the service's records and stores rows in `database`; both must outlive the
    // model and any import it started.
    LocalLibraryModel(WebModel& web, LocalVideoDBManager& database, QObject* parent = nullptr);
    ~LocalLibraryModel() override;  // waits for running work of this instance

    // Imports the file at `url` (a file URL). With `checkOnline` the service is asked for the
    // video's record by its sign first, unless it let such a request run out of time within the
    // last `kServiceQuietMs`: a batch of files then waits for it once, not once per file.
    // May be called from any thread.
    // The `sign` given to the completion is empty when the failure came before it was known.
    virtual void importVideo(const QUrl& url, bool checkOnline, ImportCompletion completion);

    static constexpr int kServiceQuietMs = 60000;

    // "<applicationSupport>/DownloadVideo", made when missing: imported and downloaded videos.
    static QUrl downloadVideoDirectory();

    // Removes the hidden temporaries (".import-XXXXXX") that imports killed part-way left in
    // `directory`, except those a running import holds, of this program or of another one. Where
    // the mount has no locks, only those nobody wrote for an hour by the folder's own clock.
    static void sweepImportLeftovers(const QString& directory);

    // File-name rules: "my.video.mov" has the title "my.video" and the extension "mov"; a name
    // without an extension (also ".hidden" and "name.") is its own title.
    static QString titleOfFileName(const QString& name);
    static QString extensionOfFileName(const QString& name);
    // Width and height over their greatest common divisor: "16:9". Both must be above 0.
    static QString ratioText(qint64 width, qint64 height);
    // The record of a file the service does not know (fields as the library stores them).
    static VideoDetail generateLocalDetail(const QString& sign, const QString& title, const QString& copyUrl,
                                           const VideoProbe& probe, qint64 sourceSize, const QString& imageUrl);

private:
    WebModel& web_;
    LocalVideoDBManager& database_;
    QThreadPool* workers_;
    // Main thread: until when the service is not asked, after it let a request run out of time.
    std::shared_ptr<QDeadlineTimer> serviceQuietUntil_;
};
