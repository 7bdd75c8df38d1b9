#include "MainWindow/library/ImageCache.h"

bool ImageCache::insert(const QString& key, const QImage& image) {
    return cache_.insert(key, new QImage(image), image.sizeInBytes());
}

std::optional<QImage> ImageCache::find(const QString& key) const {
    if (const QImage* image = cache_.object(key))
        return *image;
    return std::nullopt;
}
