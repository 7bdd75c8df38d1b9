#include "service/LocalLibraryModel.h"

#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QBuffer>
#include <QTemporaryFile>
#include <QThreadPool>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <numeric>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileLock.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/NativeFileName.h"
#include "platform/WholeFile.h"
#include "service/DownloadPaths.h"
#include "service/LibraryFiles.h"
#include "service/VideoProbe.h"
#include "service/VideoSign.h"
#include "service/WebModel.h"
#include "shared/AppInfo.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/TextHelpers.h"

namespace {

QString fileUrlText(const QString& path) {
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

// What the worker reads from the source file: always its probe and size; the thumbnail only when
// the service has no record of it.
struct LocalReading {
    VideoProbe probe;
    bool frameDecoded = false;
    QString thumbnailPath;  // empty when no frame was taken or none was wanted
    // Held until the import has reported, so no sweep takes the picture for one no row names.
    std::shared_ptr<libraryfiles::Held> thumbnailHold;
    qint64 sourceSize = 0;
};

LocalReading readLocalFile(const QString& sourcePath, bool withThumbnail) {
    LocalReading reading;
    QImage frame;
    QString error;
    reading.probe = probeVideo(sourcePath, &frame, &error);
    reading.frameDecoded = !frame.isNull();
    reading.sourceSize = QFileInfo(sourcePath).size();
    if (reading.probe.duration <= 0 || !withThumbnail)
        return reading;  // refused later, or the service's picture is used: no thumbnail

    if (!frame.isNull()) {
        const QString path = unusedRandomFilePath(AppInfo::applicationSupport(), QStringLiteral(".png"));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!frame.save(&buffer, "PNG")) {
            error = QStringLiteral("the frame could not be encoded");
        } else if (platform::writeWholeFile(path, png)) {
            reading.thumbnailPath = path;
            reading.thumbnailHold = std::make_shared<libraryfiles::Held>(libraryfiles::hold(path));
        } else {
            error = QStringLiteral("the file could not be written");
        }
    }
    if (reading.thumbnailPath.isEmpty())
        platform::logLine(QStringLiteral("Image generation failed with error ") + error);
    return reading;
}

// A file already at the copy's name that is this very video (same size and sign, and no row has
// that sign, so nothing uses it): the copy of an import killed before its row went in.
bool isLeftoverCopy(const QString& source, const QString& destination, const QString& sign) {
    const QFileInfo there(destination);
    return there.isFile() && !there.isSymLink() && there.size() == QFileInfo(source).size() &&
           videoSign(destination) == sign;
}

// A copy in the library folder that an import holds until it has reported. The exclusive flock
// on its open file tells every import, of this program or of another one on the same folders,
// that the file belongs to a running import and is no leftover; it is taken on the hidden
// temporary before its first byte, so the sweep of what killed imports left passes it by.
// `ours`: this import wrote it, so this import alone may delete it.
struct CopyClaim {
    QString path;
    int lock = -1;
    bool ours = false;
};

// The file at `path`, locked, when no running import holds it and it is still what lies at the
// path once locked; `unguarded` tells that the file system has no locks, so nothing could tell a
// running import's file.
int lockUnheldFile(const QString& path, bool* unguarded = nullptr) {
    libraryfiles::Claim file = libraryfiles::claim(path);
    if (unguarded)
        *unguarded = file.unguarded;
    return file.state == libraryfiles::Claim::claimed ? file.file.release() : -1;
}

// Opens the temporary and locks it through a descriptor of its own (closing the temporary keeps
// the lock). -1 when that failed or the file went before it was locked.
int openLockedTemporary(QTemporaryFile& temporary) {
    if (!temporary.open())
        return -1;
    const int fd = ::fcntl(temporary.handle(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const platform::LockOutcome lock = platform::lockExclusive(fd);
    if ((lock != platform::LockOutcome::locked && lock != platform::LockOutcome::unavailable) ||
        !libraryfiles::isStillAt(fd, temporary.fileName())) {
        ::close(fd);
        errno = ENOENT;
        return -1;
    }
    return fd;
}

// Writes the source whole under a temporary name in `directory`, locked from the start, and only
// then gives it its name: under `name` when free (a link never replaces a file), else the
// leftover of a killed import of this video is taken as it is, else 10 random letters and digits.
std::optional<CopyClaim> placeCopy(const QString& source, const QString& directory, const QString& name,
                                   const QString& suffix, const QString& sign) {
    QFile input(source);
    QTemporaryFile temporary(QDir(directory).filePath(QStringLiteral(".import-XXXXXX")));
    CopyClaim claim{QDir(directory).filePath(name), -1, true};
    bool written = input.open(QIODevice::ReadOnly) && (claim.lock = openLockedTemporary(temporary)) >= 0;
    const QString lockError = QString::fromLocal8Bit(std::strerror(errno));
    while (written && !input.atEnd()) {
        const QByteArray chunk = input.read(1 << 20);
        written = !chunk.isEmpty() && temporary.write(chunk) == chunk.size();
    }
    written = written && temporary.flush() &&
              temporary.setPermissions(input.permissions() | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!written) {
        platform::logLine(QStringLiteral("copy error ") + (!input.isOpen()  ? input.errorString()
                                                           : claim.lock < 0 ? lockError
                                                                            : temporary.errorString()));
        if (claim.lock >= 0)
            ::close(claim.lock);
        return std::nullopt;
    }
    const QByteArray from = QFile::encodeName(temporary.fileName());
    if (::link(from.constData(), QFile::encodeName(claim.path).constData()) == 0)
        return claim;
    int error = errno;
    if (error == EEXIST) {
        if (const int leftover = lockUnheldFile(claim.path);
            leftover >= 0 && isLeftoverCopy(source, claim.path, sign)) {
            platform::logLine(QStringLiteral("Reusing the copy of an earlier import: ") + name);
            ::futimens(leftover, nullptr);  // fresh again for the hour's rule of a mount without locks
            ::close(claim.lock);
            return CopyClaim{claim.path, leftover, false};
        } else if (leftover >= 0) {
            ::close(leftover);
        }
        do {
            claim.path = unusedRandomFilePath(directory, suffix);
            error = ::link(from.constData(), QFile::encodeName(claim.path).constData()) == 0 ? 0 : errno;
        } while (error == EEXIST);
        if (error == 0)
            return claim;
    }
    platform::logLine(QStringLiteral("copy error ") + QString::fromLocal8Bit(std::strerror(error)));
    ::close(claim.lock);
    return std::nullopt;
}

// One import call. Its fields are used on the main thread only; workers get copies of what they
// need and hand results back through the main thread. Whatever path the import takes, the
// completion runs exactly once: when nothing reported by the time the last reference goes away
// (a lost callback, a model that went away), the destructor reports `failure`.
class ImportJob {
public:
    using Ptr = std::shared_ptr<ImportJob>;

    ImportJob(LocalLibraryModel::ImportCompletion completion, QThreadPool* workers, WebModel& web,
              LocalVideoDBManager& database, std::shared_ptr<QDeadlineTimer> serviceQuietUntil)
        : web(&web),
          database(database),
          serviceQuietUntil(std::move(serviceQuietUntil)),
          completion_(std::move(completion)),
          workers_(workers) {}
    ~ImportJob() { report(ImportVideoStatus::failure); }
    ImportJob(const ImportJob&) = delete;
    ImportJob& operator=(const ImportJob&) = delete;

    // The only way out. A failure removes what this import made, so nothing is left behind.
    void report(ImportVideoStatus status) {
        if (reported_)
            return;
        reported_ = true;
        if (status != ImportVideoStatus::complete) {
            // A copy this import found (another's, or a leftover) is not this import's to delete.
            if (copy && copy->ours)
                QFile::remove(copy->path);
            if (local && !local->thumbnailPath.isEmpty())
                QFile::remove(local->thumbnailPath);
        }
        if (copy)
            ::close(copy->lock);  // the row names it, or it is gone: no longer held
        if (local)
            local->thumbnailHold.reset();
        platform::runOnMainThread([completion = std::move(completion_), sign = sign, status] {
            if (completion)
                completion(sign, status);
        });
    }

    // Runs `work` on a worker; nothing when the model (and its workers) is gone.
    void startWork(std::function<void()> work) {
        if (workers_)
            workers_->start(std::move(work));
    }

    QPointer<WebModel> web;         // a step queued before the client went away finds it gone
    LocalVideoDBManager& database;  // used by the workers only, which the model outlives
    // The model's; main thread only.
    std::shared_ptr<QDeadlineTimer> serviceQuietUntil;
    QByteArray nativeSource;                            // the source's path as the file system spells it
    std::shared_ptr<platform::FileByBytes> sourceFile;  // what sourcePath reaches; held while the job lives
    QString sourcePath;
    QString name;
    QString title;
    QString extension;
    bool checkOnline = false;
    QString sign;

    bool copyEnded = false;
    std::optional<CopyClaim> copy;  // set once the copy is in place
    std::optional<VideoDetail> serviceRecord;
    std::optional<LocalReading> local;

private:
    LocalLibraryModel::ImportCompletion completion_;
    QPointer<QThreadPool> workers_;
    bool reported_ = false;
};

ImportVideoStatus importStatus(LocalVideoDBManager::InsertResult result) {
    switch (result) {
    case LocalVideoDBManager::InsertResult::inserted: return ImportVideoStatus::complete;
    case LocalVideoDBManager::InsertResult::alreadyThere: return ImportVideoStatus::isExist;
    case LocalVideoDBManager::InsertResult::failed:
    case LocalVideoDBManager::InsertResult::refused: break;
    }
    return ImportVideoStatus::failure;
}

void storeRecord(const ImportJob::Ptr& job, const VideoDetail& record) {
    job->startWork([job, record] {
        // Another import or a download may have stored this video while we copied: the insert
        // looks for the sign and adds the row under one lock, and says which happened.
        const ImportVideoStatus status = importStatus(job->database.insertVideo(record));
        platform::runOnMainThread([job, status] { job->report(status); });
    });
}

// Joins the copy with the record step once both have ended.
void finishWhenReady(const ImportJob::Ptr& job) {
    if (!job->copyEnded || !job->local)
        return;
    if (!job->copy) {
        job->report(ImportVideoStatus::failure);  // a row would point at a missing file
        return;
    }
    const QString copyUrl = fileUrlText(job->copy->path);
    const LocalReading& reading = *job->local;
    // Whatever the service says of a sign, a file that is no playable video is refused.
    if (reading.probe.duration <= 0 || !reading.probe.hasVideoTrack || reading.probe.width <= 0 ||
        reading.probe.height <= 0 || !reading.frameDecoded) {
        job->report(ImportVideoStatus::failure);
        return;
    }
    if (job->serviceRecord) {
        VideoDetail record = *job->serviceRecord;
        record.url = copyUrl;
        record.sign = job->sign;  // the file's own identity, whatever the service says
        record.size = reading.sourceSize;
        storeRecord(job, record);
        return;
    }
    const QString imageUrl = reading.thumbnailPath.isEmpty() ? QString() : fileUrlText(reading.thumbnailPath);
    storeRecord(job, LocalLibraryModel::generateLocalDetail(job->sign, job->title, copyUrl, reading.probe,
                                                            reading.sourceSize, imageUrl));
}

void readLocalRecord(const ImportJob::Ptr& job) {
    job->startWork([job, source = job->sourcePath, withThumbnail = !job->serviceRecord] {
        LocalReading reading = readLocalFile(source, withThumbnail);
        platform::runOnMainThread([job, reading = std::move(reading)] {
            job->local = reading;
            finishWhenReady(job);
        });
    });
}

void startCopy(const ImportJob::Ptr& job) {
    job->startWork([job, source = job->sourcePath, name = job->name, extension = job->extension, sign = job->sign] {
        const QString suffix = extension.isEmpty() ? QString() : QLatin1Char('.') + extension;
        std::optional<CopyClaim> copy = placeCopy(source, downloadVideoDirectoryPath(), name, suffix, sign);
        platform::runOnMainThread([job, copy = std::move(copy)] {
            job->copyEnded = true;
            job->copy = copy;
            finishWhenReady(job);
        });
    });
}

// Main thread: the sign is known and no row has it.
void importSigned(const ImportJob::Ptr& job) {
    startCopy(job);
    if (!job->checkOnline || !job->web || !job->serviceQuietUntil->hasExpired()) {
        readLocalRecord(job);
        return;
    }
    QElapsedTimer asked;
    asked.start();
    job->web->requestVideoDetail(job->sign, [job, asked](const std::optional<VideoDetail>& detail) {
        if (!detail) {
            // No answer within the time-out (whose coarse timer may end it up to 5% early): a
            // silent service, not one that does not know the video.
            if (asked.elapsed() >= WebModel::kInactivityTimeoutMs * 9 / 10)
                job->serviceQuietUntil->setRemainingTime(LocalLibraryModel::kServiceQuietMs);
            readLocalRecord(job);
            return;
        }
        job->serviceRecord = detail;
        readLocalRecord(job);
    });
}

}  // namespace

LocalLibraryModel& LocalLibraryModel::shared() {
    // Never destroyed: work may still be running while the process ends.
    static LocalLibraryModel* const instance = new LocalLibraryModel(WebModel::shared(), LocalVideoDBManager::shared());
    return *instance;
}

LocalLibraryModel::LocalLibraryModel(WebModel& web, LocalVideoDBManager& database, QObject* parent)
    : QObject(parent),
      web_(web),
      database_(database),
      workers_(new QThreadPool(this)),
      serviceQuietUntil_(std::make_shared<QDeadlineTimer>()) {
    workers_->setMaxThreadCount(4);
    // Before any import of this program could begin: what imports and removals killed earlier
    // left, and the thumbnails no row names.
    workers_->start([&database = database_] {
        sweepImportLeftovers(downloadVideoDirectoryPath());
        libraryfiles::sweepAtStart(database);
    });
}

void LocalLibraryModel::sweepImportLeftovers(const QString& directory) {
    static const QRegularExpression temporaryName(QStringLiteral("^\\.import-[A-Za-z0-9]{6}$"));
    const QDir folder(directory);
    std::optional<std::optional<QDateTime>> folderTime;  // asked once, when first needed
    const auto now = [&folderTime](const QString& in) {
        if (!folderTime)
            folderTime = libraryfiles::folderNow(in);
        return *folderTime;
    };
    for (const QFileInfo& entry : folder.entryInfoList({QStringLiteral(".import-*")}, QDir::Files | QDir::Hidden)) {
        if (!temporaryName.match(entry.fileName()).hasMatch() || entry.isSymLink())
            continue;
        bool unguarded = false;
        const int fd = lockUnheldFile(entry.absoluteFilePath(), &unguarded);
        if (fd < 0)
            continue;  // a running import's, here or in another program
        // Without locks a running import cannot be told: only a file no one wrote for an hour goes,
        // by the clock of the file system, which a network mount's server keeps.
        if (!unguarded || libraryfiles::untouchedForAnHour(entry.absoluteFilePath(), now(directory))) {
            if (QFile::remove(entry.absoluteFilePath()))
                platform::logLine(
                    QStringLiteral("Removed %1, left by an import that was cut short").arg(entry.absoluteFilePath()));
        }
        ::close(fd);
    }
}

LocalLibraryModel::~LocalLibraryModel() {
    workers_->waitForDone();
}

QUrl LocalLibraryModel::downloadVideoDirectory() {
    return QUrl::fromLocalFile(downloadVideoDirectoryPath());
}

void LocalLibraryModel::importVideo(const QUrl& url, bool checkOnline, ImportCompletion completion) {
    auto job = std::make_shared<ImportJob>(std::move(completion), workers_, web_, database_, serviceQuietUntil_);
    if (!url.isLocalFile())
        return;  // the job reports `failure` as it goes
    // The source is read by its bytes: a name that is not UTF-8 has no QString path. The copy is
    // named as the name is shown (an undecodable byte as U+FFFD), which every part can open.
    job->nativeSource = platform::nativeFilePath(url);
    job->name = QFileInfo(QFile::decodeName(job->nativeSource)).fileName();
    if (job->name.isEmpty())
        return;
    job->title = titleOfFileName(job->name);
    job->extension = extensionOfFileName(job->name);
    job->checkOnline = checkOnline;

    job->startWork([job, native = job->nativeSource] {
        auto file = std::make_shared<platform::FileByBytes>(native);  // opened here: the disk may be slow
        const std::optional<QString> sign = videoSign(file->path());
        const bool exists = sign && job->database.videoWithSign(*sign).has_value();
        platform::runOnMainThread([job, file = std::move(file), sign, exists] {
            job->sourceFile = file;
            job->sourcePath = file->path();
            if (!sign) {
                job->report(ImportVideoStatus::failure);
                return;
            }
            job->sign = *sign;
            if (exists) {
                job->report(ImportVideoStatus::isExist);
                return;
            }
            importSigned(job);
        });
    });
}

namespace {
// The position of the dot that starts the extension, or -1: a leading dot starts a hidden
// name, and a trailing dot starts no extension.
qsizetype extensionDot(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 && dot < name.size() - 1 ? dot : -1;
}
}  // namespace

QString LocalLibraryModel::titleOfFileName(const QString& name) {
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? name : name.left(dot);
}

QString LocalLibraryModel::extensionOfFileName(const QString& name) {
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString LocalLibraryModel::ratioText(qint64 width, qint64 height) {
    const qint64 divisor = std::gcd(width, height);
    if (divisor == 0)
        return QStringLiteral("0:0");
    return QString::number(width / divisor) + QLatin1Char(':') + QString::number(height / divisor);
}

VideoDetail LocalLibraryModel::generateLocalDetail(const QString& sign, const QString& title, const QString& copyUrl,
                                                   const VideoProbe& probe, qint64 sourceSize,
                                                   const QString& imageUrl) {
    VideoDetail detail;
    detail.id = 0;
    detail.sign = sign;
    detail.title = title;
    detail.url = copyUrl;
    // Whole seconds, fraction cut off; a clip shorter than a second (one frame lasts 1/25 s)
    // still plays, so it counts as one: no playable video is listed as lasting nothing.
    detail.time = std::max<qint64>(static_cast<qint64>(std::trunc(probe.duration)), probe.duration > 0 ? 1 : 0) * 1000;
    detail.size = sourceSize;
    detail.imgurl = imageUrl;
    // The size and shape the video is seen at, not the stored one (a phone's upright clip is
    // stored sideways, an anamorphic one with narrow pixels).
    detail.ratio = ratioText(probe.shownWidth, probe.shownHeight);
    detail.width = probe.shownWidth;
    detail.height = probe.shownHeight;
    detail.frame = static_cast<qint64>(std::trunc(probe.frameRate));
    detail.rate = probe.bitRate;
    detail.audio = probe.hasAudio ? 1 : 0;
    return detail;
}
