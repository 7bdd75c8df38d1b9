#include "platform/Log.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>
#include <mutex>

namespace platform {
void logLine(const QString& line) {
    static std::mutex mutex;
    const QByteArray bytes = line.toUtf8();
    std::lock_guard lock(mutex);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

RepeatedLines::RepeatedLines(std::function<void(const QString&)> write, qint64 periodMs, int remembered, int perMinute)
    : write_(std::move(write)), periodMs_(periodMs), remembered_(qMax(1, remembered)), perMinute_(perMinute) {}

RepeatedLines::~RepeatedLines() {
    flush();
}

void RepeatedLines::add(const QString& line) {
    add(line, QDeadlineTimer::current().deadline());
}

namespace {
// The text with every run of digits as one "#".
QString withoutNumbers(const QString& line) {
    QString key;
    key.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (!line[i].isDigit()) {
            key.append(line[i]);
            continue;
        }
        key.append(u'#');
        while (i + 1 < line.size() && line[i + 1].isDigit())
            ++i;
    }
    return key;
}
}  // namespace

void RepeatedLines::add(const QString& line, qint64 nowMs) {
    const QString key = withoutNumbers(line);
    const auto found = seen_.find(key);
    if (found == seen_.end()) {
        if (seen_.size() >= remembered_) {
            auto oldest = seen_.begin();
            for (auto it = seen_.begin(); it != seen_.end(); ++it)
                if (it->order < oldest->order)
                    oldest = it;
            writeCount(oldest.key(), *oldest, nowMs);
            seen_.erase(oldest);
        }
        seen_.insert(key, Seen{nowMs, ++counter_, 0, line, false});
        pass(line, nowMs);
        return;
    }
    found->order = ++counter_;
    ++found->repeats;
    found->varied = found->varied || found->text != line;
    if (nowMs - found->writtenAt >= periodMs_)
        writeCount(key, *found, nowMs);
}

void RepeatedLines::flush() {
    // In the order the texts were last seen.
    std::vector<std::pair<qint64, QString>> pending;
    for (auto it = seen_.cbegin(); it != seen_.cend(); ++it)
        if (it->repeats > 0)
            pending.emplace_back(it->order, it.key());
    std::sort(pending.begin(), pending.end());
    for (const auto& [order, key] : pending)
        writeCount(key, seen_[key], lastNow_);
    seen_.clear();
    if (leftOut_ > 0)
        write_(QStringLiteral("%1 more lines left out").arg(std::exchange(leftOut_, 0)));
}

void RepeatedLines::writeCount(const QString& key, Seen& seen, qint64 nowMs) {
    if (seen.repeats == 0)
        return;
    pass(QStringLiteral("repeated %1 times: %2").arg(seen.repeats).arg(seen.varied ? key : seen.text), nowMs);
    seen.repeats = 0;
    seen.writtenAt = nowMs;
}

void RepeatedLines::pass(const QString& line, qint64 nowMs) {
    lastNow_ = qMax(lastNow_, nowMs);
    if (perMinute_ <= 0) {
        write_(line);
        return;
    }
    if (nowMs - minuteStart_ >= 60 * 1000) {
        if (leftOut_ > 0)
            write_(QStringLiteral("%1 more lines left out in the last minute").arg(std::exchange(leftOut_, 0)));
        minuteStart_ = nowMs;
        writtenInMinute_ = 0;
    }
    if (writtenInMinute_ >= perMinute_) {
        ++leftOut_;
        return;
    }
    ++writtenInMinute_;
    write_(line);
}
}  // namespace platform
