#include "platform/gui/ScreenParametersWatcher.h"

#include "platform/gui/WaylandLayerShell.h"

#include <QGuiApplication>
#include <QScreen>

namespace platform {
ScreenParametersWatcher& ScreenParametersWatcher::shared() {
    static auto* watcher = new ScreenParametersWatcher;  // lives for the whole process
    return *watcher;
}

ScreenParametersWatcher::ScreenParametersWatcher() {
    settle_.setSingleShot(true);
    settle_.setInterval(100);
    connect(&settle_, &QTimer::timeout, this, &ScreenParametersWatcher::screenParametersChanged);
    auto* app = qGuiApp;
    if (!app)
        return;
    connect(app, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watchScreen(screen);
        settle_.start();
    });
    connect(app, &QGuiApplication::screenRemoved, this, [this](QScreen*) { settle_.start(); });
    connect(app, &QGuiApplication::primaryScreenChanged, this, [this](QScreen*) { settle_.start(); });
    for (QScreen* screen : QGuiApplication::screens())
        watchScreen(screen);
    // Wallpapers on layer surfaces follow the compositor's outputs, which Qt may not see.
    if (LayerShell* shell = LayerShell::shared())
        connect(shell, &LayerShell::outputsChanged, this, [this] { settle_.start(); });
}

void ScreenParametersWatcher::watchScreen(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, [this](const QRect&) { settle_.start(); });
}
}  // namespace platform
