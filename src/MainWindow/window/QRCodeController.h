#pragma once
#include <QObject>
#include <memory>

class QWidget;

// The window with the code that leads to the mobile app: made once, shown again on each request.
class QRCodeController : public QObject {
    Q_OBJECT
public:
    QRCodeController();
    ~QRCodeController() override;

    QWidget* window() const { return window_.get(); }
    void showWindow();

private:
    std::unique_ptr<QWidget> window_;
};
