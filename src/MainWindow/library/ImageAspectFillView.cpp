#include "MainWindow/library/ImageAspectFillView.h"

#include "MainWindow/library/LibraryImages.h"
#include "MainWindow/library/VideoItemCell.h"

#include <QPainter>

ImageAspectFillView::ImageAspectFillView(QWidget* parent) : QWidget(parent) {}

void ImageAspectFillView::setImage(const QImage& image) {
    image_ = image;
    update();
}

void ImageAspectFillView::setPlaceholderName(const QString& name) {
    placeholder_ = name;
    update();
}

void ImageAspectFillView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QImage shown = image_.isNull() ? libraryImage(placeholder_, size() * devicePixelRatio()) : image_;
    VideoItemCell::drawFilling(&painter, rect(), shown);
}
