#include "platform/gui/OpenUrl.h"

#include <QDesktopServices>

namespace platform {
bool isWebAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool openWebAddress(const QUrl& url) {
    if (!isWebAddress(url))
        return false;
    QDesktopServices::openUrl(url);
    return true;
}
}  // namespace platform
