#include <unistd.h>

#include <QApplication>
#include <QtGlobal>

#include "PageRenderer.h"
#include "RenderServer.h"

// Renders pages for the download engine, which starts this program and talks to it over its standard
// input and output. It never shows a window.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The browser's sandbox cannot run as root.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--disable-gpu")) {
        flags += " --disable-gpu";
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    // Messages of the browser go to standard error; standard output carries the answers alone.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    CPageRenderer renderer;
    CRenderServer server(renderer);
    return app.exec();
}
