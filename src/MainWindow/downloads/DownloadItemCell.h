#pragma once
#include "service/DownloadItem.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class ClickableImageView;
class ImageAspectFillView;
class DownloadManager;
class ImageLoader;

// One row of the download tab: thumbnail, title, state text, progress bar, sizes, a state icon
// that pauses or resumes and a delete icon. The cell follows its item's status and progress by
// itself and acts on the item it was built for, never on a row number.
class DownloadItemCell : public QWidget {
    Q_OBJECT
public:
    // What a row shows for an item, as plain values.
    struct Presentation {
        enum class Icon { pause, resume, asBuilt };  // asBuilt: a finished item keeps the cell's own
        QString title;
        QString statusText;
        bool statusIsError = false;  // "Network Error", shown in red
        Icon icon = Icon::asBuilt;
        int percent = 0;   // 0 to 100
        QString sizeText;  // "downloaded/total"
    };
    static Presentation present(const DownloadItem& item);
    // Downloaded share of `total` in whole percent, within 0 to 100; 0 when the total is unknown.
    static int percentOf(qint64 downloaded, qint64 total);
    static QString sizeText(qint64 downloaded, qint64 total);

    DownloadItemCell(const std::shared_ptr<DownloadItem>& item, DownloadManager& queue, ImageLoader& images,
                     QWidget* parent = nullptr);

    ImageAspectFillView* imageView = nullptr;
    QLabel* title = nullptr;
    QLabel* status = nullptr;
    QProgressBar* progressIndicator = nullptr;
    QLabel* percent = nullptr;
    ClickableImageView* downloadImageView = nullptr;
    ClickableImageView* deleteImageView = nullptr;

    std::shared_ptr<DownloadItem> item() const { return item_.lock(); }
    // Runs after each toggle and delete, for the owner to refresh the list.
    std::function<void()> changed;

    void toggleDownload();
    void deleteDownload();
    void showItem();
    void showProgress(const DownloadProgress& progress);

private:
    void showIcon(Presentation::Icon icon);

    std::weak_ptr<DownloadItem> item_;
    DownloadManager& queue_;
};
