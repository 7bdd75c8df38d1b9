#pragma once
#include <QPixmap>
#include <QString>

// A picture of the programs' own set by its asset name (":/assets/<name>.png"); a null
// pixmap when there is none, which shows no image.
QPixmap assetImage(const QString& name);
