#pragma once
#include <QPoint>
#include <QSize>
#include <QString>
#include <functional>
#include <vector>

class LibraryViewModel;

// One entry of a context menu that a view model asks the list to show.
struct MenuEntry {
    QString title;
    std::function<void()> action;
    bool enabled = true;
};

// What the library's view models may ask of the list that shows them. The list widget
// (WQCollectionView) implements it; the models need no widget header to use it.
class CollectionPort {
public:
    virtual ~CollectionPort() = default;

    // The model shown now (null when none).
    virtual LibraryViewModel* boundModel() const = 0;
    // Shows `model` instead of the current one. The previous model's selection model and every
    // connection from the list to it are gone afterwards. Called by LibraryViewModel::bind only.
    virtual void setBoundModel(LibraryViewModel* model) = 0;

    // Selects one row (all others deselected) without scrolling to it.
    virtual void selectRow(int row) = 0;
    virtual std::vector<int> selectedRows() const = 0;

    virtual void scrollToTop() = 0;
    // Vertical scroll position in pixels.
    virtual int contentOffset() const = 0;
    virtual void setContentOffset(int offset) = 0;
    // Height of everything that scrolls (the items and the footer) and of the part on screen.
    virtual double contentHeight() const = 0;
    virtual double visibleHeight() const = 0;

    // The picture painted behind the items ("empty_video_list", ...); empty for none.
    virtual void setContainerImage(const QString& name) = 0;
    virtual QString containerImage() const = 0;

    // The bound model's footer text changed (it is read through LibraryViewModel::footerText).
    virtual void footerChanged() = 0;
    // Size of a cell's thumbnail area; thumbnails are scaled to fill twice this size.
    virtual QSize thumbnailSize() const = 0;

    // Pops up a context menu at a global position, without waiting for the choice.
    virtual void popupMenu(const std::vector<MenuEntry>& entries, QPoint globalPos) = 0;
};
