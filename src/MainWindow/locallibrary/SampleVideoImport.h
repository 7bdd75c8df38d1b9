#pragma once
#include "shared/VideoDetail.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>
#include <vector>

class Preferences;
class LocalVideoDBManager;

// The first-run import: a new installation imports the four sample videos installed beside the
// program, makes the last row of the library the wallpaper and switches the wallpaper on. The
// start-up waits for "alreadyImportVideo" before it starts the desktop player.
class SampleVideoImport : public QObject {
    Q_OBJECT
public:
    // Runs an import batch: the files in order and a completion for its end (any thread).
    using ImportVideos = std::function<void(const QList<QUrl>&, std::function<void()>)>;

    // The settings and the database must outlive this.
    SampleVideoImport(Preferences& preferences, LocalVideoDBManager& database, ImportVideos importVideos,
                      std::function<void()> showLocalTab, QObject* parent = nullptr);

    // The titles of the samples, in the order they are imported.
    static QStringList sampleTitles();
    // Where the samples lie: "samples" in the installed data folder (`share/tavvel`).
    static QString installedSampleDirectory();
    // The samples found in `directory`, in title order; missing ones are left out.
    static QList<QUrl> sampleVideoUrls(const QString& directory);

    // Folder searched by importSampleVideosIfNeeded (the installed one unless changed).
    QString sampleDirectory;

    // Starts the sample batch unless it ran before or is running now.
    void importSampleVideosIfNeeded();
    bool isRunning() const { return running_; }

    // The batch's end, on the main thread, with the library's rows read after it (none when the
    // file was held): the local tab when samples were found, the flag, the last row as the
    // playing video (the empty text for an empty library; unchanged without rows), the wallpaper on.
    void finishSampleImport(const QList<QUrl>& found, const std::optional<std::vector<VideoDetail>>& rows);

private:
    Preferences& preferences_;
    LocalVideoDBManager& database_;
    ImportVideos importVideos_;
    std::function<void()> showLocalTab_;
    bool running_ = false;
};
