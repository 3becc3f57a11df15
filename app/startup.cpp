#include "app/startup.h"

#include "app/database.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/options.h"
#include "app/settings.h"
#include "app/setupform.h"
#include "app/splash.h"

#include <QApplication>
#include <QDir>

namespace cn {

namespace {

// The workspace on the working folder, with the rules every part of the
// program relies on, set before any table is touched: deleted records are invisible and dates are read and written
// month first (with four-digit years) until the options give the format.
// Tables open exclusive unless shared is asked for, and "=" on texts is a
// prefix test: both are how the engine works anyway.
void applyEngineRules()
{
    openDb(QDir::currentPath());
    db().setDeletedVisible(false);
    db().setDateFormat("MM/dd/yyyy");
}

} // namespace

QString desktopRefusal()
{
    return QStringLiteral("Can't continue in Desktop\r\n"
                          "Please install in & run from a sub-folder\r\n"
                          "\r\n"
                          "Example: C:\\...\\My Documents\\Curanote\\...");
}

bool isDesktopFolder(const QString& path)
{
    return path.right(7).toUpper() == QLatin1String("DESKTOP");
}

bool startUp()
{
    resetSettings();
    settings().MCURDIR = QDir::toNativeSeparators(QDir::currentPath());
    if (isDesktopFolder(settings().MCURDIR)) {
        MESGINFO(desktopRefusal());
        return false;
    }
    applyEngineRules();

    // The main window ends the program when it goes, not the last window:
    // the splash closes long before.
    qApp->setQuitOnLastWindowClosed(false);
    auto* main = new MainWindow;
    centerWindow(main);
    auto* splash = new Splash;
    splash->center();
    splash->onInit = SPLASHDELAY;
    splash->onRelease = [] {
        if (MainWindow* w = mainForm())
            w->showMaximized();
    };

    // Each window is shown and its initialisation runs to completion before
    // the next: the splash (data set-up), then the main window.
    splash->activate();
    if (MainWindow* w = mainForm()) {
        if (!w->isVisible())
            w->showMaximized();
        MAIN_INIT();
    }
    return mainForm() != nullptr;
}

int MAIN()
{
    if (!startUp())
        return 0;
    return QApplication::exec();
}

void SPLASHDELAY()
{
    SET_UP(false);
    if (Splash* s = splashWindow())
        s->release();
}

void MAIN_INIT()
{
    SET_OPTIONS();
    if (MainWindow* w = mainForm()) {
        w->disableViewItems();
        w->setWindowTitle(QStringLiteral("Curanote 1.0 - ") + settings().MCOMPANY);
    }
}

} // namespace cn
