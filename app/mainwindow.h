#pragma once
// The main window Form_0: menu, status bar, the View items that follow the
// open child windows, and the orderly exit.
//
// Menu items run the opener of the window registered under their item name,
// and View items bring their window forward; both, and the View item a
// window switches when it opens and closes, come from the program's one list
// of windows (setWindowList, given by the program's entry point), so a new
// window plugs in with one line there. An item without a window says that
// its window is not available yet.
#include "app/forms.h"   // mainWindow(): the same window as the owner of child windows

#include <QMainWindow>
#include <span>

class QAction;
class QMenu;

namespace cn {

class StatusBar;

// One window of the program: its name, the main-menu item that opens it and
// the View item that brings it forward (either may be null), and its opener.
struct WindowEntry {
    const char* form;
    const char* menuItem;
    const char* viewItem;
    void (*open)();
};
void setWindowList(std::span<const WindowEntry> windows);
std::span<const WindowEntry> windowList();
// The entry of a window, or of the menu or View item of that name; nullptr when none.
const WindowEntry* windowEntry(const QString& formName);
const WindowEntry* windowForItem(const QString& itemName);

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
    // Every View item off: no child window is open yet (end of start-up).
    void disableViewItems();
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
