// import_race_child <file>...: once a line comes on standard input, imports the files one after
// another into the library without asking the service, prints one line per result and exits.
// Two of them started on the same folders are two programs importing the samples at once.
#include "service/LocalLibraryModel.h"
#include "service/WebModel.h"
#include "shared/LocalVideoDBManager.h"

#include <QCoreApplication>
#include <QUrl>
#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList files = app.arguments().mid(1);
    WebModel web(QStringLiteral("http://127.0.0.1:9"), /*startTimers=*/false);
    LocalLibraryModel library(web, LocalVideoDBManager::shared());
    std::printf("ready\n");
    std::fflush(stdout);
    std::string go;
    std::getline(std::cin, go);

    std::function<void()> next = [&] {
        if (files.isEmpty()) {
            app.exit(0);
            return;
        }
        const QString file = files.takeFirst();
        library.importVideo(QUrl::fromLocalFile(file), false, [&](const QString&, ImportVideoStatus status) {
            std::printf("%d\n", static_cast<int>(status));
            std::fflush(stdout);
            next();
        });
    };
    next();
    return app.exec();
}
