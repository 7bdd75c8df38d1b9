#pragma once
#include <QString>
#include <optional>

// What keeps a video that crashes the player from crashing it again at every start: a fatal
// signal writes the sign of the video being played into a small file before the process ends,
// and the next start takes that sign out to skip the video.
namespace crashguard {
// "<the player's caches folder>/crashed-video".
QString recordPath();
// Installs the writer for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT; after writing, the signal
// goes on to what handled it before (the default action, or a sanitizer's report). Threads that
// fault while the first one writes wait (a few seconds at most) until the record is complete.
void install();
// The video being played from now on; empty for none. Main thread.
void setPlayingVideo(const QString& sign);
// The sign a crash now would record; empty for none.
QString playingVideo();
// The sign an earlier run's crash left, removing the record; none when it ended otherwise.
std::optional<QString> takeCrashedVideo();
}  // namespace crashguard
