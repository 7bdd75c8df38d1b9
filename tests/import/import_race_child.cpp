// import_race_child <file>...: once a line comes on standard input, imports the files one after
// another without asking the service, then exits. Two of them on the same folders are two
// programs importing the samples at once.
#include "service/LocalLibraryModel.h"
#include "service/WebModel.h"
#include "shared/LocalVideoDBManager.h"

#include <QCoreApplication>
#include <cstdio>
#include <iostream>

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
        if (files.isEmpty())
            return app.exit(0);
        library.importVideo(QUrl::fromLocalFile(files.takeFirst()), false,
                            [&](const QString&, ImportVideoStatus) { next(); });
    };
    next();
    return app.exec();
}
