#pragma once
#include <functional>

class DownloadManager;
class ImageLoader;
class LocalLibraryIndex;
class LocalLibraryModel;
class LocalVideoDBManager;
class PlayerStatus;
class Preferences;
class WebModel;
namespace platform {
class DistributedNotificationCenter;
class NotificationCenter;
}  // namespace platform

// The services of the main program, handed to every controller and view that uses one. Each is
// reached through a getter, so a service is still made on first use (the download queue restores
// and restarts its list when it is made, which must not happen in a second Tavvel that only asks
// the first to show its window). Tests replace a getter to give their own instance.
struct MainParts {
    std::function<Preferences&()> preferences;
    std::function<WebModel&()> web;
    std::function<DownloadManager&()> downloads;
    // The download queue when `downloads` has made it, else null (quitting must not make one).
    std::function<DownloadManager*()> downloadsIfMade;
    std::function<LocalVideoDBManager&()> database;
    // The window's view of `database`, which never waits for it.
    std::function<LocalLibraryIndex&()> library;
    std::function<LocalLibraryModel&()> importer;
    std::function<ImageLoader&()> images;
    // In-process notices, and the ones between Tavvel and the desktop player.
    std::function<platform::NotificationCenter&()> notices;
    std::function<platform::DistributedNotificationCenter&()> distributedNotices;
    // The desktop player's life and its reports, for the window to show.
    std::function<PlayerStatus&()> playerStatus;

    // The process's own instances: the one place of the main program that names them.
    static MainParts make();
};
