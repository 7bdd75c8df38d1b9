#pragma once
#include <QImage>
#include <QSize>
#include <QString>

// The library screen's named pictures ("default_thumbnail_tavvel", "empty_video_list",
// "network_connecting", "network_error"), rendered at the size asked for and kept.
// An unknown name gives a null image.
QImage libraryImage(const QString& name, QSize size);
