// Shows the library screen in a window, as the main window holds it, after importing the video
// files named on the command line (without asking the service). Used for the screenshot check.
#include "MainWindow/library/VideoLibraryViewController.h"
#include "platform/AppLauncher.h"
#include "platform/Bundle.h"
#include "service/LocalLibraryModel.h"

#include <QApplication>
#include <QMainWindow>
#include <QUrl>
#include <cstdio>

int main(int argc, char** argv) {
    platform::setMainBundle(
        {QStringLiteral("1.0.0"), QStringLiteral("1"), QString::fromLatin1(platform::kMainAppIdentifier)});
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(1000, 640);
    window.move(0, 0);
    QStringList files = app.arguments().mid(1);
    int left = static_cast<int>(files.size());
    VideoLibraryViewController* screen = nullptr;
    const auto showScreen = [&] {
        screen = new VideoLibraryViewController(MainParts::make(), &window);
        window.setCentralWidget(screen->view());
        window.show();
        std::printf("shown\n");
        std::fflush(stdout);
    };
    if (files.isEmpty())
        showScreen();
    for (const QString& file : files) {
        LocalLibraryModel::shared().importVideo(QUrl::fromLocalFile(file), false,
                                                [&](const QString&, ImportVideoStatus status) {
                                                    std::printf("imported %d\n", static_cast<int>(status));
                                                    if (--left == 0)
                                                        showScreen();
                                                });
    }
    return app.exec();
}
