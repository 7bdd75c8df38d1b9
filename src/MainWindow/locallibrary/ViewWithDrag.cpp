#include "MainWindow/locallibrary/ViewWithDrag.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QWidget>

ViewWithDrag::ViewWithDrag(QWidget* area) : QObject(area), area_(area) {
    setObjectName(QStringLiteral("dragView"));
    area->setAcceptDrops(true);
    area->installEventFilter(this);
}

QList<QUrl> ViewWithDrag::acceptedFiles(const QMimeData* data) const {
    QList<QUrl> files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        // A web address never reaches the import, whatever its name ends with.
        if (!url.isLocalFile())
            continue;
        const QString extension = QFileInfo(url.toLocalFile()).suffix().toLower();
        if (!extension.isEmpty() && acceptTypes.contains(extension))
            files.append(url);
    }
    return files;
}

bool ViewWithDrag::acceptsDraggedFiles(const QMimeData* data) const {
    return !acceptedFiles(data).isEmpty();
}

bool ViewWithDrag::acceptsNow(const QMimeData* data) const {
    return isLocalTabShown && isLocalTabShown() && acceptsDraggedFiles(data);
}

bool ViewWithDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != area_)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        // Both must be answered: Qt refuses the drop when the move is not accepted too.
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (acceptsNow(drag->mimeData())) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::DragLeave: return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!acceptsNow(drop->mimeData())) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (importVideos)
            importVideos(acceptedFiles(drop->mimeData()));
        return true;
    }
    default: return false;
    }
}
