#pragma once
#include "MainWindow/library/CollectionPort.h"

#include <QHash>
#include <QListView>
#include <QPointer>

class FooterView;
class QAbstractItemDelegate;

// How the list lays out its items.
class CollectionLayout {
public:
    virtual ~CollectionLayout() = default;
    qreal itemHeight = 0;
    // Room below the last item for the footer (0: no footer).
    qreal footerHeight = 0;
};

// A grid of `columnCount` equal columns (local and online tabs).
class ColumnLayout : public CollectionLayout {
public:
    int columnCount = 1;
};

// One item per row over the whole width (download tab).
class ListLayout : public CollectionLayout {};

// The library screen's one list: a QListView over the bound LibraryViewModel, laid out as a grid
// or as rows, with a footer below the items, a picture painted behind them, and the reports the
// bound model receives (selection, right click, double click, displayed rows, end of scrolling).
// The selection is single and never empty once an item is chosen; choosing the selected item
// again reports it again.
class WQCollectionView : public QListView, public CollectionPort {
    Q_OBJECT
public:
    explicit WQCollectionView(QWidget* parent = nullptr);
    ~WQCollectionView() override;

    // The layout (not owned; the caller keeps it for the view's life). Changing its values
    // later needs relayout().
    void setCollectionViewLayout(CollectionLayout* layout);
    CollectionLayout* collectionViewLayout() const { return layout_; }
    void relayout();

    // Cell painters by reuse identifier; the bound model's cellIdentifier picks one.
    void registerCell(const QString& identifier, QAbstractItemDelegate* delegate);
    FooterView* footerView() const { return footer_; }

    // CollectionPort
    LibraryViewModel* boundModel() const override;
    void setBoundModel(LibraryViewModel* model) override;
    void selectRow(int row) override;
    std::vector<int> selectedRows() const override;
    void scrollToTop() override;
    int contentOffset() const override;
    void setContentOffset(int offset) override;
    double contentHeight() const override;
    double visibleHeight() const override;
    void setContainerImage(const QString& name) override;
    QString containerImage() const override { return containerImage_; }
    void footerChanged() override;
    QSize thumbnailSize() const override;
    void popupMenu(const std::vector<MenuEntry>& entries, QPoint globalPos) override;

    // Reads the bound model again (rows, cells); the selected row stays when it still exists.
    void reloadData();

    // Rows on screen at the last paint (first > last: none).
    std::pair<int, int> displayedRows() const { return displayed_; }

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

signals:
    // A context menu was popped up (tests and accessibility follow it).
    void menuShown(QMenu* menu);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void updateGeometries() override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;

private:
    void applyLayout();
    int columnWidth() const;
    void placeFooter();
    void reportDisplayedRows();
    std::pair<int, int> visibleRange() const;

    CollectionLayout* layout_ = nullptr;
    QPointer<LibraryViewModel> model_;
    QHash<QString, QAbstractItemDelegate*> cells_;
    FooterView* footer_;
    QString containerImage_;
    std::pair<int, int> displayed_{0, -1};
    bool silentSelection_ = false;
    bool noScroll_ = false;
    int pressedSelectedRow_ = -1;
};
