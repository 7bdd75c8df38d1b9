#include "platform/Log.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cstdio>
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

RepeatedLines::RepeatedLines(std::function<void(const QString&)> write, qint64 periodMs, int remembered)
    : write_(std::move(write)), periodMs_(periodMs), remembered_(qMax(1, remembered)) {}

RepeatedLines::~RepeatedLines() {
    flush();
}

void RepeatedLines::add(const QString& line) {
    add(line, QDeadlineTimer::current().deadline());
}

void RepeatedLines::add(const QString& line, qint64 nowMs) {
    const auto found = seen_.find(line);
    if (found == seen_.end()) {
        if (seen_.size() >= remembered_) {
            auto oldest = seen_.begin();
            for (auto it = seen_.begin(); it != seen_.end(); ++it)
                if (it->order < oldest->order)
                    oldest = it;
            writeCount(oldest.key(), *oldest, nowMs);
            seen_.erase(oldest);
        }
        seen_.insert(line, Seen{nowMs, ++counter_, 0});
        write_(line);
        return;
    }
    found->order = ++counter_;
    ++found->repeats;
    if (nowMs - found->writtenAt >= periodMs_)
        writeCount(line, *found, nowMs);
}

void RepeatedLines::flush() {
    // In the order the texts were last seen.
    std::vector<std::pair<qint64, QString>> pending;
    for (auto it = seen_.cbegin(); it != seen_.cend(); ++it)
        if (it->repeats > 0)
            pending.emplace_back(it->order, it.key());
    std::sort(pending.begin(), pending.end());
    for (const auto& [order, line] : pending)
        writeCount(line, seen_[line], 0);
    seen_.clear();
}

void RepeatedLines::writeCount(const QString& line, Seen& seen, qint64 nowMs) {
    if (seen.repeats == 0)
        return;
    write_(QStringLiteral("repeated %1 times: %2").arg(seen.repeats).arg(line));
    seen.repeats = 0;
    seen.writtenAt = nowMs;
}
}  // namespace platform
