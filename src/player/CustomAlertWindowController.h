#pragma once
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QObject>
#include <QPointer>

// A small alert with a title, a text and an OK button; its window keeps only the close button.
class CustomAlertWindowController : public QObject {
    Q_OBJECT
public:
    CustomAlertWindowController();
    ~CustomAlertWindowController() override;

    // The window, loaded on first use.
    QDialog* window();
    bool isWindowLoaded() const { return window_ != nullptr; }
    void showWindow();
    // Closes the alert.
    void ok();

    QLabel* titleLabel() const { return titleLabel_; }
    QLabel* infoLabel() const { return infoLabel_; }
    QPushButton* okButton() const { return okButton_; }

private:
    QPointer<QDialog> window_;
    QPointer<QLabel> titleLabel_;
    QPointer<QLabel> infoLabel_;
    QPointer<QPushButton> okButton_;
};
