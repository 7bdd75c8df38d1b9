#pragma once
#include "MainWindow/preview/PreviewPage.h"

#include <QObject>

// The preview's page view: a QWebEngineView on a transparent page.
class WebPagePlugin : public QObject, public PreviewPageMaker {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TAVVEL_PREVIEW_PAGE_IID)
    Q_INTERFACES(PreviewPageMaker)
public:
    QWidget* makePage(QWidget* parent, const QUrl& url) override;
};
