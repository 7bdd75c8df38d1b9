#include "MainWindow/library/LibraryImages.h"

#include <QHash>
#include <QImageReader>

QImage libraryImage(const QString& name, QSize size) {
    static QHash<QString, QImage> rendered;
    if (name.isEmpty() || size.isEmpty())
        return QImage();
    const QString key = name + QLatin1Char('@') + QString::number(size.width()) + QLatin1Char('x') +
                        QString::number(size.height());
    auto found = rendered.constFind(key);
    if (found != rendered.constEnd())
        return *found;
    QImageReader reader(QStringLiteral(":/library/%1.svg").arg(name));
    reader.setScaledSize(size);
    const QImage image = reader.read();
    if (rendered.size() > 64)
        rendered.clear();
    rendered.insert(key, image);
    return image;
}
