#include "MainWindow/locallibrary/SampleVideoImport.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

#include "platform/Bundle.h"
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
    importVideos_(found, [self, found] {
        platform::runOnMainThread([self, found] {
            if (self)
                self->finishSampleImport(found);
        });
    });
}

void SampleVideoImport::finishSampleImport(const QList<QUrl>& found) {
    running_ = false;
    if (!found.isEmpty() && showLocalTab_)
        showLocalTab_();
    preferences_.setAlreadyImportVideo(true);
    const std::vector<VideoDetail> videos = database_.allVideos();
    preferences_.setPlayingVideoSign(videos.empty() ? QString() : videos.back().sign);
    preferences_.setIsOpenPlayer(true);
}
