#pragma once
// Windows by name. Every window of the program is defined under a name
// (Form_Patient, Form_PVisit ...) from its definition until its release, and
// any handler can reach any control of any open window by (form, control).
//
// A window derives from Form (or uses one directly), builds its controls from
// a table of declarations (controls.h) and reacts to three events:
//  - initialisation, once, after it is first shown (activate() runs it to
//    completion before returning);
//  - release, when the program or the user closes it;
//  - the interactive close: closing through the window's own close control
//    asks "Are you sure ?" (title "Close Window") and closes only on Yes; a
//    window may ask its own question first. A release by the program
//    (release(), ReleaseWindow) never asks.
#include "app/controls.h"

#include <QEventLoop>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <functional>

namespace cn {

enum class WindowType {
    Child,      // a child of the main window, not modal, several open at once
    Modal,      // blocks the other windows while open; activate() waits for its release
    Main,       // the main window itself
    Plain,      // no title bar, always on top, not resizable (the splash)
};

class Form : public QWidget {
    Q_OBJECT
public:
    explicit Form(const QString& name, WindowType type = WindowType::Child, QWidget* owner = nullptr);
    ~Form() override;

    const QString& name() const { return name_; }
    WindowType type() const { return type_; }

    // Position and size as declared (left, top, width, height in pixels).
    void place(int left, int top, int width, int height);
    void setTitle(const QString& title) { setWindowTitle(title); }
    void setBackground(const QColor& colour);
    void setResizable(bool resizable);

    // Builds the controls of a declaration table on this window.
    void build(const QList<ControlDecl>& controls) { buildControls(this, controls); }
    // A control of this window by name (nullptr when there is none, or when
    // it is not of kind T).
    template <class T = QWidget>
    T* control(const QString& controlName) const { return findChild<T*>(controlName); }
    // A control the window's code relies on, looked up once when the window
    // is built (typed members, binding tables, mode lists). One that is
    // missing or of another kind is a fault of the window's declaration:
    // an assertion fails in debug builds, and faults() lists it for the test
    // that builds every window, so it never turns into a dead button.
    template <class T = QWidget>
    T* need(const QString& controlName)
    {
        QWidget* w = findChild<QWidget*>(controlName);
        T* typed = qobject_cast<T*>(w);
        if (!typed)
            noteFault(w ? controlName + QStringLiteral(" is not of the kind the window expects")
                        : controlName + QStringLiteral(" is not declared"));
        return typed;
    }
    // The same for a list of names (a mode's controls), in the order given;
    // a name that is missing is left out after it was noted.
    QList<QWidget*> needAll(const QStringList& controlNames)
    {
        QList<QWidget*> out;
        for (const QString& n : controlNames)
            if (QWidget* w = need<QWidget>(n))
                out << w;
        return out;
    }
    void noteFault(const QString& what);
    const QStringList& faults() const { return faults_; }
    // Whether a fault stops a debug build at once (a test that provokes
    // faults on purpose turns it off while it does).
    static inline bool faultsAssert = true;
    // The names of the controls built from declaration tables, in the order
    // declared (which is also the order Tab visits them).
    const QStringList& declared() const { return declared_; }
    void noteDeclared(const QString& name) { declared_ << name; }

    // Shows the window and runs its initialisation (the first time); a modal
    // window then waits here until it is released.
    void activate();
    // Centred on the owner window (or the screen), and always inside the
    // screen's available area.
    void center();
    void maximize();
    // Closes and forgets the window without asking; runs the release handler.
    void release();
    bool isReleased() const { return released_; }
    // Runs the event loop until the window is released (a caller that waits
    // for a choice made in a non-modal window).
    void waitUntilReleased();

    // A window that opens work areas of its own, or sets relations, scopes
    // or filters on the shared ones, says so: closing every table (backup
    // and restore do) would pull them from under it, so such a window must
    // be closed first (windowsHoldingOwnTables).
    void holdOwnTables(bool holds = true) { holdsOwnTables_ = holds; }
    bool holdsOwnTables() const { return holdsOwnTables_; }

    // Handlers, as an alternative to overriding the virtual functions.
    std::function<void()> onInit;
    std::function<void()> onRelease;
    // Asked first when the user closes the window; false keeps it open.
    std::function<bool()> onCloseQuery;

signals:
    void released();

protected:
    virtual void initialise() {}
    virtual void releasing() {}
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void runInit();

    QString name_;
    QStringList faults_;
    QStringList declared_;
    WindowType type_;
    bool initialised_ = false;
    bool released_ = false;
    bool holdsOwnTables_ = false;
};

// ------------------------------------------------------------ the registry

// The main window (Form_0): owner of every child window. Until it exists, the
// program may register any top-level widget here.
void setMainWindow(QWidget* w);
QWidget* mainWindow();

// A window under a name (letter case does not matter). Forms register
// themselves; other top-level widgets (the main window) may be added here.
void registerWindow(const QString& name, QWidget* w);
void unregisterWindow(const QString& name, QWidget* w);

bool IsWindowDefined(const QString& name);
QWidget* findWindow(const QString& name);    // nullptr when not defined
template <class T>
T* form(const QString& name) { return qobject_cast<T*>(findWindow(name)); }
QStringList definedWindows();
// The open windows that hold tables of their own (Form::holdOwnTables), in
// order of definition.
QList<Form*> windowsHoldingOwnTables();

// Releases one window (without asking), or every Form but the main window.
bool ReleaseWindow(const QString& name);
void releaseAllWindows();

// The close question of every window's close control; true on Yes.
bool confirmWindowClose();

// The one centring routine: a window centred on `over` (its owner when null,
// or the screen when the owner is hidden), then moved as little as needed to
// lie inside the available area of its screen. keepOnScreen does the second
// part alone.
void centerWindow(QWidget* w, QWidget* over = nullptr);
void keepOnScreen(QWidget* w);

// ------------------------------------------------------------ by (form, control)

QWidget* control(const QString& form, const QString& controlName);
// An empty control name addresses the window itself (for example "Title").
QVariant GetProperty(const QString& form, const QString& controlName, const QString& property, int index = 0);
bool SetProperty(const QString& form, const QString& controlName, const QString& property,
                 const QVariant& value, int index = 0);
// Window methods: "SetFocus", "Center", "Maximize", "Minimize", "Restore",
// "Show", "Hide", "Release".
bool DoMethod(const QString& form, const QString& method);
// Control methods: "SetFocus", "Refresh", "DeleteAllItems", "Show", "Hide".
bool DoMethod(const QString& form, const QString& controlName, const QString& method);
// "AddItem": a row of cells for an array grid, an item for a combo or list.
bool AddItem(const QString& form, const QString& controlName, const QVariant& item);

// ------------------------------------------------------------ keyboard

// Throws away the keys typed but not yet handled.
void clearKeyboardBuffer();

// Watches for the Escape key during a long task: pressed() lets pending
// events through (keys other than Escape are dropped) and tells whether
// Escape has been pressed since the watch began.
class EscapeWatch : public QObject {
public:
    EscapeWatch();
    ~EscapeWatch() override;
    bool pressed();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    bool pressed_ = false;
};

} // namespace cn
