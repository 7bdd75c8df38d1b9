#include "MainWindow/library/WQCollectionView.h"

#include "MainWindow/library/LibraryViewModel.h"
#include "MainWindow/library/FooterView.h"
#include "MainWindow/library/LibraryImages.h"
#include "MainWindow/library/VideoItemCell.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

WQCollectionView::WQCollectionView(QWidget* parent) : QListView(parent), footer_(new FooterView(viewport())) {
    setObjectName(QStringLiteral("collectionView"));
    setAccessibleName(tr("Video list"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    footer_->hide();
}

WQCollectionView::~WQCollectionView() {
    if (model_)
        model_->releaseView();
}

void WQCollectionView::setCollectionViewLayout(CollectionLayout* layout) {
    layout_ = layout;
    applyLayout();
}

void WQCollectionView::relayout() {
    applyLayout();
}

void WQCollectionView::applyLayout() {
    if (!layout_)
        return;
    const int height = std::max(1, static_cast<int>(std::lround(layout_->itemHeight)));
    const bool grid = dynamic_cast<ColumnLayout*>(layout_) != nullptr;
    setFlow(grid ? QListView::LeftToRight : QListView::TopToBottom);
    setWrapping(grid);
    setGridSize(QSize(columnWidth(), height));
    updateGeometries();
    placeFooter();
    viewport()->update();
}

int WQCollectionView::columnWidth() const {
    const auto* column = dynamic_cast<const ColumnLayout*>(layout_);
    const int columns = column ? std::max(1, column->columnCount) : 1;
    // QListView wraps within the widest viewport less the room of a scroll bar that may appear,
    // so the columns share that width (and do not jump when the scroll bar comes or goes).
    int width = maximumViewportSize().width() - 1;
    if (verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded)
        width -= verticalScrollBar()->sizeHint().width();
    return std::max(1, width / columns);
}

void WQCollectionView::registerCell(const QString& identifier, QAbstractItemDelegate* delegate) {
    if (delegate && !delegate->parent())
        delegate->setParent(this);
    cells_.insert(identifier, delegate);
}

LibraryViewModel* WQCollectionView::boundModel() const {
    return model_.data();
}

void WQCollectionView::setBoundModel(LibraryViewModel* model) {
    if (model_ == model)
        return;
    // QAbstractItemView keeps the old selection model alive; it belongs to the old binding.
    QItemSelectionModel* previousSelection = selectionModel();
    model_ = model;
    displayed_ = {0, -1};
    pressedSelectedRow_ = -1;
    setModel(model);
    delete previousSelection;
    if (model) {
        if (QAbstractItemDelegate* cell = cells_.value(model->cellIdentifier()))
            setItemDelegate(cell);
    }
    footerChanged();
    viewport()->update();
}

void WQCollectionView::selectRow(int row) {
    if (!model() || !selectionModel() || row < 0 || row >= model()->rowCount())
        return;
    // A programmatic choice neither scrolls nor reports; the model reports what it selected.
    silentSelection_ = true;
    noScroll_ = true;
    selectionModel()->setCurrentIndex(model()->index(row, 0), QItemSelectionModel::ClearAndSelect);
    noScroll_ = false;
    silentSelection_ = false;
}

std::vector<int> WQCollectionView::selectedRows() const {
    std::vector<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    return rows;
}

void WQCollectionView::reloadData() {
    const std::vector<int> selected = selectedRows();
    const int offset = contentOffset();
    reset();
    doItemsLayout();
    if (!selected.empty())
        selectRow(selected.front());
    setContentOffset(offset);
    viewport()->update();
}

void WQCollectionView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (noScroll_)
        return;
    QListView::scrollTo(index, hint);
}

void WQCollectionView::scrollToTop() {
    verticalScrollBar()->setValue(0);
}

int WQCollectionView::contentOffset() const {
    return verticalScrollBar()->value();
}

void WQCollectionView::setContentOffset(int offset) {
    verticalScrollBar()->setValue(offset);
}

double WQCollectionView::contentHeight() const {
    // The scroll range already holds the footer's room (updateGeometries).
    return verticalScrollBar()->maximum() + viewport()->height();
}

double WQCollectionView::visibleHeight() const {
    return viewport()->height();
}

void WQCollectionView::setContainerImage(const QString& name) {
    if (containerImage_ == name)
        return;
    containerImage_ = name;
    viewport()->update();
}

void WQCollectionView::footerChanged() {
    footer_->titleLabel->setText(model_ ? model_->footerText() : QString());
    placeFooter();
}

QSize WQCollectionView::thumbnailSize() const {
    const QSize cell = gridSize().isValid() ? gridSize() : QSize(160, 110);
    return VideoItemCellGeometry::thumbnailRect(QRect(QPoint(0, 0), cell)).size();
}

void WQCollectionView::popupMenu(const std::vector<MenuEntry>& entries, QPoint globalPos) {
    if (entries.empty())
        return;
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("collectionMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const MenuEntry& entry : entries) {
        QAction* action = menu->addAction(entry.title);
        action->setEnabled(entry.enabled);
        if (entry.action)
            connect(action, &QAction::triggered, this, entry.action);
    }
    menu->popup(globalPos);
    emit menuShown(menu);
}

void WQCollectionView::placeFooter() {
    const int height = layout_ ? static_cast<int>(std::lround(layout_->footerHeight)) : 0;
    if (height <= 0) {
        footer_->hide();
        return;
    }
    const int top = contentsSize().height() - verticalOffset();
    footer_->setGeometry(0, top, viewport()->width(), height);
    footer_->show();
}

void WQCollectionView::updateGeometries() {
    QListView::updateGeometries();
    // The footer sits below the last item: the scroll range grows by its height.
    const int footer = layout_ ? static_cast<int>(std::lround(layout_->footerHeight)) : 0;
    if (footer > 0) {
        const int range = std::max(0, contentsSize().height() + footer - viewport()->height());
        verticalScrollBar()->setRange(0, range);
        verticalScrollBar()->setPageStep(viewport()->height());
    }
    placeFooter();
}

void WQCollectionView::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    if (layout_ && gridSize().width() != columnWidth())
        applyLayout();
}

std::pair<int, int> WQCollectionView::visibleRange() const {
    const int count = model() ? model()->rowCount() : 0;
    if (count == 0)
        return {0, -1};
    const int height = viewport()->height();
    // Rows run down the list in order: find the first whose cell reaches into the viewport.
    int low = 0, high = count - 1, first = count;
    while (low <= high) {
        const int mid = (low + high) / 2;
        if (visualRect(model()->index(mid, 0)).bottom() >= 0) {
            first = mid;
            high = mid - 1;
        } else {
            low = mid + 1;
        }
    }
    int last = first - 1;
    for (int row = first; row < count; ++row) {
        if (visualRect(model()->index(row, 0)).top() >= height)
            break;
        last = row;
    }
    return {first, last};
}

void WQCollectionView::reportDisplayedRows() {
    displayed_ = visibleRange();
    if (model_)
        model_->displayedRowsChanged(displayed_.first, displayed_.second);
}

void WQCollectionView::paintEvent(QPaintEvent* event) {
    if (!containerImage_.isEmpty()) {
        QPainter painter(viewport());
        const QSize box = viewport()->size();
        const QSize size = QSize(240, 180).scaled(box.boundedTo(QSize(240, 180)), Qt::KeepAspectRatio);
        const QImage picture = libraryImage(containerImage_, size);
        painter.drawImage(QPoint((box.width() - picture.width()) / 2, (box.height() - picture.height()) / 2), picture);
    }
    QListView::paintEvent(event);
    reportDisplayedRows();
}

void WQCollectionView::wheelEvent(QWheelEvent* event) {
    QListView::wheelEvent(event);
    // Trackpads send phases (and momentum); only a classic wheel step reports an end.
    if (event->phase() != Qt::NoScrollPhase)
        return;
    if (model_)
        model_->didEndScrolling();
}

void WQCollectionView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    pressedSelectedRow_ = (index.isValid() && selectionModel() && selectionModel()->isSelected(index)) ? index.row()
                                                                                                       : -1;
    QListView::mousePressEvent(event);
}

void WQCollectionView::mouseReleaseEvent(QMouseEvent* event) {
    QListView::mouseReleaseEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    // Choosing the chosen item again reports it again.
    if (event->button() == Qt::LeftButton && model_ && index.isValid() && index.row() == pressedSelectedRow_)
        model_->didSelectRows({index.row()});
    pressedSelectedRow_ = -1;
}

void WQCollectionView::mouseDoubleClickEvent(QMouseEvent* event) {
    QListView::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton || !model_)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    model_->didDoubleClickItem(index.isValid() ? std::optional<int>(index.row()) : std::nullopt);
}

void WQCollectionView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && model_) {
        const QModelIndex current = currentIndex();
        model_->didDoubleClickItem(current.isValid() ? std::optional<int>(current.row()) : std::nullopt);
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void WQCollectionView::contextMenuEvent(QContextMenuEvent* event) {
    if (!model_)
        return;
    QModelIndex index;
    QPoint global = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        index = currentIndex();
        if (index.isValid())
            global = viewport()->mapToGlobal(visualRect(index).center());
    } else {
        index = indexAt(viewport()->mapFromGlobal(event->globalPos()));
    }
    model_->didRightClickItem(index.isValid() ? std::optional<int>(index.row()) : std::nullopt, global);
    event->accept();
}

void WQCollectionView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QListView::selectionChanged(selected, deselected);
    if (!silentSelection_ && model_ && !selected.isEmpty())
        model_->didSelectRows(selectedRows());
}

QItemSelectionModel::SelectionFlags WQCollectionView::selectionCommand(const QModelIndex& index,
                                                                       const QEvent* event) const {
    // A click beside the items, or a toggling click, never empties the selection.
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    QItemSelectionModel::SelectionFlags flags = QListView::selectionCommand(index, event);
    if (flags & (QItemSelectionModel::Toggle | QItemSelectionModel::Deselect))
        return QItemSelectionModel::ClearAndSelect;
    return flags;
}
