// The wallpaper switch against another process.
//   pages_bench          20 changes of "IsOpenPlayer" made by a second process; for each, the
//                        delay until this process's settings object reports it (the baseline)
//                        and until the left bar's switch has been painted with the new value
//   pages_bench writer   (internal) reads "true"/"false" lines, stores each and prints the
//                        wall-clock ms of the write
#include "MainWindow/window/LeftMenuBar.h"
#include "platform/NotificationCenter.h"
#include "MainWindow/window/LeftMenuCell.h"
#include "shared/Disposable.h"
#include "shared/Preferences.h"
#include "views/SwitchButton.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {
int writer(QApplication& app) {
    Preferences& preferences = Preferences::shared();
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[64] = {};
        const ssize_t n = ::read(STDIN_FILENO, line, sizeof line - 1);
        if (n <= 0) {
            app.quit();
            return;
        }
        preferences.setIsOpenPlayer(line[0] == 't');
        std::printf("%lld\n", static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
        std::fflush(stdout);
    });
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

// Notes the time of the first paint of the switch after each change of its value.
class PaintClock : public QObject {
public:
    explicit PaintClock(SwitchButton* button) : button_(button) { button->installEventFilter(this); }
    qint64 paintedAt = 0;
    bool paintedValue = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == button_ && event->type() == QEvent::Paint) {
            paintedAt = QDateTime::currentMSecsSinceEpoch();
            paintedValue = button_->isOpen();
        }
        return false;
    }

private:
    SwitchButton* button_;
};

void report(const char* name, std::vector<double> values, double baseMedian, double baseMax) {
    std::sort(values.begin(), values.end());
    const double median = values[values.size() / 2];
    std::printf("%s, median: %.0f ms (%.2fx the settings object's own delay, %.0f ms)\n", name, median,
                baseMedian > 0 ? median / baseMedian : 0.0, baseMedian);
    std::printf("%s, max: %.0f ms (%.2fx the settings object's own delay, %.0f ms)\n", name, values.back(),
                baseMax > 0 ? values.back() / baseMax : 0.0, baseMax);
}
}  // namespace

int main(int argc, char* argv[]) {
    if (argc >= 2 && QByteArray(argv[1]) == "writer") {
        QApplication app(argc, argv);
        return writer(app);
    }
    // Private XDG folders (shared with the writer) so the figures never touch the user's settings.
    QTemporaryDir tmp;
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(name, QDir(tmp.path()).filePath(QString::fromLatin1(name)).toLocal8Bit());
    QApplication app(argc, argv);

    Preferences& preferences = Preferences::shared();
    preferences.setIsOpenPlayer(true);
    LeftMenuBar bar(
        QRect(0, 0, 160, 600), [](int) {}, preferences, platform::NotificationCenter::defaultCenter());
    bar.show();
    SwitchButton* button = bar.cellList[0]->rightButton;
    PaintClock clock(button);
    qint64 signalledAt = 0;
    auto observation = observe(&preferences, &Preferences::isOpenPlayerChanged, &app,
                               [&](bool) { signalledAt = QDateTime::currentMSecsSinceEpoch(); });

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"writer"});
    if (!child.waitForReadyRead(5000) || !child.readLine().startsWith("ready"))
        return 1;

    constexpr int kChanges = 20;
    std::vector<double> settingsDelays, switchDelays;
    int round = 0;
    bool value = true;
    qint64 sentAt = 0;
    QTimer next, poll;
    next.setSingleShot(true);
    poll.setInterval(2);
    QObject::connect(&next, &QTimer::timeout, [&] {
        value = !value;
        signalledAt = 0;
        clock.paintedAt = 0;
        sentAt = 0;
        child.write(value ? "true\n" : "false\n");
        poll.start();
    });
    QObject::connect(&child, &QProcess::readyReadStandardOutput, [&] {
        while (child.canReadLine())
            sentAt = child.readLine().trimmed().toLongLong();
    });
    // One change is done once the setting arrived and the switch was painted with it.
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!sentAt || !signalledAt || !clock.paintedAt || clock.paintedValue != value || button->isOpen() != value)
            return;
        poll.stop();
        settingsDelays.push_back(double(signalledAt - sentAt));
        switchDelays.push_back(double(clock.paintedAt - sentAt));
        if (++round == kChanges) {
            app.quit();
            return;
        }
        // Random spacing samples every phase of the one-second re-read.
        next.start(200 + int(QRandomGenerator::global()->bounded(900)));
    });
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    next.start(300);
    app.exec();
    child.closeWriteChannel();
    child.waitForFinished(3000);

    if (switchDelays.size() < size_t(kChanges)) {
        std::printf("switch redraw after a change in another process: only %zu of %d changes seen\n",
                    switchDelays.size(), kChanges);
        return 1;
    }
    std::vector<double> sorted = settingsDelays;
    std::sort(sorted.begin(), sorted.end());
    report("switch redrawn after IsOpenPlayer changed in another process", switchDelays, sorted[sorted.size() / 2],
           sorted.back());
    return 0;
}
