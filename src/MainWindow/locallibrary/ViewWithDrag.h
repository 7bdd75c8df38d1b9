#pragma once
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <functional>

class QMimeData;
class QWidget;

// The drop zone of the library list: it watches the drags over the list's viewport, so clicks,
// scrolling and right clicks still reach the list itself. It takes local ".mov" and ".mp4" files
// (in any letter case) while the local tab is shown and hands them to the import.
class ViewWithDrag : public QObject {
    Q_OBJECT
public:
    // Watches `area` (the list's viewport) and makes it accept drops.
    explicit ViewWithDrag(QWidget* area);

    QStringList acceptTypes{QStringLiteral("mov"), QStringLiteral("mp4")};
    // True while the local tab is shown; nothing is accepted without it.
    std::function<bool()> isLocalTabShown;
    // Receives the accepted files of a drop, in the order they were dragged.
    std::function<void(const QList<QUrl>&)> importVideos;

    // True when the drag holds at least one local file with an accepted extension.
    bool acceptsDraggedFiles(const QMimeData* data) const;
    // The local files of the drag with an accepted extension, in their order.
    QList<QUrl> acceptedFiles(const QMimeData* data) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool acceptsNow(const QMimeData* data) const;

    QPointer<QWidget> area_;
};
