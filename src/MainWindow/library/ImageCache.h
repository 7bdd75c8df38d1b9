#pragma once
#include <QCache>
#include <QImage>
#include <QString>
#include <optional>

// The in-memory cache of the library's loaded pictures. A picture costs its size in bytes; the
// start-up sets the limit to 1, so pictures are not kept in memory and come from the disk
// cache of the network instead.
class ImageCache {
public:
    qint64 maxMemoryCost() const { return cache_.maxCost(); }
    void setMaxMemoryCost(qint64 cost) { cache_.setMaxCost(cost); }

    // False when the picture costs more than the limit (it is then not kept).
    bool insert(const QString& key, const QImage& image);
    std::optional<QImage> find(const QString& key) const;
    void clear() { cache_.clear(); }

private:
    QCache<QString, QImage> cache_{100 * 1024 * 1024};
};
