#include <unistd.h>

#include <QtGlobal>

#include "app/TrawlixApp.h"
#include "chm/ChmSchemeHandler.h"

int main(int argc, char** argv)
{
    // The browser's sandbox cannot run as root.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CChmSchemeHandler::RegisterScheme();
    CTrawlixApp app(argc, argv);
    if (!app.InitInstance()) {
        return app.ExitCode();
    }
    return app.exec();
}
