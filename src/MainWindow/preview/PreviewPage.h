#pragma once
#include <QtPlugin>

class QUrl;
class QWidget;

// What the preview window asks of its web page plugin, the one part of Tavvel that uses Qt
// WebEngine. Loaded at the first preview (PreviewPageLoader), so a start that previews nothing
// loads neither Chromium nor an OpenGL driver.
class PreviewPageMaker {
public:
    virtual ~PreviewPageMaker() = default;
    // A page view, child of `parent`, loading `url`; deleting it stops the page and its sound.
    virtual QWidget* makePage(QWidget* parent, const QUrl& url) = 0;
};

#define TAVVEL_PREVIEW_PAGE_IID "com.zembo.tavvel.PreviewPageMaker/1.0"
Q_DECLARE_INTERFACE(PreviewPageMaker, TAVVEL_PREVIEW_PAGE_IID)
