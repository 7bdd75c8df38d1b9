#include "shared/VersionCompare.h"

#include <QStringList>

namespace {
// Compares two digit runs by value without converting, so arbitrarily long parts work.
int compareDigits(QStringView a, QStringView b) {
    while (a.size() > 1 && a.front() == QLatin1Char('0'))
        a = a.mid(1);
    while (b.size() > 1 && b.front() == QLatin1Char('0'))
        b = b.mid(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool isDigits(QStringView s) {
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}
}  // namespace

int compareVersions(const QString& a, const QString& b) {
    const QStringList pa = a.trimmed().split(QLatin1Char('.'));
    const QStringList pb = b.trimmed().split(QLatin1Char('.'));
    const qsizetype n = std::max(pa.size(), pb.size());
    for (qsizetype i = 0; i < n; ++i) {
        const QString x = i < pa.size() && !pa[i].isEmpty() ? pa[i] : QStringLiteral("0");
        const QString y = i < pb.size() && !pb[i].isEmpty() ? pb[i] : QStringLiteral("0");
        int c;
        if (isDigits(x) && isDigits(y)) {
            c = compareDigits(x, y);
        } else {
            const int t = x.compare(y);
            c = t < 0 ? -1 : (t > 0 ? 1 : 0);
        }
        if (c != 0)
            return c;
    }
    return 0;
}

bool isNewerVersion(const QString& offered, const QString& running) {
    if (offered.trimmed().isEmpty())
        return false;
    return compareVersions(offered, running) > 0;
}
