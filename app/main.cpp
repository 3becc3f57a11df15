// curanote: the program. Builds the application, hands the main window the
// program's list of windows, and runs start-up.
#include "app/mainwindow.h"
#include "app/startup.h"
#include "program/windows.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    cn::setWindowList(cn::program::windows());
    return cn::MAIN();
}
