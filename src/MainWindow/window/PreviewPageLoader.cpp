#include "MainWindow/window/PreviewPageLoader.h"

#include "MainWindow/preview/PreviewPage.h"
#include "platform/Bundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QPluginLoader>

// QtGui's own setter of the global share context: what QGuiApplication calls for
// Qt::AA_ShareOpenGLContexts and Qt WebEngine for itself. Not in a public header.
QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
QT_END_NAMESPACE

namespace previewpage {
namespace {
Q_LOGGING_CATEGORY(lcPreview, "tavvel.preview")

QOpenGLContext* ownShareContext = nullptr;

// Made on first use: a test program names it before main().
QString& firstFolder() {
    static QString folder;
    return folder;
}

void dropShareContext() {
    if (QOpenGLContext::globalShareContext() == ownShareContext)
        qt_gl_set_global_share_context(nullptr);
    delete ownShareContext;
    ownShareContext = nullptr;
}

// Qt WebEngine draws through a GL context shared with Qt's global share context, and (6.4)
// crashes at its first page view when there is none. Qt makes that context when the application
// object is constructed, for Qt::AA_ShareOpenGLContexts or for Qt WebEngine linked into the
// program; made then, it loads the OpenGL driver (Mesa's LLVM and its threads) into every run,
// previewing or not. So it is made here, before the plugin loads, as QGuiApplication makes it.
// The attribute stays unset: Qt warns when it is set after the application object, and it only
// decides what a GL widget does when moved to another window, which the page view never is.
void shareGlContexts() {
    if (QOpenGLContext::globalShareContext())
        return;
    ownShareContext = new QOpenGLContext;
    ownShareContext->setFormat(QSurfaceFormat::defaultFormat());
    // Set even when it fails, as Qt does: the web engine then says so and draws without the GPU.
    if (!ownShareContext->create())
        qCInfo(lcPreview) << "no OpenGL context to share; the preview page draws without the GPU";
    qt_gl_set_global_share_context(ownShareContext);
    qAddPostRoutine(dropShareContext);
}

PreviewPageMaker* load() {
    shareGlContexts();
    QStringList reasons;
    for (const QString& path : candidates()) {
        if (!QFileInfo::exists(path))
            continue;
        // Kept for the process and never unloaded, not even at exit: the page views live in the
        // plugin's code, and Qt WebEngine is not made to be unloaded.
        static QPluginLoader* loader = nullptr;
        delete loader;
        loader = new QPluginLoader(path);
        loader->setLoadHints(QLibrary::PreventUnloadHint);
        if (auto* made = qobject_cast<PreviewPageMaker*>(loader->instance()))
            return made;
        reasons << QStringLiteral("%1: %2").arg(path, loader->errorString());
    }
    if (reasons.isEmpty())
        reasons << QStringLiteral("no file at %1").arg(candidates().join(u", "));
    qCWarning(lcPreview).noquote() << "preview: the web page plugin did not load:" << reasons.join(u"; ");
    return nullptr;
}
}  // namespace

QStringList candidates() {
    QStringList folders;
    if (!firstFolder().isEmpty())
        folders << firstFolder();
    folders << platform::executableDirectory() + QStringLiteral("/" TAVVEL_PLUGIN_DIR_FROM_MAIN);
    QStringList paths;
    // Absolute: QPluginLoader looks a relative name up in Qt's library paths.
    for (const QString& folder : folders)
        paths << QDir::cleanPath(QDir(folder).absoluteFilePath(QLatin1String(kFileName)));
    return paths;
}

void lookFirstIn(const QString& folder) {
    firstFolder() = folder;
}

PreviewPageMaker* maker() {
    static PreviewPageMaker* const loaded = load();
    return loaded;
}
}  // namespace previewpage
