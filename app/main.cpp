// curanote: the program. Builds the application, wires the windows of the
// feature folders to their menu items, and runs start-up.
#include "app/mainwindow.h"
#include "app/startup.h"
#include "patients/patient_form.h"
#include "setup/about.h"

#include <QApplication>

namespace {

// Each window's opener under the name of the menu item that opens it. A
// folder that brings a new window adds its line here.
void wireMenu()
{
    cn::setMenuOpener(QStringLiteral("Set_Patient"), cn::PATNT);
    cn::setMenuOpener(QStringLiteral("Help_About"), cn::ABOUT);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    wireMenu();
    return cn::MAIN();
}
