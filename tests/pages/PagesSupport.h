#pragma once
// Shared pieces of the window tests: the check that every control a user can reach by keyboard
// has a name, a click on a check box, and the other process's settings writes.
#include "support/ProcessHelpers.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QProcess>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

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

// A click on the box itself, not on its text.
inline void clickBox(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

#ifdef SETTINGS_CHILD
// A settings write by another process sharing this one's files.
inline void setFromChild(const QString& key, const QString& value) {
    QProcess child;
    testsupport::startChild(child, SETTINGS_CHILD, {"set", key, value});
    ASSERT_TRUE(child.waitForFinished(5000));
    ASSERT_EQ(child.exitCode(), 0);
}
#endif
