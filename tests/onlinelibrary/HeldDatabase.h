#pragma once
// The library file held by another process's exclusive transaction, as the desktop player may
// hold it, and the longest time the window's thread goes without turning its event loop while
// the library's tabs are pressed.
#include "MainWindow/library/VideoLibraryViewController.h"
#include "MainWindow/onlinelibrary/WebLibraryViewModel.h"

#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace heldtest {

// The sqlite3 program in a transaction of its own on `path`: the lock is taken once held()
// answers true and stays until release(), which commits the rows inserted meanwhile.
class HeldDatabase {
public:
    HeldDatabase(const QString& cli, const QString& path, const QString& insertedSign) {
        process_.start(cli, {QStringLiteral("-batch"), path});
        if (!process_.waitForStarted())
            return;
        process_.write("BEGIN EXCLUSIVE;\nINSERT INTO LocalVideos (vid, sign, title, url, state) VALUES (0, '" +
                       insertedSign.toUtf8() + "', 'Late', 'file:///late.mp4', 1);\n.print held\n");
        QByteArray seen;
        while (!seen.contains("held") && process_.waitForReadyRead(5000))
            seen += process_.readAllStandardOutput();
        held_ = seen.contains("held");
    }
    ~HeldDatabase() {
        release();
        process_.waitForFinished(5000);
    }
    bool held() const { return held_; }
    // Commits and ends, without waiting for it.
    void release() {
        if (process_.state() == QProcess::Running && process_.isWritable()) {
            process_.write("COMMIT;\n.quit\n");
            process_.closeWriteChannel();
        }
    }

private:
    QProcess process_;
    bool held_ = false;
};

// The longest gap between two turns of a 5 ms timer on the window's thread while it lives.
class Heartbeat {
public:
    Heartbeat() {
        clock_.start();
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { longest_ = std::max(longest_, clock_.restart()); });
        timer_.start();
    }
    qint64 longestMs() { return std::max(longest_, clock_.elapsed()); }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
};

// Presses the tab headers as a user would: online, local, downloads, online, local, waiting each
// time for the tab's list to be drawn; the online tab first waits for `onlineRows` rows.
inline qint64 longestStallSwitchingTabs(VideoLibraryViewController& screen, int onlineRows) {
    auto* local = screen.view()->findChild<QToolButton*>(QStringLiteral("localTabTitle"));
    auto* online = screen.view()->findChild<QToolButton*>(QStringLiteral("onlineTabTitle"));
    auto* downloads = screen.view()->findChild<QToolButton*>(QStringLiteral("downloadTabTitle"));
    if (!local || !online || !downloads)
        return -1;
    Heartbeat heartbeat;
    for (QToolButton* tab : {online, local, downloads, online, local}) {
        QTest::mouseClick(tab, Qt::LeftButton);
        if (tab == online && !QTest::qWaitFor([&] { return screen.webLibraryViewModel()->videoCount() == onlineRows; }))
            return -1;
        // The list and its cells are drawn (and their badges asked for) before the next press.
        if (auto* list = screen.view()->findChild<QAbstractItemView*>(QStringLiteral("collectionView")))
            list->viewport()->repaint();
        QTest::qWait(50);
    }
    return heartbeat.longestMs();
}

}  // namespace heldtest
