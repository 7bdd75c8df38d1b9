#include "MainWindow/locallibrary/ProgressWindow.h"

#include <QApplication>
#include <QFileInfo>
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

QString importResultText(ImportVideoStatus status, const ImportDiagnosis& diagnosis) {
    if (status == ImportVideoStatus::isExist)
        return QObject::tr("This video exists");
    if (status != ImportVideoStatus::failure)
        return QString();
    switch (diagnosis.problem) {
    case ImportProblem::unreadable: return QObject::tr("This file cannot be read");
    case ImportProblem::diskFull: return QObject::tr("There is not enough disk space for this video");
    case ImportProblem::unwritable:
        return QObject::tr("The folder \"%1\" cannot be written: %2").arg(diagnosis.folder, diagnosis.reason);
    case ImportProblem::notVideo:
    case ImportProblem::none: break;
    }
    return QObject::tr("This video format is not supported");
}

void showImportResultAlert(QWidget* parent, ImportVideoStatus status, const QUrl& file,
                           const ImportDiagnosis& diagnosis) {
    const QString text = importResultText(status, diagnosis);
    if (text.isEmpty())
        return;
    auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavvel"), text, QMessageBox::Ok,
                                  parent ? parent->window() : nullptr);
    alert->setObjectName(QStringLiteral("importResultAlert"));
    alert->setTextFormat(Qt::PlainText);
    // The file in question, by its name, shown as text: a file name is no markup.
    if (!file.isEmpty()) {
        alert->setInformativeText(QFileInfo(file.toLocalFile()).fileName());
        if (auto* name = alert->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
            name->setTextFormat(Qt::PlainText);
    }
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
    hooks.showImportProblem = [over](ImportVideoStatus status, const QUrl& file, const ImportDiagnosis& diagnosis) {
        showImportResultAlert(over, status, file, diagnosis);
    };
    hooks.reload = std::move(reload);
    return hooks;
}
