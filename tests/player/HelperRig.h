#pragma once
// The desktop player's delegate over fakes: its own settings and library, a player manager on
// the fake platform, its own status menu and a web client without timers.
#include "PlayerFakes.h"
#include "player/AppDelegate.h"
#include "player/StatusBarManager.h"
#include "service/WebModel.h"

struct HelperRig {
    explicit HelperRig(const QString& baseUrl)
        : platform(log),
          prefs(library.suite),
          manager(platform, prefs, library.db),
          menu(prefs, manager),
          web(baseUrl, /*startTimers=*/false),
          delegate(HelperParts{prefs, manager, menu, web}) {}

    CallLog log;
    TestLibrary library;
    FakePlatform platform;
    Preferences prefs;
    VideoPlayerManager manager;
    StatusBarManager menu;
    WebModel web;
    AppDelegate delegate;
};
