#include "MainWindow/search/SuggestionsWindowController.h"

#include "MainWindow/search/SuggestionViews.h"
#include "platform/MainThread.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QThreadPool>
#include <QWindow>

SuggestionsWindow::SuggestionsWindow(SuggestionsWindowController* controller)
    : QWidget(nullptr, Qt::FramelessWindowHint), controller_(controller), content_(new RoundedCornersView(this)) {
    setObjectName(QStringLiteral("suggestionsWindow"));
    setAccessibleName(tr("Search suggestions"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    resize(20, 20);
}

void SuggestionsWindow::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void SuggestionsWindow::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton)
        controller_->mouseUp();
}

void SuggestionsWindow::resizeEvent(QResizeEvent*) {
    content_->setGeometry(rect());
    for (QWidget* row : content_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        row->resize(width(), row->height());
}

SuggestionsWindowController::SuggestionsWindowController(QObject* parent) : QObject(parent) {
    installSuggestionAccessibility();
    window_ = new SuggestionsWindow(this);
}

SuggestionsWindowController::~SuggestionsWindowController() {
    hidePopup();
    delete window_.data();
}

bool SuggestionsWindowController::isVisible() const {
    return window_ && window_->isVisible();
}

void SuggestionsWindowController::setSuggestions(const SuggestionRows& rows) {
    suggestions_ = rows;
    if (isVisible())
        layoutRows();
}

void SuggestionsWindowController::placeBelowField() {
    QLineEdit* field = parentTextField_;
    if (!field || !window_ || window_->parentWidget() != field->window())
        return;
    const QPoint bottomLeft = field->mapTo(field->window(), QPoint(0, field->height()));
    window_->setGeometry(bottomLeft.x(), bottomLeft.y() + 2, field->width(), window_->height());
}

void SuggestionsWindowController::showPopup(QLineEdit* field) {
    if (!field)
        return;
    if (!window_)
        window_ = new SuggestionsWindow(this);  // the field's old window took the last one with it
    QWidget* host = field->window();
    if (window_->parentWidget() != host)
        window_->setParent(host, Qt::Widget);
    parentTextField_ = field;
    placeBelowField();
    layoutRows();
    window_->show();
    window_->raise();

    QAccessibleEvent created(window_->contentView(), QAccessible::ObjectCreated);
    QAccessible::updateAccessibility(&created);

    if (!monitoring_) {
        qApp->installEventFilter(this);
        monitoring_ = true;
    }
}

void SuggestionsWindowController::hidePopup() {
    if (window_ && window_->isVisible())
        window_->hide();
    if (monitoring_) {
        qApp->removeEventFilter(this);
        monitoring_ = false;
    }
}

void SuggestionsWindowController::layoutRows() {
    if (!window_)
        window_ = new SuggestionsWindow(this);
    setSelectedView(nullptr);
    // Old rows go later: a header's button may be running the closure that rebuilt the rows.
    for (const RowView& row : std::as_const(viewControllers_)) {
        row.view->disconnect(this);
        row.view->hide();
        row.view->deleteLater();
    }
    viewControllers_.clear();
    for (const QPointer<QWidget>& view : std::as_const(separatorViewControllers_)) {
        if (view) {
            view->hide();
            view->deleteLater();
        }
    }
    separatorViewControllers_.clear();
    ++layoutGeneration_;

    RoundedCornersView* content = window_->contentView();
    const int width = window_->width();
    const qreal radius = content->rcvCornerRadius();
    int y = int(radius);
    int previousHeight = 0;
    for (qsizetype i = 0; i < suggestions_.size(); ++i) {
        const SuggestionRow& row = suggestions_.at(i);
        y += previousHeight;
        QWidget* view = nullptr;
        switch (row.kind()) {
        case SuggestionRow::Kind::Separator:
            view = new SuggestionSeparator(content);
            separatorViewControllers_.append(view);
            break;
        case SuggestionRow::Kind::Header: {
            auto* header = new SuggestionHeaderViewController(row.label.value_or(QString()), content);
            header->actionClosure = row.action;
            const QString title = row.detailedLabel.value_or(QString());
            header->rightButton()->setText(title);
            header->rightButton()->setAccessibleName(title);
            header->rightButton()->setVisible(!title.isEmpty());
            view = header;
            separatorViewControllers_.append(view);
            break;
        }
        case SuggestionRow::Kind::Normal: {
            auto* rowView = new SuggestionRowView(row.label.value_or(QString()), content);
            if (viewControllers_.isEmpty())
                setSelectedView(rowView);  // silently: no action for a layout
            connect(rowView, &HighlightingView::entered, this, [this, rowView] { mouseEntered(rowView); });
            connect(rowView, &HighlightingView::exited, this, &SuggestionsWindowController::mouseExited);
            viewControllers_.append({rowView, i});
            if (row.image)
                rowView->setThumbnail(*row.image);
            else
                loadThumbnail(i, rowView);
            view = rowView;
            break;
        }
        }
        view->setGeometry(0, y, width, view->height());
        view->show();
        previousHeight = view->height();
    }
    const int height = y + previousHeight + int(radius);
    window_->resize(width, height);  // the top edge stays where it is
}

std::optional<SuggestionRow> SuggestionsWindowController::selectedRow() const {
    if (!isVisible() || !selectedView_)
        return std::nullopt;
    for (const RowView& row : viewControllers_) {
        if (row.view == selectedView_)
            return suggestions_.value(row.index);
    }
    return std::nullopt;
}

HighlightingView* SuggestionsWindowController::selectedView() const {
    return selectedView_;
}

void SuggestionsWindowController::setSelectedView(HighlightingView* view) {
    HighlightingView* previous = selectedView_;
    selectedView_ = view;
    if (previous && previous != view && previous->isHighlighted()) {
        previous->setHighlighted(false);
        for (auto* cell : previous->findChildren<SuggestibleTextFieldCell*>(QString(), Qt::FindDirectChildrenOnly))
            cell->setBackgroundStyle(SuggestibleTextFieldCell::BackgroundStyle::Light);
        previous->update();
    }
    if (view && !view->isHighlighted()) {
        view->setHighlighted(true);
        for (auto* cell : view->findChildren<SuggestibleTextFieldCell*>(QString(), Qt::FindDirectChildrenOnly))
            cell->setBackgroundStyle(SuggestibleTextFieldCell::BackgroundStyle::Dark);
        view->update();
        if (view->isVisible()) {
            QAccessibleEvent selected(view, QAccessible::Selection);
            QAccessible::updateAccessibility(&selected);
        }
    }
}

void SuggestionsWindowController::selectRowView(HighlightingView* view) {
    setSelectedView(view);
    if (action)
        action();
}

void SuggestionsWindowController::moveUp() {
    HighlightingView* before = nullptr;
    for (const RowView& row : std::as_const(viewControllers_)) {
        if (row.view == selectedView_)
            break;
        before = row.view;
    }
    if (before)
        selectRowView(before);
}

void SuggestionsWindowController::moveDown() {
    HighlightingView* after = nullptr;
    for (auto it = viewControllers_.crbegin(); it != viewControllers_.crend(); ++it) {
        if (it->view == selectedView_)
            break;
        after = it->view;
    }
    if (after)
        selectRowView(after);
}

bool SuggestionsWindowController::runHeaderAction() {
    if (!isVisible())
        return false;
    for (const SuggestionRow& row : std::as_const(suggestions_)) {
        if (row.kind() == SuggestionRow::Kind::Header && row.action) {
            const std::function<void()> closure = row.action;
            closure();
            return true;
        }
    }
    return false;
}

void SuggestionsWindowController::mouseEntered(HighlightingView* view) {
    selectRowView(view);
}

void SuggestionsWindowController::mouseExited() {
    setSelectedView(nullptr);
    if (action)
        action();
}

void SuggestionsWindowController::mouseUp() {
    const std::optional<SuggestionRow> row = selectedRow();
    QPointer<QLineEdit> field = parentTextField_;
    if (row && row->label && field)
        field->setText(*row->label);
    if (field)
        emit fieldActionRequested();
    hidePopup();
}

bool SuggestionsWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (!monitoring_)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (watched->isWindowType())
            return handleMouseDown(watched, event);
        break;
    case QEvent::WindowDeactivate:
        if (parentTextField_ && watched == parentTextField_->window())
            hidePopup();
        break;
    case QEvent::Resize:
        // The field may move inside a resized window: follow it once its layout has run.
        if (parentTextField_ && watched == parentTextField_->window())
            QMetaObject::invokeMethod(this, &SuggestionsWindowController::placeBelowField, Qt::QueuedConnection);
        break;
    default: break;
    }
    return false;
}

// A mouse-down in the popup or on the field passes; one elsewhere in the field's window only
// closes the popup (swallowed), one in another window closes it and goes on.
bool SuggestionsWindowController::handleMouseDown(QObject* receiver, QEvent* event) {
    QLineEdit* field = parentTextField_;
    QWidget* host = field ? field->window() : nullptr;
    if (!field || !window_ || !host || static_cast<QWindow*>(receiver) != host->windowHandle()) {
        hidePopup();
        return false;
    }
    const QPoint position = static_cast<QMouseEvent*>(event)->position().toPoint();
    QWidget* hit = host->childAt(position);
    if (hit && (hit == window_ || window_->isAncestorOf(hit)))
        return false;
    if (hit && (hit == field || field->isAncestorOf(hit)))
        return false;
    if (!field->hasFocus())
        return false;
    hidePopup();
    return true;
}

void SuggestionsWindowController::loadThumbnail(qsizetype index, HighlightingView* view) {
    const std::optional<QUrl> url = suggestions_.at(index).imageUrl;
    if (!url)
        return;
    QPointer<SuggestionsWindowController> self(this);
    QPointer<HighlightingView> target(view);
    const quint64 generation = layoutGeneration_;
    QThreadPool::globalInstance()->start([url, self, target, generation, index] {
        const std::optional<QImage> image = thumbnailImage(url, 24.0);
        if (!image)
            return;
        platform::runOnMainThread([image, self, target, generation, index] {
            // Rows laid out since then are other rows.
            if (!self || self->layoutGeneration_ != generation || index >= self->suggestions_.size())
                return;
            self->suggestions_[index].image = image;
            if (auto* row = qobject_cast<SuggestionRowView*>(target.data()))
                row->setThumbnail(*image);
        });
    });
}
