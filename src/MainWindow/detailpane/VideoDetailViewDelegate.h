#pragma once
#include "shared/VideoDetail.h"

#include <QString>
#include <functional>
#include <optional>

// What the detail pane asks of the library screen.
class VideoDetailViewDelegate {
public:
    using DetailClosure = std::function<void(const std::optional<VideoDetail>&)>;

    virtual ~VideoDetailViewDelegate() = default;

    // The pane installs its refresh here; the screen calls it with every selection change.
    virtual DetailClosure& videoDetailDidChanged() = 0;
    // Shows the author's videos in the online list (the tab stays as it is).
    virtual void authorClicked(const QString& author) = 0;
    // Queues the video's download and refreshes the list.
    virtual void downloadVideo(const VideoDetail& detail) = 0;
    virtual void setAsWallpaper(const QString& sign) = 0;
    virtual void showDownloadList() = 0;
};
