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

// The property a stored key names: the key with a small first letter.
inline QByteArray propertyOf(const QString& key) {
    return (key.left(1).toLower() + key.mid(1)).toLatin1();
}

// A key takes one of `count` values, `step` apart from 0.
struct Key {
    const char* name;
    int count;
    double step = 1;
    void change(Preferences& p, QRandomGenerator& r) const {
        p.setProperty(propertyOf(QLatin1String(name)), r.bounded(count) * step);
    }
    QString value(const Preferences& p) const { return p.property(propertyOf(QLatin1String(name))).toString(); }
};

inline const std::vector<Key>& keys() {
    static const std::vector<Key> all{{"MonitorArrange", 3}, {"ScreenIndex", 1000}, {"PlayModel", 3},
                                      {"Volume", 101, 0.01}, {"Mute", 2},           {"isPlaying", 2}};
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
