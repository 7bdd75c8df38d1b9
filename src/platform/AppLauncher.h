#pragma once
#include <QString>
#include <QStringList>
#include <functional>

namespace platform {
inline constexpr const char* kMainAppIdentifier = "com.zembo.tavvel.macOS";
inline constexpr const char* kHelperIdentifier = "com.zembo.TavvelHelper";
// Posted on the session bus by the desktop player as it quits; the main program quits with it.
inline constexpr const char* kHelperDidTerminateNotification = "com.zembo.tavvel.mac.ter";

// Where the program with this bundle identifier may lie, relative to the running executable, in
// the order looked at: beside it (a build folder), then where the install puts it (`bin/Tavvel`,
// `libexec/tavvel/TavvelHelper`). Empty for an identifier of no program of ours.
QStringList executableCandidates(const QString& identifier);

// The first of those candidates that is an executable file; empty when there is none.
QString executableForIdentifier(const QString& identifier);

// True while a process owns the identifier's bus name.
bool isApplicationRunning(const QString& identifier);

// Launches the program with this identifier: a running one is asked to reopen (show its main
// window); otherwise its executable is started detached. Returns at once; the outcome is not
// reported.
void launchApplication(const QString& identifier);

// Asks the running program with this identifier to reopen and waits (up to two seconds) until
// it has the request, so the caller may exit right after. False when none answers.
bool reopenRunningApplication(const QString& identifier);

// Serves reopen requests sent to this process by launchApplication. The handler runs on the
// main thread. Call once, before claiming the bus name.
void setReopenHandler(std::function<void()> handler);
}  // namespace platform
