#include "app/mainwindow.h"

#include "app/database.h"
#include "app/forms.h"
#include "app/messages.h"
#include "app/resources.h"
#include "app/statusbar.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace cn {

namespace {

QPointer<MainWindow> current;
std::span<const WindowEntry> registered;

// The menu, popup by popup; an item without a name is a separator.
struct ItemDecl {
    const char* caption;
    const char* name;
};
struct PopupDecl {
    const char* caption;
    const char* name;
    std::initializer_list<ItemDecl> items;
};

const PopupDecl kMenu[] = {
    {"&Entry", "Main_Entry", {
        {"&Patient Details", "Set_Patient"},
        {"&Visit Details", "Ent_PatVisit"},
        {nullptr, nullptr},
        {"E&xit", "Ent_Exit"},
    }},
    {"&Reports", "Main_Reports", {
        {"&Query/Stats", "Rep_Stats"},
    }},
    {"&View", "Main_Windows", {
        {" -> Data Browser", "WinDBFMenu"},
        {"Entry: Patient Details", "WinPatnt"},
        {"Entry: Visit Details", "WinPVisit"},
        {" -> Patient History", "WinPVHist"},
        {"Report: Query/Stats", "WinStats"},
        {" -> Patient Visit Details", "WinPVShow"},
        {"Setup: Chambers", "WinChambers"},
        {"Setup: Dictionary", "WinDict"},
    }},
    {"&Setup", "Main_Setup", {
        {"&Chambers", "Set_Chamber"},
        {"&Dictionary", "Set_Dict"},
        {nullptr, nullptr},
        {"O&ptions", "Set_Options"},
        {nullptr, nullptr},
        {"&Renumber Patient Visits", "Set_Renum"},
        {"Data &Cleanup", "Set_Cleanup"},
        {"&Backup/Restore", "Set_Backup"},
    }},
    {"&Help", "Main_Help", {
        {"&About", "Help_About"},
    }},
};

const char* const kDataPopups[] = {"Main_Entry", "Main_Reports", "Main_Setup"};

QString plainCaption(QString caption)
{
    return caption.remove(QLatin1Char('&')).remove(QStringLiteral("-> ")).trimmed();
}

} // namespace

void setWindowList(std::span<const WindowEntry> windows) { registered = windows; }

std::span<const WindowEntry> windowList() { return registered; }

const WindowEntry* windowEntry(const QString& formName)
{
    for (const WindowEntry& e : registered)
        if (formName.compare(QLatin1String(e.form), Qt::CaseInsensitive) == 0)
            return &e;
    return nullptr;
}

const WindowEntry* windowForItem(const QString& itemName)
{
    for (const WindowEntry& e : registered)
        if ((e.menuItem && itemName == QLatin1String(e.menuItem)) || (e.viewItem && itemName == QLatin1String(e.viewItem)))
            return &e;
    return nullptr;
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form_0"));
    setWindowTitle(QStringLiteral("Curanote 1.0"));
    setGeometry(0, 0, 640, 480);
    setWindowIcon(ICON01());
    setFont(QFont(QStringLiteral("Arial"), 10));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(128, 128, 128));
    setPalette(pal);
    setAutoFillBackground(true);
    setAttribute(Qt::WA_DeleteOnClose);

    buildMenu();
    status_ = new StatusBar(this);
    setStatusBar(status_);
    current = this;
    // The owner of every child window, and a window by name like the others.
    setMainWindow(this);
}

MainWindow::~MainWindow()
{
    // Child windows report their release to the View menu; from here on
    // there is no menu to report to.
    if (current == this)
        current = nullptr;
    if (cn::mainWindow() == this)
        setMainWindow(nullptr);
    unregisterWindow(objectName(), this);
}

void MainWindow::buildMenu()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("Main_Menu"));
    for (const PopupDecl& p : kMenu) {
        QMenu* menu = bar->addMenu(QString::fromLatin1(p.caption));
        menu->setObjectName(QLatin1String(p.name));
        menu->menuAction()->setObjectName(QLatin1String(p.name));
        for (const ItemDecl& i : p.items) {
            if (!i.name) {
                menu->addSeparator();
                continue;
            }
            QAction* a = menu->addAction(QString::fromLatin1(i.caption));
            const QString name = QLatin1String(i.name);
            a->setObjectName(name);
            connect(a, &QAction::triggered, this, [this, name] { runItem(name); });
        }
    }
}

QAction* MainWindow::menuItem(const QString& name) const
{
    for (QAction* a : menuBar()->findChildren<QAction*>()) {
        if (a->objectName() == name)
            return a;
    }
    return nullptr;
}

QMenu* MainWindow::popup(const QString& name) const { return menuBar()->findChild<QMenu*>(name); }

void MainWindow::runItem(const QString& itemName)
{
    if (const WindowEntry* e = windowForItem(itemName)) {
        if (e->viewItem && itemName == QLatin1String(e->viewItem)) {
            focusForm(QLatin1String(e->form));
            return;
        }
        if (e->open) {
            e->open();
            return;
        }
    }
    if (itemName == QLatin1String("Ent_Exit")) {
        QUIT_SYSTEM();
        return;
    }
    QAction* a = menuItem(itemName);
    const QString what = a ? plainCaption(a->text()) : itemName;
    MESGINFO(what + QStringLiteral(" is not available yet"));
}

void MainWindow::disableViewItems()
{
    if (QMenu* view = popup(QStringLiteral("Main_Windows")))
        for (QAction* a : view->actions())
            a->setEnabled(false);
}

void MainWindow::release()
{
    releasing_ = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* e)
{
    if (!releasing_) {
        if (!askYes(QStringLiteral("Exit Curanote?")) || !confirmWindowClose()) {
            e->ignore();
            return;
        }
    }
    e->accept();
    // Every other window goes with the main window, without asking (those
    // it owns are deleted with it); then the tables are closed and the event
    // loop ends.
    releaseAllWindows();
    db().closeAll();
    QCoreApplication::quit();
}

MainWindow* mainForm() { return current; }

void MAINMENUABLE(bool enable)
{
    if (!current)
        return;
    for (const char* name : kDataPopups) {
        if (QMenu* m = current->popup(QLatin1String(name)))
            m->menuAction()->setEnabled(enable);
    }
}

void CHKWINVIEWS(const QString& form, const QString& item, bool enable)
{
    if (!current || (!form.isEmpty() && form != current->objectName()))
        return;
    if (QAction* a = current->menuItem(item))
        a->setEnabled(enable);
}

void QUIT_SYSTEM()
{
    if (!askYes(QStringLiteral("Exit Curanote 1.0 ?")))
        return;
    db().closeAll();
    if (current)
        current->release();
}

bool focusForm(const QString& formName)
{
    return IsWindowDefined(formName) && DoMethod(formName, QStringLiteral("SetFocus"));
}

} // namespace cn
