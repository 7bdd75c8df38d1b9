#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>

namespace testsupport {
// Path of a program built in this tree's bin/ or tests/ folders (the test main sets TAVVEL_BUILD_DIR).
QString builtProgram(const QString& relativePath);

// Starts a child test program that shares this process's XDG folders.
void startChild(QProcess& process, const QString& program, const QStringList& arguments);

// "http://127.0.0.1:<port>" on a loopback port that was free a moment ago, so a connection there
// is refused; empty when no port could be had.
QString refusedServiceUrl();

// Returns once every bus notification posted before the call (by this process, or by one that
// posted and waited for delivery) has reached this process's observers: a notice of an earlier
// test then cannot arrive during the next one. It posts a marker of its own and waits for it.
bool settleBusNotifications(int timeoutMs = 10000);

// Sends the signal to one process. A pid of 0 or below (a name without owner, a process that has
// ended) would signal this test's whole process group, the test runner with it: such a call is a
// test failure and sends nothing.
bool signalProcess(qint64 pid, int signalNumber);
}  // namespace testsupport
