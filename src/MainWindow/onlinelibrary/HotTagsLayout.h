#pragma once
#include <QLayout>
#include <QList>

// The hot tags side by side from right to left, the first at the right edge, wrapping into as
// many rows as the width needs. A tag is at most kMostTagWidth wide (and never wider than the
// row); a longer title is elided by the tag, whose tooltip has it whole. No spacing: the tags'
// own padding keeps them apart.
class HotTagsLayout : public QLayout {
public:
    // Twenty long tags then take a few rows, not a screenful.
    static constexpr int kMostTagWidth = 200;

    explicit HotTagsLayout(QWidget* parent = nullptr);
    ~HotTagsLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return place(QRect(0, 0, width, 0), false); }
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Lays the tags out in `rect` (or only measures); returns the height they take.
    int place(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> items_;
};
