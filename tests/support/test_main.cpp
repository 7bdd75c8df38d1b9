// Main of every test executable: isolates the process's XDG folders, then runs GoogleTest
// inside a Qt application object.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <cstdlib>

#ifdef TAVVEL_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
    // A child started by a test inherits the parent's folders (TAVVEL_TEST_SHARED_XDG), so the
    // two see one container; otherwise every process gets fresh ones.
    static QTemporaryDir root;
    if (!qEnvironmentVariableIsSet("TAVVEL_TEST_SHARED_XDG")) {
        const QString base = root.path();
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
            const QString dir = base + QLatin1Char('/') + QString::fromLatin1(name).toLower();
            QDir().mkpath(dir);
            QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            qputenv(name, dir.toLocal8Bit());
        }
    }
    // Test helpers find the built programs through it (tests/support/ProcessHelpers.h).
    if (!qEnvironmentVariableIsSet("TAVVEL_BUILD_DIR"))
        qputenv("TAVVEL_BUILD_DIR", TAVVEL_BUILD_DIR);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // End the way the programs end, through the event loop: what stops on aboutToQuit (the
    // picture decoders among them) stops before the statics and the Qt libraries go.
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    app.exec();
    // A network reply aborted by the last test is torn down in Qt's own network thread; left
    // unfinished at exit, its pieces show up as leaks. Let that thread and the deferred
    // deletions settle first.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTest::qWait(200);
    return result;
}
