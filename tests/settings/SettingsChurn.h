#pragma once
// Random changes of the settings for a while, as a user of either program would make them, and
// a log of each write. The keys are those whose writes reach the file at once and that no other
// key's change writes as well, so the last write of each key must be its final value.
#include "shared/Preferences.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QString>
#include <QTimer>
#include <functional>
#include <map>

namespace settingschurn {

struct Key {
    const char* name;
    std::function<void(Preferences&, QRandomGenerator&)> change;
    std::function<QString(const Preferences&)> value;
};

inline const std::vector<Key>& keys() {
    static const std::vector<Key> all{
        {"MonitorArrange", [](Preferences& p, QRandomGenerator& r) { p.setMonitorArrange(r.bounded(3)); },
         [](const Preferences& p) { return QString::number(p.monitorArrange()); }},
        {"ScreenIndex", [](Preferences& p, QRandomGenerator& r) { p.setScreenIndex(r.bounded(1000)); },
         [](const Preferences& p) { return QString::number(p.screenIndex()); }},
        {"PlayModel", [](Preferences& p, QRandomGenerator& r) { p.setPlayModel(r.bounded(3)); },
         [](const Preferences& p) { return QString::number(p.playModel()); }},
        {"Volume", [](Preferences& p, QRandomGenerator& r) { p.setVolume(float(r.bounded(101)) / 100.0f); },
         [](const Preferences& p) { return QString::number(double(p.volume()), 'f', 2); }},
        {"Mute", [](Preferences& p, QRandomGenerator& r) { p.setMute(r.bounded(2) == 1); },
         [](const Preferences& p) { return QString::number(int(p.mute())); }},
        {"isPlaying", [](Preferences& p, QRandomGenerator& r) { p.setIsPlaying(r.bounded(2) == 1); },
         [](const Preferences& p) { return QString::number(int(p.isPlaying())); }},
    };
    return all;
}

// One write: "<key> <value> <ms since the epoch>", by program `who`.
struct Write {
    int who = 0;
    QString key;
    QString value;
    qint64 at = 0;
};

inline QString formatWrite(const Write& w) {
    return w.key + u' ' + w.value + u' ' + QString::number(w.at);
}
inline Write parseWrite(int who, const QString& line) {
    const QStringList parts = line.split(u' ');
    return parts.size() == 3 ? Write{who, parts[0], parts[1], parts[2].toLongLong()} : Write{};
}

// Changes a random key every 5 to 60 ms for `ms` milliseconds, then calls `done`.
class Churn {
public:
    Churn(Preferences& prefs, quint32 seed, qint64 ms, std::function<void(const Write&)> logged,
          std::function<void()> done)
        : prefs_(prefs), random_(seed), logged_(std::move(logged)), done_(std::move(done)) {
        end_ = QDateTime::currentMSecsSinceEpoch() + ms;
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] { step(); });
        timer_.start(int(random_.bounded(5, 60)));
    }

private:
    void step() {
        if (QDateTime::currentMSecsSinceEpoch() >= end_) {
            done_();
            return;
        }
        const Key& key = keys()[random_.bounded(quint32(keys().size()))];
        key.change(prefs_, random_);
        logged_(Write{0, QString::fromLatin1(key.name), key.value(prefs_), QDateTime::currentMSecsSinceEpoch()});
        timer_.start(int(random_.bounded(5, 60)));
    }

    Preferences& prefs_;
    QRandomGenerator random_;
    std::function<void(const Write&)> logged_;
    std::function<void()> done_;
    qint64 end_ = 0;
    QTimer timer_;
};

// The values a key may end with: its last write, or the other program's last write of it when
// that came within `tieMs` before (writes that close cannot be ordered from outside).
inline std::map<QString, QStringList> acceptableFinals(const std::vector<Write>& writes, qint64 tieMs = 50) {
    std::map<std::pair<QString, int>, Write> lastOf;  // (key, who) -> that program's last write
    for (const Write& w : writes)
        if (!lastOf.count({w.key, w.who}) || lastOf[{w.key, w.who}].at <= w.at)
            lastOf[{w.key, w.who}] = w;
    std::map<QString, qint64> last;
    for (const auto& [keyWho, w] : lastOf)
        last[keyWho.first] = std::max(last[keyWho.first], w.at);
    std::map<QString, QStringList> out;
    for (const auto& [keyWho, w] : lastOf)
        if (w.at >= last[keyWho.first] - tieMs)
            out[keyWho.first].append(w.value);
    return out;
}

}  // namespace settingschurn
