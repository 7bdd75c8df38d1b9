#pragma once
#include <QString>

// Where the download queue keeps its files: the list, the resume descriptors and the partial
// data in the shared caches directory; verified videos in the library's "DownloadVideo".
QString downloadCachesDirectoryPath();
QString downloadVideoDirectoryPath();
// "<caches>/downloadInfo.bat"
QString downloadListPath();
