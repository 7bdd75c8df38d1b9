#include "MainWindow/startup/MainParts.h"

#include "MainWindow/library/ImageLoader.h"
#include "MainWindow/library/LocalLibraryIndex.h"
#include "MainWindow/startup/PlayerStatus.h"
#include "platform/AppLauncher.h"
#include "platform/Bundle.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/NotificationCenter.h"
#include "platform/Paths.h"
#include "service/DownloadManager.h"
#include "service/LocalLibraryModel.h"
#include "service/WebModel.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"

#include <QCoreApplication>
#include <QDir>

namespace {
// The process's picture loader: its disk cache in "<cache folder>/images", its memory cache its own.
ImageLoader& processImageLoader() {
    static auto* loader = [] {
        const QString identifier = platform::mainBundle().identifier.value_or(
            QString::fromLatin1(platform::kMainAppIdentifier));
        auto* made = new ImageLoader(QDir(platform::ownCachesDirectory(identifier)).filePath(QStringLiteral("images")));
        // The loader outlives the application object, but its decoders must not: image readers
        // need the application's plugins, which go with it.
        if (QCoreApplication* app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, made, [made] { made->stopDecoding(); });
        // An application object that goes without its event loop ending sends no aboutToQuit:
        // its destructor still runs the post routines, before the plugins are unloaded.
        qAddPostRoutine([] { processImageLoader().stopDecoding(); });
        return made;
    }();  // lives for the whole process
    return *loader;
}
}  // namespace

MainParts MainParts::make() {
    return {
        []() -> Preferences& { return Preferences::shared(); },
        []() -> WebModel& { return WebModel::shared(); },
        []() -> DownloadManager& { return DownloadManager::shared(); },
        []() -> DownloadManager* { return DownloadManager::existing(); },
        []() -> LocalVideoDBManager& { return LocalVideoDBManager::shared(); },
        []() -> LocalLibraryIndex& {
            static auto* index = new LocalLibraryIndex(LocalVideoDBManager::shared());  // lives for the whole process
            return *index;
        },
        []() -> LocalLibraryModel& { return LocalLibraryModel::shared(); },
        []() -> ImageLoader& { return processImageLoader(); },
        []() -> platform::NotificationCenter& { return platform::NotificationCenter::defaultCenter(); },
        []() -> platform::DistributedNotificationCenter& {
            return platform::DistributedNotificationCenter::defaultCenter();
        },
        []() -> PlayerStatus& {
            static auto* status = new PlayerStatus(platform::DistributedNotificationCenter::defaultCenter());
            return *status;  // lives for the whole process
        },
    };
}
