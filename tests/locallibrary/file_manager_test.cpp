// Showing a file in the file manager over this test's own session bus, and the manager's name.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QTemporaryDir>
#include <QTest>

#include "platform/gui/FileManager.h"
#include "support/MainWindowTestSupport.h"

using testsupport::writeFile;

namespace {
// A file manager on the bus that notes what it was asked to show.
class FileManagerStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown << uris; }
};
}  // namespace

TEST(FileManager, ShowsTheFileOrOpensItsFolder) {
    const QString file = QStringLiteral("/videos/with space/Beach.mp4");
    testsupport::OpenedUrls opened({QStringLiteral("file")});

    // No file manager on the bus: the folder opens.
    platform::showInFileManager(file);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.urls.isEmpty(); }, 5000));
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/videos/with space"))});

    FileManagerStandIn manager;
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.FileManager1")));
    ASSERT_TRUE(
        bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager, QDBusConnection::ExportAllSlots));
    platform::showInFileManager(file);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !manager.shown.isEmpty(); }, 5000));
    EXPECT_EQ(manager.shown, QStringList{"file:///videos/with%20space/Beach.mp4"});
    QTest::qWait(100);
    EXPECT_EQ(opened.urls.size(), 1);
}

TEST(FileManager, NameComesFromTheDefaultFolderHandler) {
    QTemporaryDir system;
    qputenv("XDG_DATA_DIRS", system.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_DIRS", system.filePath(QStringLiteral("config")).toUtf8());
    EXPECT_EQ(platform::fileManagerName(), QStringLiteral("File Manager"));

    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    writeFile(data + QStringLiteral("/applications/org.test.Folders.desktop"),
              "[Desktop Entry]\nType=Application\nName[de]=Ordner\nName=Folders\nExec=folders %U\n");
    writeFile(system.filePath(QStringLiteral("config/mimeapps.list")),
              "[Default Applications]\ninode/directory=missing.desktop\n");
    EXPECT_EQ(platform::fileManagerName(), QStringLiteral("File Manager"));
    // The user's own choice comes first; an entry that lists several takes the first.
    writeFile(config + QStringLiteral("/mimeapps.list"),
              "[Added Associations]\ninode/directory=other.desktop;\n[Default Applications]\n"
              "text/plain=editor.desktop\ninode/directory=org.test.Folders.desktop;other.desktop;\n");
    EXPECT_EQ(platform::fileManagerName(), QStringLiteral("Folders"));
}

#include "file_manager_test.moc"
