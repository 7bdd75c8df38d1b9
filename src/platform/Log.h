#pragma once
#include <QString>

namespace platform {
// One diagnostic line on standard output, flushed at once (qDebug goes to standard error).
void logLine(const QString& line);
}  // namespace platform
