#pragma once
#include <QImage>
#include <QWidget>

// An image view that fills its whole area with its picture (cropped around the centre), or
// with the placeholder while it has none. The detail pane's cover and the download rows use it.
class ImageAspectFillView : public QWidget {
    Q_OBJECT
public:
    explicit ImageAspectFillView(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    const QImage& image() const { return image_; }
    // A library picture name ("default_thumbnail_tavvel" unless changed).
    void setPlaceholderName(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    QString placeholder_ = QStringLiteral("default_thumbnail_tavvel");
};
