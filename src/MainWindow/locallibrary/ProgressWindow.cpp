#include "MainWindow/locallibrary/ProgressWindow.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>

ProgressWindowController::ProgressWindowController(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint) {
    setObjectName(QStringLiteral("progressWindow"));
    setWindowTitle(tr("Importing"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(tr("Importing videos…"), this);
    text->setObjectName(QStringLiteral("progressText"));
    auto* bar = new QProgressBar(this);
    bar->setObjectName(QStringLiteral("progressBar"));
    bar->setRange(0, 0);  // busy: the batch does not know how long a file takes
    bar->setTextVisible(false);
    bar->setAccessibleName(tr("Import progress"));
    layout->addWidget(text);
    layout->addWidget(bar);
    setFixedSize(280, 90);
}

void ProgressWindowController::showProgressWindow() {
    if (QWidget* main = parentWidget() ? parentWidget()->window() : nullptr) {
        const QRect frame = main->frameGeometry();
        move(frame.x() + (frame.width() - width()) / 2, frame.y() + (frame.height() - height()) / 2);
    }
    show();
    raise();
    activateWindow();
}

void showImportResultAlert(QWidget* parent, ImportVideoStatus status) {
    QString text;
    if (status == ImportVideoStatus::failure)
        text = QObject::tr("This video format is not supported");
    else if (status == ImportVideoStatus::isExist)
        text = QObject::tr("This video exists");
    else
        return;
    auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavvel"), text, QMessageBox::Ok,
                                  parent ? parent->window() : nullptr);
    alert->setObjectName(QStringLiteral("importResultAlert"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->open();
}

ImportBatchHooks importWindowHooks(QWidget* anchor, std::function<void()> reload) {
    QPointer<QWidget> over(anchor);
    ImportBatchHooks hooks;
    hooks.showProgressWindow = [over]() -> std::function<void()> {
        QPointer<ProgressWindowController> window = new ProgressWindowController(over ? over->window() : nullptr);
        window->showProgressWindow();
        return [window] {
            if (window)
                window->close();
        };
    };
    hooks.showImportResult = [over](ImportVideoStatus status) { showImportResultAlert(over, status); };
    hooks.reload = std::move(reload);
    return hooks;
}
