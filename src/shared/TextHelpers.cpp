#include "shared/TextHelpers.h"

#include "platform/Random.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {
// The conversions of a printf format, in order ("%%" excluded).
QStringList conversions(const QString& format) {
    static const QRegularExpression conversion(QStringLiteral("%[-+ #0]*[0-9]*(?:\\.[0-9]*)?[a-zA-Z%]"));
    QStringList out;
    auto it = conversion.globalMatch(format);
    while (it.hasNext()) {
        const QString m = it.next().captured(0);
        if (m != QStringLiteral("%%"))
            out.append(m);
    }
    return out;
}

// A translated format is used only when its conversions are exactly the key's, so a bad
// translation cannot make printf read the wrong argument.
QByteArray checkedFormat(const char* key, const char* comment) {
    const QString translated = localizedString(key, comment);
    const QString original = QString::fromUtf8(key);
    if (translated != original && conversions(translated) != conversions(original))
        return QByteArray(key);
    return translated.toUtf8();
}
}  // namespace

QString localizedString(const char* key, const char* comment) {
    return QCoreApplication::translate("Localizable", key, comment);
}

QString randomAlphanumericString(qint64 length) {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString out;
    if (length <= 0)
        return out;
    out.reserve(static_cast<qsizetype>(length));
    for (qint64 i = 0; i < length; ++i)
        out.append(QLatin1Char(alphabet[platform::random32() % 62]));
    return out;
}

QString formatByteSize(qint64 bytes) {
    const double value = static_cast<double>(bytes);
    if (bytes < 1024)
        return QString::asprintf(checkedFormat("%.0f Byte", "Size in byte").constData(), value);
    if (bytes < 1024 * 1024)
        return QString::asprintf(checkedFormat("%.2f KB", "Size in Kilobyte").constData(), value / 1024);
    return QString::asprintf(checkedFormat("%.2f MB", "Size in Megabyte").constData(), value / 1024 / 1024);
}

QString formatDuration(qint64 seconds) {
    const qint64 hours = seconds / 3600;
    const qint64 minutes = seconds / 60 - hours * 60;
    const qint64 rest = seconds % 60;
    // Passed as long long with a matching %lld: "%02d" with a 64-bit value would be undefined.
    static const QRegularExpression intConversion(QStringLiteral("%([-+ #0]*[0-9]*)d"));
    const QByteArray format = QString::fromUtf8(checkedFormat("%02d:%02d:%02d", "Duration time"))
                                  .replace(intConversion, QStringLiteral("%\\1lld"))
                                  .toUtf8();
    return QString::asprintf(format.constData(), static_cast<long long>(hours), static_cast<long long>(minutes),
                             static_cast<long long>(rest));
}

QString shownText(const QString& text) {
    if (text.size() <= kMaxShownCharacters)
        return text;
    qsizetype cut = kMaxShownCharacters;
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QChar(0x2026);
}
