#pragma once
#include <QWidget>

class QLabel;

// The footer below the list's items: one centred line of grey status text, reuse identifier
// "FooterView". Its height comes from the layout.
class FooterView : public QWidget {
    Q_OBJECT
public:
    explicit FooterView(QWidget* parent = nullptr);

    QLabel* const titleLabel;
};
