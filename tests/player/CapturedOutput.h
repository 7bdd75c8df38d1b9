#pragma once
// What the code writes to standard output (where the log lines go) while `fn` runs.
#include <QString>
#include <QTemporaryFile>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace playertest {
inline QString capturedStdout(const std::function<void()>& fn) {
    QTemporaryFile file;
    if (!file.open())
        return QString();
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(file.handle(), STDOUT_FILENO);
    fn();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    file.seek(0);
    return QString::fromUtf8(file.readAll());
}
}  // namespace playertest
