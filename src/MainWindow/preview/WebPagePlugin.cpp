#include "MainWindow/preview/WebPagePlugin.h"

#include <QWebEnginePage>
#include <QWebEngineView>

QWidget* WebPagePlugin::makePage(QWidget* parent, const QUrl& url) {
    auto* view = new QWebEngineView(parent);
    view->setObjectName(QStringLiteral("previewPage"));
    view->setAccessibleName(QObject::tr("Preview page"));
    view->page()->setBackgroundColor(Qt::transparent);
    view->load(url);
    return view;
}
