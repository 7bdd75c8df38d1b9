#include "views/Assets.h"

QPixmap assetImage(const QString& name) {
    return QPixmap(QStringLiteral(":/assets/%1.png").arg(name));
}
