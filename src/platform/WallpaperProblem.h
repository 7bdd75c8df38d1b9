#pragma once
#include <QString>

namespace platform {
class DefaultsSuite;

// Why the video wallpaper cannot be shown, from the desktop player to the main program: the
// player records one line of plain text in its own settings and posts this notice; the main
// program reads the text at its start and on every notice, and shows it with the player's state.
inline constexpr const char* kWallpaperProblemNotification = "com.zembo.TavvelHelper.WallpaperProblem";

// The desktop player's side. Records `text` (shown as plain text, in the user's language) and
// waits until the bus has the notice, so the player may end right after. The player clears it
// when the user picks a video or switches the wallpaper on; a problem that stays is reported
// again where it is found.
void reportWallpaperProblem(const QString& text);
void clearWallpaperProblem();
// A problem of the desktop itself, true for the whole session: recorded now, and what
// clearWallpaperProblem leaves in place of nothing from then on.
void reportLastingWallpaperProblem(const QString& text);

// The main program's side: the text the player last recorded, empty when there is none.
QString wallpaperProblem();

// What the desktop player keeps of its crashes: the record a fatal fault writes (the sign of the
// video playing) and, in its own settings, the list of videos skipped for one.
QString crashRecordPath();
inline constexpr const char* kCrashedVideosKey = "CrashedVideos";
// The user asked for the wallpaper again (switched it on, chose a video) while no player ran:
// the next player starts afresh, holding no earlier crash against any video.
void forgetPlayerCrashes();

// The desktop player's own settings ("<config folder>/com.zembo.TavvelHelper.ini"), from either
// program: its standard suite in the player, the same file opened by path elsewhere.
DefaultsSuite& helperDefaults();
}  // namespace platform
