#pragma once
// The main window Form_0: menu, status bar, the View items that follow the
// open child windows, and the orderly exit.
//
// Menu items run the opener registered under their item name. The feature
// folders register theirs (setMenuOpener("Set_Patient", PATNT)) from the
// program's entry point, so a new window plugs in without touching the menu
// code; an item without an opener says that its window is not available yet.
#include "app/forms.h"   // mainWindow(): the same window as the owner of child windows

#include <QMainWindow>
#include <functional>

class QAction;
class QMenu;

namespace cn {

class StatusBar;

using MenuOpener = std::function<void()>;
void setMenuOpener(const QString& itemName, MenuOpener opener);   // empty opener removes it
MenuOpener menuOpener(const QString& itemName);

// The View item names and the windows they bring to the front.
struct ViewItem {
    const char* item;
    const char* form;
};
extern const ViewItem kViewItems[8];

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // A menu item or popup by its name, or nullptr.
    QAction* menuItem(const QString& name) const;
    QMenu* popup(const QString& name) const;
    StatusBar* statusBarItems() const { return status_; }

    // Runs what the item of that name does (as a click on it would).
    void runItem(const QString& itemName);
    // Release by the program: no questions; every window goes, every table
    // is closed and the event loop ends.
    void release();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildMenu();
    StatusBar* status_ = nullptr;
    bool releasing_ = false;
};

// The main window while it exists, else nullptr (the form layer's
// mainWindow() gives the same window as the owner of child windows).
MainWindow* mainForm();

// MAINMENUABLE: enables or disables the popups Entry, Reports and Setup.
void MAINMENUABLE(bool enable);
// CHKWINVIEWS: enables or disables the View item `item` of the window `form`
// (the main window, "Form_0").
void CHKWINVIEWS(const QString& form, const QString& item, bool enable);
// The menu's Exit: asks, then closes every table and releases the main window.
void QUIT_SYSTEM();
// Brings the window of that name to the front; false when it is not open.
bool focusForm(const QString& formName);

} // namespace cn
