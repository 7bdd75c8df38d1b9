#pragma once
#include "player/PlayerInterfaces.h"

// The real screens, wallpaper windows and libmpv player of this machine (made on first use).
WallpaperPlatform& desktopWallpaperPlatform();
