// The preview window of an online video: placed on the screen, reused, its web page dropped on
// close, and Qt WebEngine loaded by the first preview, not before. A program of its own: Qt
// WebEngine's page teardown trips a sanitizer check (see CMakeLists.txt). It does not link Qt
// WebEngine: the web page plugin brings it.
#include "MainWindow/window/PreviewVideoWindow.h"
#include "MainWindowRig.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QPointer>
#include <QScreen>
#include <QTest>

using namespace mainwindowtest;

namespace {
bool webEngineMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6WebEngineCore.so");
}

qsizetype pageViews(const QWidget& window) {
    qsizetype count = 0;
    for (const QWidget* child : window.findChildren<QWidget*>())
        count += child->inherits("QWebEngineView");
    return count;
}
}  // namespace

TEST(PreviewWindow, PlacedReusedAndEmptiedOnClose) {
    ASSERT_TRUE(kEnvironment);
    // The main window is up, and yet nothing of the web engine: no library, no shared GL context.
    controller().showWindow();
    EXPECT_FALSE(webEngineMapped());
    EXPECT_FALSE(QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts));
    EXPECT_EQ(QOpenGLContext::globalShareContext(), nullptr);

    // The only screen stands right of the origin and below it: the window lands inside it.
    const QRect area = QGuiApplication::screens().first()->availableGeometry();
    EXPECT_EQ(PreviewVideoWindow::centeredOrigin(QRect(1920, 32, 1600, 868), QSize(800, 450)), QPoint(2320, 241));
    const QUrl first = QUrl(QStringLiteral("data:text/html,<p>one</p>"));
    controller().showPreviewWindow(first);
    PreviewVideoWindow& preview = controller().webViewWindow();
    // The first preview made the shared GL context Qt WebEngine draws through, then loaded it.
    EXPECT_TRUE(webEngineMapped());
    EXPECT_NE(QOpenGLContext::globalShareContext(), nullptr);
    EXPECT_EQ(preview.size(), QSize(800, 450));
    EXPECT_TRUE(area.contains(preview.frameGeometry()));
    EXPECT_EQ(area.topLeft(), QPoint(1920, 40)) << "the screen of the configuration";
    EXPECT_EQ(preview.pos(), PreviewVideoWindow::centeredOrigin(area, preview.size()));
    QPointer<QWidget> firstPage = preview.webView();
    ASSERT_TRUE(firstPage);
    EXPECT_TRUE(firstPage->inherits("QWebEngineView"));
    EXPECT_EQ(firstPage->objectName(), QStringLiteral("previewPage"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return firstPage->property("url").toUrl() == first; }, 10000));

    // A second address while shown: the same window, at the same place, a new page view.
    const QPoint place = preview.pos();
    controller().showPreviewWindow(QUrl(QStringLiteral("data:text/html,<p>two</p>")));
    EXPECT_EQ(&controller().webViewWindow(), &preview);
    EXPECT_EQ(preview.pos(), place);
    EXPECT_FALSE(firstPage);
    ASSERT_TRUE(preview.webView());
    EXPECT_EQ(pageViews(preview), 1);

    // Closing drops the page view; the next preview reuses the window.
    preview.close();
    EXPECT_FALSE(preview.webView());
    EXPECT_EQ(pageViews(preview), 0);
    controller().showPreviewWindow(first, QRect(100, 100, 800, 450));
    EXPECT_EQ(&controller().webViewWindow(), &preview);
    EXPECT_TRUE(preview.isVisible());
    EXPECT_TRUE(preview.webView());
    preview.close();
}
