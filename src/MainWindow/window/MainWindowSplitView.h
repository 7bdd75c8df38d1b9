#pragma once
#include <QSplitter>

// The main window's split between the left pane and the right pane, with no visible divider.
class MainWindowSplitView : public QSplitter {
    Q_OBJECT
public:
    explicit MainWindowSplitView(QWidget* parent = nullptr) : QSplitter(Qt::Horizontal, parent) {
        setHandleWidth(0);
        setChildrenCollapsible(false);
    }
};
