#pragma once
#include "MainWindow/library/ImageLoader.h"
#include "MainWindow/detailpane/VideoDetailModel.h"
#include "MainWindow/startup/MainParts.h"
#include "shared/VideoDetail.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class ButtonWithHoverBackGround;
class ImageAspectFillView;

// The detail pane beside the library list: cover, title, author, counts, file facts and one
// action button. What it shows and offers is decided by its VideoDetailModel; the pane draws it.
class VideoDetailView : public QWidget {
    Q_OBJECT
public:
    using Action = VideoDetailModel::Action;

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

    // What the pane shows and decides.
    VideoDetailModel& model() const { return *model_; }

    const std::optional<VideoDetail>& videoDetail() const { return model_->video(); }
    void setVideoDetail(const std::optional<VideoDetail>& video) { model_->setVideo(video); }
    VideoDetailViewDelegate* delegate() const { return model_->delegate(); }
    // Not owned; the delegate clears itself (sets null) before it goes.
    void setDelegate(VideoDetailViewDelegate* delegate) { model_->setDelegate(delegate); }

    // Takes the action the shown video deserves now and redraws the pane.
    void reloadDetail();
    Action action() const { return model_->action(); }
    void setAction(Action action) { model_->setAction(action); }
    static QString actionTitle(Action action) { return VideoDetailModel::actionTitle(action); }

    std::optional<QUrl> coverUrl() const { return model_->coverUrl(); }
    std::optional<QUrl> avatarUrl() const { return model_->avatarUrl(); }

    // The preview window the pane opens, with the preview address and a zero frame.
    std::function<void(const QUrl& url)> showPreview;

    // The controls' actions.
    void clickUserAvatar() { model_->clickAuthor(); }
    void clickPreviewButton();
    void downloadOrSetBackGround() { model_->press(); }
    // "rightClickNotification": the online list's context menu asks to download `video`.
    void rightClickToDownload(const VideoDetail& video) { model_->rightClickToDownload(video); }

private:
    // Redraws the button for `action`.
    void showAction(Action action);
    void redraw();
    ImageLoader& images() const { return images_; }
    void loadPictures();

    VideoDetailModel* model_ = nullptr;
    ImageLoader& images_;  // of the cover and the avatar
    ImageLoader::Ticket coverTicket_ = 0;
    ImageLoader::Ticket avatarTicket_ = 0;
};
