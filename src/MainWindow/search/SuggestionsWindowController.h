#pragma once
#include "MainWindow/search/SuggestionRow.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class QLineEdit;
class HighlightingView;
class RoundedCornersView;
class SuggestionsWindowController;

// The popup's frame: a frameless child of the field's top-level window, raised above its content.
// As a child it moves with the window, never takes the keyboard focus (nothing in it accepts the
// focus) and behaves alike on X11 and Wayland; it is never a Qt::Popup, which grabs the keyboard.
class SuggestionsWindow : public QWidget {
    Q_OBJECT
public:
    explicit SuggestionsWindow(SuggestionsWindowController* controller);
    RoundedCornersView* contentView() const { return content_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    SuggestionsWindowController* controller_;
    RoundedCornersView* content_;
};

// Drives the popup under a text field: builds one view per row, tracks the mouse over the
// normal rows, keeps one of them selected and commits a clicked row into the field.
class SuggestionsWindowController : public QObject {
    Q_OBJECT
public:
    explicit SuggestionsWindowController(QObject* parent = nullptr);
    ~SuggestionsWindowController() override;

    SuggestionsWindow* window() const { return window_; }
    bool isVisible() const;

    // Sent whenever the mouse or the keyboard changes the selected row (not by a layout).
    std::function<void()> action;

    const SuggestionRows& suggestions() const { return suggestions_; }
    // Stores the rows; a visible popup is laid out again at once, a hidden one when shown.
    void setSuggestions(const SuggestionRows& rows);

    // Shows the popup as wide as `field`, its top 2 points below the field's bottom edge.
    // The caller calls it only while the popup is hidden.
    void showPopup(QLineEdit* field);
    void hidePopup();
    void layoutRows();

    // The selected normal row while the popup is visible.
    std::optional<SuggestionRow> selectedRow() const;
    HighlightingView* selectedView() const;
    void setSelectedView(HighlightingView* view);
    void selectRowView(HighlightingView* view);

    // Keyboard moves over the normal rows, without wrapping.
    void moveUp();
    void moveDown();
    // Runs the right button of the first header that has one (the field's keyboard way to it).
    bool runHeaderAction();

    // The field the popup was last shown under.
    QLineEdit* parentTextField() const { return parentTextField_; }

    // Mouse, from the row views and the window.
    void mouseEntered(HighlightingView* view);
    void mouseExited();
    void mouseUp();

signals:
    // A click committed the popup: the field runs its own action (its search).
    void fieldActionRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct RowView {
        HighlightingView* view;
        qsizetype index;  // into suggestions_
    };
    bool handleMouseDown(QObject* receiver, QEvent* event);
    void loadThumbnail(qsizetype index, HighlightingView* view);
    void placeBelowField();

    QPointer<SuggestionsWindow> window_;
    QPointer<QLineEdit> parentTextField_;
    SuggestionRows suggestions_;
    QList<RowView> viewControllers_;                     // normal rows, in row order
    QList<QPointer<QWidget>> separatorViewControllers_;  // headers and separators
    bool monitoring_ = false;
    QPointer<HighlightingView> selectedView_;
    quint64 layoutGeneration_ = 0;
};
