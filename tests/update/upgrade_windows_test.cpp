// What the update check's result shows: the upgrade window and the alert.
#include "platform/Bundle.h"
#include "HelperRig.h"
#include "player/CustomAlertWindowController.h"
#include "player/UpgradeWindowController.h"
#include "shared/AppInfo.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QTextBlock>
#include <QTextList>
#include <QUrl>

namespace {
// The running version of these tests: 1.0.9.0, shown as 1.0.9(0).
const bool bundleSet = [] {
    platform::setMainBundle({QStringLiteral("1.0.9"), QStringLiteral("0"), QStringLiteral("com.zembo.TavvelHelper")});
    return true;
}();

UpgradeCheckResult offer(const QString& ver, const QString& url = QStringLiteral("https://dl.test/tavvel"),
                         const QString& exp = QStringLiteral("<p>Faster <b>start</b></p>")) {
    return {UpgradeInfo{url, QStringLiteral("md5"), ver, exp}, false};
}

// Records what the program asks the desktop to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder() {
        for (const char* scheme : {"http", "https", "file", "ftp", "javascript", "mailto"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~UrlRecorder() override {
        for (const char* scheme : {"http", "https", "file", "ftp", "javascript", "mailto"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

int visibleUpgradeWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<UpgradeWindow*>(w) && w->isVisible())
            ++n;
    return n;
}

// The delegate over fakes; it is handed results without asking the service (nothing listens there).
class UpgradeResult : public testing::Test {
protected:
    HelperRig rig{QStringLiteral("http://127.0.0.1:9")};
    AppDelegate& delegate = rig.delegate;
};
}  // namespace

TEST_F(UpgradeResult, NewerOfferOpensTheUpgradeWindow) {
    ASSERT_TRUE(bundleSet);
    ASSERT_EQ(AppInfo::version(), "1.0.9.0");
    delegate.handleUpgradeResult(offer(QStringLiteral("1.0.9.1")), /*showUpToDate=*/false);
    ASSERT_TRUE(delegate.upgradeWC());
    UpgradeWindow* window = delegate.upgradeWC()->window();
    EXPECT_TRUE(window->isVisible());
    const QString text = delegate.upgradeWC()->infoLabel()->toPlainText();
    EXPECT_TRUE(text.startsWith("Faster start")) << text.toStdString();
    EXPECT_TRUE(text.endsWith("Version: 1.0.9.1")) << text.toStdString();
    EXPECT_FALSE(delegate.hasUpToDateWindowController());
}

TEST_F(UpgradeResult, VersionsAreComparedByNumber) {
    // "1.0.10.0" sorts before "1.0.9.0" as text, yet it is the later version.
    delegate.handleUpgradeResult(offer(QStringLiteral("1.0.10.0")), true);
    ASSERT_TRUE(delegate.upgradeWC());
    EXPECT_TRUE(delegate.upgradeWC()->window()->isVisible());
    EXPECT_FALSE(delegate.hasUpToDateWindowController());
}

TEST_F(UpgradeResult, EqualOrMissingVersionFromTheMenuSaysUpToDate) {
    delegate.handleUpgradeResult(offer(QStringLiteral("1.0.9.0")), /*showUpToDate=*/false);
    delegate.handleUpgradeResult(offer(QString()), false);
    EXPECT_FALSE(delegate.upgradeWC());
    EXPECT_FALSE(delegate.hasUpToDateWindowController());  // the start-up check stays silent

    delegate.handleUpgradeResult(offer(QStringLiteral("1.0.9.0")), true);
    EXPECT_FALSE(delegate.upgradeWC());
    CustomAlertWindowController& alert = delegate.upToDateWindowController();
    EXPECT_TRUE(alert.window()->isVisible());
    EXPECT_EQ(alert.titleLabel()->text(), "You're up to date");
    EXPECT_TRUE(alert.infoLabel()->text().startsWith("1.0.9(0)")) << alert.infoLabel()->text().toStdString();

    // The same alert is reused; its texts are set again.
    alert.ok();
    EXPECT_FALSE(alert.window()->isVisible());
    delegate.handleUpgradeResult(UpgradeCheckResult{}, true);
    EXPECT_EQ(&delegate.upToDateWindowController(), &alert);
    EXPECT_TRUE(alert.window()->isVisible());
    EXPECT_EQ(alert.titleLabel()->text(), "You're up to date");
}

TEST_F(UpgradeResult, FailedCheckFromTheMenuSaysSo) {
    delegate.handleUpgradeResult(UpgradeCheckResult{std::nullopt, true}, /*showUpToDate=*/false);
    EXPECT_FALSE(delegate.hasUpToDateWindowController());

    delegate.handleUpgradeResult(UpgradeCheckResult{std::nullopt, true}, true);
    CustomAlertWindowController& alert = delegate.upToDateWindowController();
    EXPECT_TRUE(alert.window()->isVisible());
    EXPECT_EQ(alert.titleLabel()->text(), "Fail to connect network");
    EXPECT_NE(alert.titleLabel()->text(), "You're up to date");
}

TEST_F(UpgradeResult, ResultIsHandledOnALaterTurn) {
    delegate.postUpgradeResult(offer(QStringLiteral("2.0")), false);
    EXPECT_FALSE(delegate.upgradeWC());
    QCoreApplication::processEvents();
    EXPECT_TRUE(delegate.upgradeWC());
}

TEST_F(UpgradeResult, TwoOffersLeaveOneWindow) {
    delegate.handleUpgradeResult(offer(QStringLiteral("2.0")), false);
    QPointer<UpgradeWindow> first = delegate.upgradeWC()->window();
    delegate.handleUpgradeResult(offer(QStringLiteral("2.1")), false);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(!first || !first->isVisible());
    EXPECT_EQ(visibleUpgradeWindows(), 1);
    EXPECT_TRUE(delegate.upgradeWC()->infoLabel()->toPlainText().endsWith("Version: 2.1"));
}

TEST(UpgradeWindowButton, OpensOnlyWebAddressesAndAlwaysCloses) {
    UrlRecorder recorder;
    const QStringList refused = {QString(),
                                 QStringLiteral("file:///etc/passwd"),
                                 QStringLiteral("javascript:alert(1)"),
                                 QStringLiteral("ftp://dl.test/t"),
                                 QStringLiteral("not a url at all"),
                                 QStringLiteral("https://")};
    for (const QString& url : refused) {
        UpgradeWindowController controller;
        controller.upgradeInfo = offer(QStringLiteral("2.0"), url).info;
        controller.showWindow();
        controller.window()->openUpdate();
        EXPECT_FALSE(controller.window()->isVisible()) << url.toStdString();
    }
    EXPECT_TRUE(recorder.opened.isEmpty());

    for (const QString& url : {QStringLiteral("https://dl.test/t?a=1"), QStringLiteral("http://dl.test/t")}) {
        UpgradeWindowController controller;
        controller.upgradeInfo = offer(QStringLiteral("2.0"), url).info;
        controller.showWindow();
        emit controller.upgradeButton()->clicked();
        EXPECT_FALSE(controller.window()->isVisible());
    }
    ASSERT_EQ(recorder.opened.size(), 2);
    EXPECT_EQ(recorder.opened[0], QUrl("https://dl.test/t?a=1"));
    EXPECT_EQ(recorder.opened[1], QUrl("http://dl.test/t"));
}

TEST(UpgradeWindowButton, WithoutOfferShowsVersionOneAndCloses) {
    UrlRecorder recorder;
    UpgradeWindowController controller;
    controller.showWindow();
    EXPECT_EQ(controller.infoLabel()->toPlainText(), "Version: 1.0");
    controller.window()->performClose();
    EXPECT_FALSE(controller.window()->isVisible());
    EXPECT_TRUE(recorder.opened.isEmpty());
}

TEST(UpgradeWindowNotes, NotesNeverLoadResources) {
    UpgradeWindowController controller;
    controller.upgradeInfo = offer(QStringLiteral("2.0"), QStringLiteral("https://x.test"),
                                   QStringLiteral("<p>See</p><img src=\"file:///etc/hostname\">"))
                                 .info;
    controller.window();
    auto* notes = static_cast<UpgradeNotesView*>(controller.infoLabel());
    EXPECT_FALSE(notes->loadResource(QTextDocument::ImageResource, QUrl("file:///etc/hostname")).isValid());
    EXPECT_TRUE(notes->toPlainText().startsWith("See"));
}

TEST(UpgradeWindowNotes, VersionLineStandsApartFromTheNotes) {
    UpgradeWindowController controller;
    controller.upgradeInfo = offer(QStringLiteral("2.0"), QStringLiteral("https://x.test"),
                                   QStringLiteral("<ul><li>One</li><li><b>Two</b></li></ul>"))
                                 .info;
    controller.window();
    const QTextBlock last = controller.infoLabel()->document()->lastBlock();
    EXPECT_EQ(last.text(), "Version: 2.0");
    EXPECT_EQ(last.textList(), nullptr);
    EXPECT_NE(last.charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(last.previous().text(), "Two");
}

TEST(CustomAlert, KeepsOnlyTheCloseButton) {
    CustomAlertWindowController alert;
    const Qt::WindowFlags flags = alert.window()->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowFullscreenButtonHint));
    alert.showWindow();
    emit alert.okButton()->clicked();
    EXPECT_FALSE(alert.window()->isVisible());
}

#include "upgrade_windows_test.moc"
