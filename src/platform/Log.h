#pragma once
#include <QHash>
#include <QString>

#include <functional>

namespace platform {
// One diagnostic line on standard output, flushed at once (qDebug goes to standard error).
void logLine(const QString& line);

// Passes lines on to `write`, each text once: a text that comes again (in a row, or as part of
// a cycle, like the complaints of a decoder about a damaged file that loops) is only counted.
// Texts that differ only in their numbers are one text. The count is written as
// "repeated N times: <text>" (its numbers as "#" when they varied) when at least `periodMs`
// passed since the text was last written, and by flush(). At most `remembered` texts are kept;
// past that the oldest counts are written and forgotten. With `perMinute` above 0 at most that
// many lines are written in a minute; the rest are counted in one line when the minute is over.
// Not thread-safe.
class RepeatedLines {
public:
    explicit RepeatedLines(std::function<void(const QString&)> write, qint64 periodMs = 10 * 60 * 1000,
                           int remembered = 64, int perMinute = 0);
    ~RepeatedLines();
    RepeatedLines(const RepeatedLines&) = delete;
    RepeatedLines& operator=(const RepeatedLines&) = delete;

    // `nowMs` is a monotonic clock's reading; by default the process's own.
    void add(const QString& line);
    void add(const QString& line, qint64 nowMs);
    // Writes the counts not written yet and forgets every text.
    void flush();

private:
    struct Seen {
        qint64 writtenAt = 0;
        qint64 order = 0;  // when last seen, to forget the oldest
        int repeats = 0;   // since it was last written
        QString text;      // as first seen
        bool varied = false;
    };
    void writeCount(const QString& key, Seen& seen, qint64 nowMs);
    void pass(const QString& line, qint64 nowMs);

    std::function<void(const QString&)> write_;
    qint64 periodMs_;
    int remembered_;
    int perMinute_;
    qint64 counter_ = 0;
    qint64 minuteStart_ = 0;
    qint64 lastNow_ = 0;
    int writtenInMinute_ = 0;
    qint64 leftOut_ = 0;
    QHash<QString, Seen> seen_;
};
}  // namespace platform
