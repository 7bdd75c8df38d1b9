#pragma once
#include <QPixmap>
#include <QString>

// The library screen's pictures by their asset names ("download_pause_normal",
// "online_video_list_downloaded_tavvel.png", ...), drawn in code once and kept. An unknown name
// gives a null pixmap.
QPixmap libraryImage(const QString& name);
