#pragma once
#include "MainWindow/detailpane/VideoDetailViewDelegate.h"
#include "MainWindow/startup/MainParts.h"
#include "shared/Disposable.h"
#include "shared/StyledText.h"
#include "shared/VideoDetail.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <optional>

// The detail pane's decisions, apart from its widgets: which video it shows, what its one button
// offers (kept as a value, never read back from a localized title), the texts of its fields, and
// what a press, a click on the author or the online list's context-menu download asks of the
// library screen (the delegate).
class VideoDetailModel : public QObject {
    Q_OBJECT
public:
    enum class Action { download, downloading, setAsWallpaper };

    // The fields as the pane shows them; all empty (uploads "0") when no video is shown.
    struct Texts {
        QString title;
        QString author;
        QString authorAccessibleName;
        QString uploads = QStringLiteral("0");
        QString downloads;
        QString size;
        QString duration;
        QString dimensions;
        QString audio;
        StyledText requirement;
    };

    explicit VideoDetailModel(const MainParts& parts, QObject* parent = nullptr);
    ~VideoDetailModel() override;

    const std::optional<VideoDetail>& video() const { return video_; }
    // Shows `video` (or none) and takes the action it deserves now.
    void setVideo(const std::optional<VideoDetail>& video);
    VideoDetailViewDelegate* delegate() const { return delegate_; }
    // Not owned; the delegate clears itself (sets null) before it goes. The delegate's selection
    // changes reach setVideo from then on.
    void setDelegate(VideoDetailViewDelegate* delegate);

    Action action() const { return action_; }
    void setAction(Action action);
    static QString actionTitle(Action action);
    static Texts textsOf(const std::optional<VideoDetail>& video);
    // The largest values shown; beyond them (or below 0) a field says "Unknown".
    static constexpr qint64 kMostCount = 999'999'999'999;                    // uploads, downloads
    static constexpr qint64 kMostBytes = qint64(1) << 40;                    // 1 TiB: "1048576.00 MB"
    static constexpr qint64 kMostMilliseconds = qint64(1000) * 3600 * 1000;  // "1000:00:00"
    static constexpr qint64 kMostPixels = 65536;                             // width or height

    // Where the cover and the avatar come from: only http(s) or local file addresses.
    std::optional<QUrl> coverUrl() const;
    std::optional<QUrl> avatarUrl() const;
    // The preview page of the shown video, when it is a web page.
    std::optional<QUrl> previewUrl() const;

    // The author's name or avatar was clicked.
    void clickAuthor();
    // The button was pressed: what it offers is checked again first, since the queue or the
    // library may have changed.
    void press();
    // "rightClickNotification": the online list's context menu asks to download `video`.
    void rightClickToDownload(const VideoDetail& video);
    // Takes the action the shown video deserves now (nothing without a video).
    void refreshAction();

signals:
    // The shown video changed (the whole pane is redrawn).
    void videoChanged();
    // The button's offer changed, also to the same value.
    void actionChanged(VideoDetailModel::Action action);

private:
    // The action the shown video deserves now: stored first, then queued.
    Action currentAction() const;
    bool isStored(const QString& sign) const;

    MainParts parts_;
    std::optional<VideoDetail> video_;
    VideoDetailViewDelegate* delegate_ = nullptr;
    Action action_ = Action::setAsWallpaper;
    DisposablePtr rightClickObservation_;
};
