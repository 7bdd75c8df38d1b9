#pragma once
// Puts a clip in the library of the current XDG folders, the way the main program fills it.
#include "platform/AppLauncher.h"
#include "platform/Bundle.h"
#include "shared/LocalVideoDBManager.h"

#include <QUrl>

namespace apptest {
// Returns how many videos the library holds afterwards.
inline size_t addToMainLibrary(const QString& clip, const QString& sign, const QString& title) {
    // Only the main program inserts; the process is that program for the insert alone.
    const platform::BundleInfo before = platform::mainBundle();
    platform::setMainBundle(
        {QStringLiteral("1.0.0"), QStringLiteral("1"), QString::fromLatin1(platform::kMainAppIdentifier)});
    LocalVideoDBManager db(LocalVideoDBManager::defaultPath());
    VideoDetail video;
    video.sign = sign;
    video.title = title;
    video.url = QUrl::fromLocalFile(clip).toString(QUrl::FullyEncoded);
    db.insertVideo(video);
    platform::setMainBundle(before);
    return db.allVideos().size();
}
}  // namespace apptest
