#include "MainWindow/locallibrary/SampleVideoImport.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

#include "platform/Bundle.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"

SampleVideoImport::SampleVideoImport(Preferences& preferences, LocalVideoDBManager& database, ImportVideos importVideos,
                                     std::function<void()> showLocalTab, QObject* parent)
    : QObject(parent),
      sampleDirectory(installedSampleDirectory()),
      preferences_(preferences),
      database_(database),
      importVideos_(std::move(importVideos)),
      showLocalTab_(std::move(showLocalTab)) {}

QStringList SampleVideoImport::sampleTitles() {
    return {QStringLiteral("Aurora"), QStringLiteral("Deep Ocean"), QStringLiteral("Lavender Mist"),
            QStringLiteral("Sunset Glow")};
}

QString SampleVideoImport::installedSampleDirectory() {
    return QDir(platform::dataDirectory()).filePath(QStringLiteral("samples"));
}

QList<QUrl> SampleVideoImport::sampleVideoUrls(const QString& directory) {
    QList<QUrl> found;
    for (const QString& title : sampleTitles()) {
        const QFileInfo file(QDir(directory).filePath(title + QStringLiteral(".mp4")));
        if (file.isFile())
            found.append(QUrl::fromLocalFile(file.absoluteFilePath()));
    }
    return found;
}

void SampleVideoImport::importSampleVideosIfNeeded() {
    // The screen may show again while the batch runs; a second batch would only repeat it.
    if (running_ || preferences_.alreadyImportVideo() || !importVideos_)
        return;
    running_ = true;
    const QList<QUrl> found = sampleVideoUrls(sampleDirectory);
    QPointer<SampleVideoImport> self(this);
    LocalVideoDBManager& database = database_;
    // The batch ends on its worker, which may wait for the other program's lock; the window's
    // thread may not.
    importVideos_(found, [self, found, &database] {
        std::optional<std::vector<VideoDetail>> rows = database.readAllVideos(true);
        platform::runOnMainThread([self, found, rows = std::move(rows)] {
            if (self)
                self->finishSampleImport(found, rows);
        });
    });
}

void SampleVideoImport::finishSampleImport(const QList<QUrl>& found,
                                           const std::optional<std::vector<VideoDetail>>& rows) {
    running_ = false;
    if (!found.isEmpty() && showLocalTab_)
        showLocalTab_();
    preferences_.setAlreadyImportVideo(true);
    // A library held past the wait says nothing of its rows: the stored choice stays.
    if (rows)
        preferences_.setPlayingVideoSign(rows->empty() ? QString() : rows->back().sign);
    else
        platform::logLine(QStringLiteral("sample import: library busy, playing video kept"));
    preferences_.setIsOpenPlayer(true);
}
