#include "app/forms.h"

#include "app/grid.h"
#include "app/mainwindow.h"
#include "app/messages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHash>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace cn {

namespace {

struct Registry {
    QHash<QString, QPointer<QWidget>> windows;   // by lower-case name
    QStringList order;                           // names in order of definition
    QPointer<QWidget> main;
};

Registry& registry()
{
    static Registry r;
    return r;
}

QString keyOf(const QString& name) { return name.toLower(); }

} // namespace

// ---------------------------------------------------------------- Form

Form::Form(const QString& name, WindowType type, QWidget* owner)
    : QWidget(owner ? owner : (type == WindowType::Child || type == WindowType::Modal ? mainWindow() : nullptr)),
      name_(name), type_(type)
{
    setObjectName(name);
    // A window's controls use its owner's control font (the main window's
    // Arial 10), which Qt does not pass on to separate windows by itself.
    if (QWidget* owner = parentWidget())
        setFont(owner->font());
    setAttribute(Qt::WA_DeleteOnClose, false);
    Qt::WindowFlags flags = Qt::Window;
    if (type == WindowType::Plain)
        flags |= Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    setWindowFlags(flags);
    if (type == WindowType::Modal)
        setWindowModality(Qt::ApplicationModal);
    registerWindow(name, this);
}

Form::~Form()
{
    unregisterWindow(name_, this);
}

void Form::place(int left, int top, int width, int height)
{
    move(left, top);
    resize(width, height);
    if (type_ == WindowType::Plain)
        setFixedSize(width, height);
}

void Form::setBackground(const QColor& colour)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colour);
    setPalette(pal);
    setAutoFillBackground(true);
}

void Form::setResizable(bool resizable)
{
    if (resizable) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        setFixedSize(size());
    }
}

void Form::activate()
{
    if (released_)
        return;
    show();
    raise();
    activateWindow();
    runInit();
    if (type_ == WindowType::Modal)
        waitUntilReleased();
}

void Form::runInit()
{
    if (initialised_ || released_)
        return;
    initialised_ = true;
    // The window's View item, if it has one, is on while the window exists.
    if (const WindowEntry* e = windowEntry(name_); e && e->viewItem)
        CHKWINVIEWS(QStringLiteral("Form_0"), QLatin1String(e->viewItem), true);
    initialise();
    if (onInit && !released_)
        onInit();
}

void Form::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!initialised_) {
        // Shown other than through activate(): initialise once the show is done.
        QPointer<Form> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self)
                self->runInit();
        });
    }
}

void Form::center() { centerWindow(this); }

void Form::noteFault(const QString& what)
{
    faults_ << what;
    qWarning("%s: %s", qPrintable(name_), qPrintable(what));
    if (faultsAssert) {
        Q_ASSERT_X(false, "Form::need", qPrintable(name_ + QStringLiteral(": ") + what));
    }
}

void Form::maximize() { showMaximized(); }

void Form::release()
{
    if (released_)
        return;
    released_ = true;
    unregisterWindow(name_, this);
    if (const WindowEntry* e = windowEntry(name_); e && e->viewItem)
        CHKWINVIEWS(QStringLiteral("Form_0"), QLatin1String(e->viewItem), false);
    releasing();
    if (onRelease)
        onRelease();
    // The focus does not stay on a control of a window that is going (the
    // window brought forward after it takes it up again).
    if (QWidget* fw = QApplication::focusWidget(); fw && isAncestorOf(fw))
        fw->clearFocus();
    hide();
    emit released();
    deleteLater();
}

void Form::waitUntilReleased()
{
    if (released_)
        return;
    QEventLoop loop;
    connect(this, &Form::released, &loop, &QEventLoop::quit);
    loop.exec();
}

void Form::closeEvent(QCloseEvent* e)
{
    e->ignore();
    if (released_)
        return;
    if (onCloseQuery && !onCloseQuery())
        return;
    if (released_ || !confirmWindowClose())
        return;
    release();
}

void keepOnScreen(QWidget* w)
{
    QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    const QRect area = s->availableGeometry();
    // The frame as well as the client area; before the first show the frame
    // is not known yet and counts as the window itself.
    const QRect frame = w->frameGeometry();
    const QPoint offset = w->pos() - frame.topLeft();
    QPoint topLeft = frame.topLeft();
    topLeft.setX(std::max(area.left(), std::min(topLeft.x(), area.right() + 1 - frame.width())));
    topLeft.setY(std::max(area.top(), std::min(topLeft.y(), area.bottom() + 1 - frame.height())));
    if (topLeft != frame.topLeft())
        w->move(topLeft + offset);
}

void centerWindow(QWidget* w, QWidget* over)
{
    if (!over)
        over = w->parentWidget();
    QRect area;
    if (over && over->isVisible())
        area = over->frameGeometry();
    else if (QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen())
        area = s->availableGeometry();
    if (area.isValid()) {
        QRect r = w->frameGeometry();
        r.moveCenter(area.center());
        w->move(r.topLeft() + (w->pos() - w->frameGeometry().topLeft()));
    }
    keepOnScreen(w);
}

bool confirmWindowClose()
{
    return askYes(QStringLiteral("Are you sure ?"), QStringLiteral("Close Window"));
}

// ---------------------------------------------------------------- registry

void setMainWindow(QWidget* w)
{
    Registry& r = registry();
    r.main = w;
    if (w && !w->objectName().isEmpty() && !IsWindowDefined(w->objectName()))
        registerWindow(w->objectName(), w);
}

QWidget* mainWindow() { return registry().main; }

void registerWindow(const QString& name, QWidget* w)
{
    Registry& r = registry();
    const QString key = keyOf(name);
    r.windows.insert(key, w);
    r.order.removeAll(key);
    r.order << key;
}

void unregisterWindow(const QString& name, QWidget* w)
{
    Registry& r = registry();
    const QString key = keyOf(name);
    auto it = r.windows.find(key);
    if (it != r.windows.end() && (it.value() == w || it.value().isNull())) {
        r.windows.erase(it);
        r.order.removeAll(key);
    }
}

QWidget* findWindow(const QString& name)
{
    Registry& r = registry();
    auto it = r.windows.constFind(keyOf(name));
    if (it == r.windows.constEnd())
        return nullptr;
    return it.value().data();
}

bool IsWindowDefined(const QString& name) { return findWindow(name) != nullptr; }

QStringList definedWindows()
{
    QStringList out;
    Registry& r = registry();
    for (const QString& key : r.order)
        if (QWidget* w = r.windows.value(key))
            out << w->objectName();
    return out;
}

QList<Form*> windowsHoldingOwnTables()
{
    QList<Form*> out;
    Registry& r = registry();
    for (const QString& key : r.order)
        if (auto* f = qobject_cast<Form*>(r.windows.value(key).data()); f && f->holdsOwnTables() && !f->isReleased())
            out << f;
    return out;
}

bool ReleaseWindow(const QString& name)
{
    QWidget* w = findWindow(name);
    if (!w)
        return false;
    if (auto* f = qobject_cast<Form*>(w)) {
        f->release();
    } else {
        unregisterWindow(name, w);
        w->hide();
    }
    return true;
}

void releaseAllWindows()
{
    Registry& r = registry();
    // Latest first, so a window opened from another goes before it.
    const QStringList keys = r.order;
    for (auto it = keys.crbegin(); it != keys.crend(); ++it) {
        QWidget* w = r.windows.value(*it);
        if (auto* f = qobject_cast<Form*>(w); f && w != r.main)
            f->release();
    }
}

// ---------------------------------------------------------------- by name

QWidget* control(const QString& form, const QString& controlName)
{
    QWidget* w = findWindow(form);
    if (!w)
        return nullptr;
    if (controlName.isEmpty())
        return w;
    return w->findChild<QWidget*>(controlName);
}

QVariant GetProperty(const QString& form, const QString& controlName, const QString& property, int index)
{
    return controlProperty(control(form, controlName), property, index);
}

bool SetProperty(const QString& form, const QString& controlName, const QString& property,
                 const QVariant& value, int index)
{
    return setControlProperty(control(form, controlName), property, value, index);
}

bool DoMethod(const QString& form, const QString& method)
{
    QWidget* w = findWindow(form);
    if (!w)
        return false;
    if (method == QLatin1String("SetFocus")) {
        if (w->isMinimized())
            w->showNormal();
        w->show();
        w->raise();
        w->activateWindow();
    } else if (method == QLatin1String("Center")) {
        centerWindow(w);
    } else if (method == QLatin1String("Maximize")) {
        w->showMaximized();
    } else if (method == QLatin1String("Minimize")) {
        w->showMinimized();
    } else if (method == QLatin1String("Restore")) {
        w->showNormal();
    } else if (method == QLatin1String("Show")) {
        w->show();
    } else if (method == QLatin1String("Hide")) {
        w->hide();
    } else if (method == QLatin1String("Release")) {
        return ReleaseWindow(form);
    } else {
        return false;
    }
    return true;
}

bool DoMethod(const QString& form, const QString& controlName, const QString& method)
{
    if (controlName.isEmpty())
        return DoMethod(form, method);
    QWidget* w = control(form, controlName);
    if (!w)
        return false;
    if (method == QLatin1String("SetFocus")) {
        w->setFocus(Qt::OtherFocusReason);
    } else if (method == QLatin1String("Refresh")) {
        if (auto* g = qobject_cast<BrowseGrid*>(w))
            g->refresh();
        else
            w->update();
    } else if (method == QLatin1String("DeleteAllItems")) {
        if (auto* g = qobject_cast<ArrayGrid*>(w))
            g->deleteAllItems();
        else if (auto* c = qobject_cast<QComboBox*>(w))
            c->clear();
        else if (auto* l = qobject_cast<QListWidget*>(w))
            l->clear();
        else
            return false;
    } else if (method == QLatin1String("Show")) {
        w->show();
    } else if (method == QLatin1String("Hide")) {
        w->hide();
    } else {
        return false;
    }
    return true;
}

bool AddItem(const QString& form, const QString& controlName, const QVariant& item)
{
    QWidget* w = control(form, controlName);
    if (auto* g = qobject_cast<ArrayGrid*>(w))
        g->addItem(item.toStringList());
    else if (auto* c = qobject_cast<QComboBox*>(w))
        c->addItem(item.toString());
    else if (auto* l = qobject_cast<QListWidget*>(w))
        l->addItem(item.toString());
    else
        return false;
    return true;
}

// ---------------------------------------------------------------- keyboard

namespace {

class KeySwallow : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        const auto t = e->type();
        return t == QEvent::KeyPress || t == QEvent::KeyRelease || t == QEvent::ShortcutOverride;
    }
};

} // namespace

void clearKeyboardBuffer()
{
    QCoreApplication::removePostedEvents(nullptr, QEvent::KeyPress);
    QCoreApplication::removePostedEvents(nullptr, QEvent::KeyRelease);
    KeySwallow swallow;
    qApp->installEventFilter(&swallow);
    // Delivers the key events the window system still holds, into the filter.
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
    qApp->removeEventFilter(&swallow);
}

EscapeWatch::EscapeWatch() { qApp->installEventFilter(this); }

EscapeWatch::~EscapeWatch()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

bool EscapeWatch::pressed()
{
    QCoreApplication::processEvents();
    return pressed_;
}

bool EscapeWatch::eventFilter(QObject*, QEvent* e)
{
    const auto t = e->type();
    if (t == QEvent::KeyPress) {
        if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape)
            pressed_ = true;
        return true;
    }
    return t == QEvent::KeyRelease || t == QEvent::ShortcutOverride;
}

} // namespace cn
