#include "tools/gui_app.h"

#include <QApplication>

#include <cstdio>

namespace cn::tool {

namespace {

void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

void ensureGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    static int argc = 1;
    static char name[] = "curanote-data";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

} // namespace cn::tool
