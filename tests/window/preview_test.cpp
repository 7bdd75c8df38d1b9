// The preview window of an online video: placed on the screen, reused, its web page dropped on
// close. A program of its own: Qt WebEngine's page teardown trips a sanitizer check (see
// CMakeLists.txt).
#include "MainWindow/window/PreviewVideoWindow.h"
#include "MainWindowRig.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QWebEngineView>

using namespace mainwindowtest;

TEST(PreviewWindow, PlacedReusedAndEmptiedOnClose) {
    ASSERT_TRUE(kEnvironment);
    // The only screen stands right of the origin and below it: the window lands inside it.
    const QRect area = QGuiApplication::screens().first()->availableGeometry();
    EXPECT_EQ(PreviewVideoWindow::centeredOrigin(QRect(1920, 32, 1600, 868), QSize(800, 450)), QPoint(2320, 241));
    const QUrl first = QUrl(QStringLiteral("data:text/html,<p>one</p>"));
    controller().showPreviewWindow(first);
    PreviewVideoWindow& preview = controller().webViewWindow();
    EXPECT_EQ(preview.size(), QSize(800, 450));
    EXPECT_TRUE(area.contains(preview.frameGeometry()));
    EXPECT_EQ(area.topLeft(), QPoint(1920, 40)) << "the screen of the configuration";
    EXPECT_EQ(preview.pos(), PreviewVideoWindow::centeredOrigin(area, preview.size()));
    QPointer<QWebEngineView> firstPage = preview.webView();
    ASSERT_TRUE(firstPage);
    EXPECT_TRUE(QTest::qWaitFor([&] { return firstPage->url() == first; }, 10000));

    // A second address while shown: the same window, at the same place, a new page view.
    const QPoint place = preview.pos();
    controller().showPreviewWindow(QUrl(QStringLiteral("data:text/html,<p>two</p>")));
    EXPECT_EQ(&controller().webViewWindow(), &preview);
    EXPECT_EQ(preview.pos(), place);
    EXPECT_FALSE(firstPage);
    ASSERT_TRUE(preview.webView());
    EXPECT_EQ(preview.findChildren<QWebEngineView*>().size(), 1);

    // Closing drops the page view; the next preview reuses the window.
    preview.close();
    EXPECT_FALSE(preview.webView());
    EXPECT_TRUE(preview.findChildren<QWebEngineView*>().isEmpty());
    controller().showPreviewWindow(first, QRect(100, 100, 800, 450));
    EXPECT_EQ(&controller().webViewWindow(), &preview);
    EXPECT_TRUE(preview.isVisible());
    EXPECT_TRUE(preview.webView());
    preview.close();
}
