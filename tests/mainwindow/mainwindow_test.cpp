// The main window's frame in process: its parts, the content cell, the title buttons, the
// QR-code window and the preview window.
#include "MainWindow/Controller/MainWindowController.h"
#include "MainWindow/Controller/QRCodeController.h"
#include "MainWindow/View/PreviewVideoWindow.h"
#include "shared/AppInfo.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QScreen>
#include <QTest>
#include <QWebEngineView>

namespace {
// Runs before main() makes the application object: a screen away from the
// origin, and Chromium without its sandbox (the tests run as root).
const bool kEnvironment = [] {
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + SCREENS_JSON);
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
    qputenv("TAVVEL_SERVICE_URL", "http://127.0.0.1:9");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open"); }
    ~UrlRecorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

MainWindowController& controller() {
    static MainWindowController* shared = new MainWindowController;  // one per process, like the program's
    return *shared;
}
}  // namespace

TEST(MainWindow, PartsCarryNamesAndKeyboardReach) {
    ASSERT_TRUE(kEnvironment);
    QMainWindow* window = controller().window();
    for (const char* name :
         {"searchField", "leftMenuBar", "videoLibraryView", "aboutView", "webSite", "mobileApp", "help", "setting"})
        EXPECT_TRUE(window->findChild<QWidget*>(QString::fromLatin1(name))) << name;
    for (QAbstractButton* button :
         {controller().webSite(), controller().mobileApp(), controller().help(), controller().setting()}) {
        EXPECT_FALSE(button->accessibleName().isEmpty());
        EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus) << button->objectName().toStdString();
    }
    EXPECT_FALSE(controller().searchField()->accessibleName().isEmpty());
    // Never the initial focus, or the suggestion popup would open at launch.
    EXPECT_FALSE(controller().searchField()->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    // Both content views share one cell.
    EXPECT_EQ(controller().contentViews()[0]->parentWidget(), controller().contentViews()[1]->parentWidget());
}

TEST(MainWindow, ShowsOneContentViewByIndex) {
    controller().showWindow();
    const auto& views = controller().contentViews();
    ASSERT_EQ(views.size(), 2u);
    EXPECT_TRUE(views[0]->isVisible());  // the library screen first
    EXPECT_FALSE(views[1]->isVisible());
    const struct {
        int index;
        bool library, about;
    } cases[] = {{1, false, true},  {0, true, false},   {1, false, true},
                 {2, false, false}, {-1, false, false}, {0, true, false}};
    for (const auto& c : cases) {
        controller().showContent(c.index);
        EXPECT_EQ(views[0]->isVisible(), c.library) << c.index;
        EXPECT_EQ(views[1]->isVisible(), c.about) << c.index;
    }
}

TEST(MainWindow, TitleButtonsOpenTheirPages) {
    UrlRecorder recorder;
    controller().webSite()->click();
    controller().help()->click();
    EXPECT_EQ(recorder.opened, (QList<QUrl>{AppInfo::website(), AppInfo::helpPage()}));
    // The mobile-app button shows one QR-code window, again the same one the second time.
    QWidget* qr = controller().qrC().window();
    controller().mobileApp()->click();
    EXPECT_TRUE(qr->isVisible());
    qr->close();
    controller().mobileApp()->click();
    EXPECT_EQ(controller().qrC().window(), qr);
    EXPECT_TRUE(qr->isVisible());
    const QLabel* picture = qr->findChild<QLabel*>(QStringLiteral("qrCodePicture"));
    ASSERT_TRUE(picture);
    EXPECT_FALSE(picture->pixmap().isNull());
    qr->close();
    EXPECT_TRUE(recorder.opened.size() == 2);
}

TEST(PreviewWindow, PlacedReusedAndEmptiedOnClose) {
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

#include "mainwindow_test.moc"
