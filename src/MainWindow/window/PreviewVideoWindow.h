#pragma once
#include <QPointer>
#include <QUrl>
#include <QWidget>

// The window that plays a video's preview page: 800 x 450, a close button only, one page view
// per address. Closing it deletes the page view, which stops the page and its media; the window
// itself stays for the next preview.
class PreviewVideoWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 450;

    // Placed in the middle of the first screen's available area.
    explicit PreviewVideoWindow(QWidget* parent = nullptr);
    ~PreviewVideoWindow() override;

    // Replaces the page view with a new one and loads `url` into it.
    void showPreview(const QUrl& url);
    // Moves the window to the middle of the first screen's available area.
    void center();

    // The page view of the address shown (a QWebEngineView from the web page plugin); null while
    // closed, or when the plugin could not be loaded.
    QWidget* webView() const { return webView_; }

    // The top-left corner that puts a window of `size` in the middle of `available`.
    static QPoint centeredOrigin(const QRect& available, const QSize& size);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void dropWebView();

    bool isCenter_ = true;
    QPointer<QWidget> webView_;
};
