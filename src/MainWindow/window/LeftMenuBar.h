#pragma once
#include "shared/Disposable.h"

#include <QMap>
#include <QUrl>
#include <QVariantMap>
#include <QWidget>
#include <functional>

class ClickableImageView;
class LeftMenuCell;
class Preferences;
namespace platform {
class NotificationCenter;
}  // namespace platform

// The main window's left pane: the logo (opens the web site), a thin line, the "Video" and
// "About" cells, and near the bottom the promotional picture of the service's guide.
// Choosing a cell selects it and reports its index (0 library, 1 about), also when it was
// already selected.
class LeftMenuBar : public QWidget {
    Q_OBJECT
public:
    // The cells' switch follows `preferences`; the promotional picture comes by `notices`.
    LeftMenuBar(const QRect& frame, std::function<void(int)> selectedClosure, Preferences& preferences,
                platform::NotificationCenter& notices, QWidget* parent = nullptr);

    std::function<void(int)> selectedClosure;
    QMap<int, LeftMenuCell*> cellList;

    // Selects the cells under this index and deselects the others; reports nothing.
    void select(int index);

    ClickableImageView* logo() const { return logo_; }
    QWidget* separatorLine() const { return line_; }
    ClickableImageView* promotionView() const { return promotion_; }
    // Where the promotional picture leads; empty until a guide supplied one.
    QUrl promotionUrl() const;

    // One "leafletUpdated" notice: exactly one picture with a web address replaces the
    // promotional picture; anything else leaves it as it is.
    void leafletUpdated(const QVariantMap& userInfo);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutColumn();

    ClickableImageView* logo_ = nullptr;
    QWidget* line_ = nullptr;
    ClickableImageView* promotion_ = nullptr;
    QUrl promotionUrl_;
    DisposablePtr leafletObservation_;
};
