#pragma once
// Small pictures for the guide's image texts and the library's thumbnails, made in the test.
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>

namespace testsupport {
// A PNG of one colour.
inline QByteArray pngBytes(const QColor& colour, QSize size = QSize(4, 4)) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The same, as Base64.
inline QByteArray pngBase64(const QColor& colour, QSize size = QSize(4, 4)) {
    return pngBytes(colour, size).toBase64();
}
}  // namespace testsupport
