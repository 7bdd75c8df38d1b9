#include "MainWindow/window/PreviewVideoWindow.h"

#include "MainWindow/preview/PreviewPage.h"
#include "MainWindow/window/PreviewPageLoader.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

PreviewVideoWindow::PreviewVideoWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("previewWindow"));
    setWindowTitle(tr("Preview"));
    setAccessibleName(tr("Preview"));
    QPalette dark = palette();
    dark.setColor(QPalette::Window, palette().color(QPalette::WindowText));
    setPalette(dark);
    setAutoFillBackground(true);
    setFixedSize(kWidth, kHeight);
    center();
}

PreviewVideoWindow::~PreviewVideoWindow() = default;

QPoint PreviewVideoWindow::centeredOrigin(const QRect& available, const QSize& size) {
    // The area's own origin counts: a panel at the top or a second monitor moves the area.
    return available.topLeft() +
           QPoint((available.width() - size.width()) / 2, (available.height() - size.height()) / 2);
}

void PreviewVideoWindow::center() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (!isCenter_ || screens.isEmpty())
        return;
    move(centeredOrigin(screens.first()->availableGeometry(), frameGeometry().size()));
}

void PreviewVideoWindow::showPreview(const QUrl& url) {
    dropWebView();
    PreviewPageMaker* maker = previewpage::maker();
    if (!maker)
        return;  // the loader logged why; the window stays empty
    webView_ = maker->makePage(this, url);
    webView_->setGeometry(0, 0, width(), height());
    webView_->show();
}

void PreviewVideoWindow::dropWebView() {
    // Deleted now, not later: the page and its sound stop with the view.
    delete webView_.data();
}

void PreviewVideoWindow::closeEvent(QCloseEvent* event) {
    dropWebView();
    event->accept();
}
