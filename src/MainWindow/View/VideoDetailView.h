#pragma once
#include "MainWindow/Controller/ImageLoader.h"
#include "MainWindow/Controller/VideoDetailViewDelegate.h"
#include "MainWindow/MainParts.h"
#include "shared/Disposable.h"
#include "shared/VideoDetail.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class ButtonWithHoverBackGround;
class DownloadManager;
class ImageAspectFillView;

// The detail pane beside the library list: cover, title, author, counts, file facts and one
// action button whose meaning is kept as a value (never read back from its localized title).
class VideoDetailView : public QWidget {
    Q_OBJECT
public:
    enum class Action { download, downloading, setAsWallpaper };

    explicit VideoDetailView(const MainParts& parts, QWidget* parent = nullptr);
    ~VideoDetailView() override;

    ImageAspectFillView* previewView = nullptr;
    QPushButton* userAvatar = nullptr;
    QPushButton* userName = nullptr;
    QLabel* userVideCount = nullptr;
    QPushButton* previewPlayerButton = nullptr;
    ButtonWithHoverBackGround* downloadButton = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* downloadLabel = nullptr;
    QLabel* sizeLabel = nullptr;
    QLabel* durationLabel = nullptr;
    QLabel* dimensionsLabel = nullptr;
    QLabel* audioLabel = nullptr;
    QLabel* requirementLabel = nullptr;

    const std::optional<VideoDetail>& videoDetail() const { return videoDetail_; }
    void setVideoDetail(const std::optional<VideoDetail>& video);
    VideoDetailViewDelegate* delegate() const { return delegate_; }
    // Not owned; the delegate clears itself (sets null) before it goes.
    void setDelegate(VideoDetailViewDelegate* delegate);

    void reloadDetail();
    Action action() const { return action_; }
    void setAction(Action action);
    static QString actionTitle(Action action);

    // Where the cover and the avatar come from: only http(s) or local file addresses.
    std::optional<QUrl> coverUrl() const;
    std::optional<QUrl> avatarUrl() const;
    // The loader of the cover and the avatar (the process's one unless a test gives its own).
    void setImageLoader(ImageLoader* loader) { loader_ = loader; }

    // The preview window the pane opens, with the preview address and a zero frame.
    std::function<void(const QUrl& url)> showPreview;

    // The controls' actions.
    void clickUserAvatar();
    void clickPreviewButton();
    void downloadOrSetBackGround();
    // "rightClickNotification": the online list's context menu asks to download `video`.
    void rightClickToDownload(const VideoDetail& video);

private:
    DownloadManager& queue() const;
    // The action the shown video deserves now: stored first, then queued.
    Action currentAction() const;
    void refreshAction();

    std::optional<VideoDetail> videoDetail_;
    VideoDetailViewDelegate* delegate_ = nullptr;
    Action action_ = Action::setAsWallpaper;
    MainParts parts_;
    ImageLoader& images() const { return loader_ ? *loader_ : parts_.images(); }
    void loadPictures();

    ImageLoader* loader_ = nullptr;
    ImageLoader::Ticket coverTicket_ = 0;
    ImageLoader::Ticket avatarTicket_ = 0;
    DisposablePtr rightClickObservation_;
};
