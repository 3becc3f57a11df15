#include "app/setupform.h"

#include "app/clock.h"
#include "app/database.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "data/setup.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>

namespace cn {

namespace {

QPointer<Form_Setup>& currentForm()
{
    static QPointer<Form_Setup> form;
    return form;
}

using K = ControlKind;

// Three bars (tables, indexes, the current table's records) and the status text.
const QList<ControlDecl> kSetupControls = {
    ControlDecl{"Progress_1", K::Progress, 31, 0, 300, 26, "", "Database Progress"}.range(0, 22),
    ControlDecl{"Progress_2", K::Progress, 31, 30, 300, 26, "", "Index Progress"}.range(0, 46),
    ControlDecl{"Progress_3", K::Progress, 31, 60, 300, 26, "", "Table Progress"}.range(0, 100),
    ControlDecl{"TextBox_1", K::Text, 31, 90, 300, 24}.off(),
};

} // namespace

Form_Setup::Form_Setup(QWidget* owner) : Form(QStringLiteral("Form_Setup"), WindowType::Plain, owner)
{
    setTitle(QStringLiteral("Database Check"));
    place(0, 0, 365, 125);
    // Nothing else may be used while the folder is being rebuilt.
    setWindowModality(Qt::ApplicationModal);
    build(kSetupControls);
    for (int i = 0; i < 3; ++i)
        bars_[i] = need<QProgressBar>(QStringLiteral("Progress_%1").arg(i + 1));
    text_ = need<QLineEdit>(QStringLiteral("TextBox_1"));
    centerWindow(this, nullptr);
    qApp->installEventFilter(this);
}

Form_Setup::~Form_Setup() { qApp->removeEventFilter(this); }

QProgressBar* Form_Setup::progress(int n) const
{
    return n >= 1 && n <= 3 ? bars_[n - 1] : nullptr;
}

bool Form_Setup::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        escape_ = true;
        return true;   // the run handles it; no window closes on it
    }
    return Form::eventFilter(watched, event);
}

int showSetupMessage(data::SetupBox kind, const std::string& text)
{
    const QString t = QString::fromStdString(text);
    switch (kind) {
    case data::SetupBox::OkCancel: return MESGOKCANCEL(t);
    case data::SetupBox::Info: MESGINFO(t); break;
    case data::SetupBox::Exclamation: MESGEXCLAMATION(t); break;
    case data::SetupBox::Stop: MESGSTOP(t); break;
    }
    return 1;
}

Form_Setup* setupWindow() { return currentForm().data(); }

// The set-up logic's view of its surroundings: the window's bars and text,
// the message seam, the clock and the main menu.
class SetupView final : public data::SetupObserver {
public:
    explicit SetupView(Form_Setup& form) : form_(form) {}

    void status(const std::string& text) override
    {
        const QString t = QString::fromStdString(text);
        form_.text_->setText(t);
        emit form_.statusShown(t);
        pump();
    }
    void setRange(int bar, int minimum, int maximum) override
    {
        if (QProgressBar* b = form_.progress(bar))
            b->setRange(minimum, maximum);
    }
    void setValue(int bar, int value) override
    {
        if (QProgressBar* b = form_.progress(bar))
            b->setValue(value);
        pump();
    }
    int message(data::SetupBox kind, const std::string& text) override
    {
        return showSetupMessage(kind, text);
    }
    bool escapePressed() override
    {
        pump();
        return form_.takeEscape();
    }
    data::Date today() override { return toDate(cn::today()); }
    long secondsSinceMidnight() override { return timeNow().msecsSinceStartOfDay() / 1000; }
    void setMenusEnabled(bool enable) override { MAINMENUABLE(enable); }
    void release() override { form_.hide(); }

private:
    // Lets the window paint and the Escape key arrive; the window is modal,
    // so no other window takes input meanwhile.
    void pump() { QCoreApplication::processEvents(); }

    Form_Setup& form_;
};

void SET_UP(bool cleanup)
{
    auto* form = new Form_Setup(mainWindow());
    currentForm() = form;
    form->show();
    {
        SetupView view(*form);
        data::Setup run(db(), view);
        run.SETUP_PROCESS(cleanup);
    }
    // Released: the popups are enabled again (MAINMENUABLE in the run).
    currentForm() = nullptr;
    delete form;
}

void DATA_CLEANUP() { SET_UP(true); }

} // namespace cn
