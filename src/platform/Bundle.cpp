#include "platform/Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <mutex>

namespace platform {
namespace {
std::mutex bundleMutex;
BundleInfo& bundle() {
    static BundleInfo info;
    return info;
}
}  // namespace

void setMainBundle(const BundleInfo& info) {
    std::lock_guard lock(bundleMutex);
    bundle() = info;
}

BundleInfo mainBundle() {
    std::lock_guard lock(bundleMutex);
    return bundle();
}

QString executableDirectory() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
}

QString dataDirectory() {
    return QDir::cleanPath(executableDirectory() + QStringLiteral("/" TAVVEL_DATA_DIR_FROM_MAIN));
}
}  // namespace platform
