#pragma once
// Shared pieces of the page tests: what the program asks the desktop to open, and the check
// that every control a user can reach by keyboard has a name.
#include <QAbstractButton>
#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QWidget>

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder() {
        for (const char* scheme : {"http", "https", "file", "javascript"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~UrlRecorder() override {
        for (const char* scheme : {"http", "https", "file", "javascript"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

// Object names (or class names) of focusable widgets under `root` that have neither an
// accessible name nor a text of their own.
inline QStringList unnamedControls(QWidget* root) {
    QStringList unnamed;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy())
            continue;
        if (!w->accessibleName().isEmpty())
            continue;
        if (auto* button = qobject_cast<QAbstractButton*>(w); button && !button->text().isEmpty())
            continue;
        unnamed.append(w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName());
    }
    return unnamed;
}
