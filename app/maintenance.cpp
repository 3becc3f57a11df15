#include "app/maintenance.h"

#include "app/forms.h"
#include "app/resources.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>

namespace cn {

QList<ControlDecl> progressControls()
{
    using K = ControlKind;
    return {
        ControlDecl{"ProgressBar_1", K::Progress, 45, 30, 310, 30}.range(0, 10),
        ControlDecl{"Label_1", K::Label, 25, 70, 350, 50}.font("Arial", 10).strong().aligned(Qt::AlignCenter),
    };
}

void colourProgressBar(QProgressBar* bar)
{
    if (!bar)
        return;
    QPalette pal = bar->palette();
    pal.setColor(QPalette::Highlight, QColor(0, 130, 0));
    bar->setPalette(pal);
}

std::pair<QProgressBar*, QLabel*> shapeMaintenanceWindow(Form* w, const QString& title,
                                                         const QList<ControlDecl>& buttons)
{
    w->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                      Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    w->setTitle(title);
    w->setWindowIcon(ICON01());
    w->setFont(QFont(QStringLiteral("Arial"), 9));
    w->place(0, 0, 400, 215);
    w->setResizable(false);
    w->build(progressControls() + buttons);
    auto* bar = w->need<QProgressBar>(QStringLiteral("ProgressBar_1"));
    auto* label = w->need<QLabel>(QStringLiteral("Label_1"));
    colourProgressBar(bar);
    return {bar, label};
}

InputHold::InputHold() { qApp->installEventFilter(this); }

InputHold::~InputHold()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

void InputHold::pump() { QCoreApplication::processEvents(); }

void InputHold::pause(int ms)
{
    if (ms <= 0) {
        pump();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    pausing_ = &loop;
    loop.exec();
    pausing_ = nullptr;
}

bool InputHold::eventFilter(QObject* watched, QEvent* e)
{
    // A message box the run shows takes its answer as usual.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && (w == modal || modal->isAncestorOf(w)))
            return false;
    }
    switch (e->type()) {
    case QEvent::KeyPress:
        if (pausing_)
            pausing_->quit();
        return true;
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

} // namespace cn
