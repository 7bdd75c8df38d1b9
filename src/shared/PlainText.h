#pragma once
#include <QString>
#include <QTextDocument>

// Text that comes from the web service or from file names is shown as it is: no markup takes
// effect and an "&" is no keyboard mnemonic.

// For button and menu titles, where a single "&" marks a mnemonic.
inline QString literalAmpersands(QString text) {
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// For tool tips, which Qt takes for rich text when they look like it.
inline QString plainToolTip(const QString& text) {
    return text.isEmpty() ? text : Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}
