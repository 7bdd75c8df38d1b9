#pragma once
#include <QString>

// Where the download queue keeps its files: the list, the resume descriptors and the partial
// data in the shared caches directory; verified videos in the library's "DownloadVideo".
QString downloadCachesDirectoryPath();
QString downloadVideoDirectoryPath();
// "<caches>/downloadInfo.bat"
QString downloadListPath();
// Something is at `path`; a dangling link counts too, as a copy or rename would not replace it.
bool pathTaken(const QString& path);
// A path in `directory` that nothing uses yet: 10 random letters and digits plus `suffix`.
QString unusedRandomFilePath(const QString& directory, const QString& suffix = QString());
