#include "visits/renum_form.h"

#include "app/database.h"
#include "app/grid.h"
#include "app/maintenance.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "visits/renumber.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <tuple>

namespace cn {

namespace {

using K = ControlKind;

const QList<ControlDecl> kButtons = {
    {"Button_1", K::Button, 45, 140, 100, 30, "&Renumber"},
    {"Button_2", K::Button, 255, 140, 100, 30, "E&xit"},
};

data::WorkArea* visits() { return area(QStringLiteral("pvisit")); }

} // namespace

RenumForm::RenumForm(QWidget* owner) : Form(QStringLiteral("Form_ReNum"), WindowType::Child, owner)
{
    std::tie(bar_, label_) = shapeMaintenanceWindow(this, QStringLiteral("Renumbering"), kButtons);
    buttons_[0] = need<QPushButton>(QStringLiteral("Button_1"));
    buttons_[1] = need<QPushButton>(QStringLiteral("Button_2"));
    if (buttons_[0])
        connect(buttons_[0], &QPushButton::clicked, this, [this] { RENUMPVNO2(); });
    if (buttons_[1])
        connect(buttons_[1], &QPushButton::clicked, this, &Form::release);
    if (data::WorkArea* a = visits()) {
        order_ = a->indexOrd();
        record_ = a->recNo();
        remembered_ = true;
    }
}

void RenumForm::releasing()
{
    if (data::WorkArea* a = visits(); a && remembered_) {
        (void)a->setOrder(order_);
        a->goTo(record_);
    }
    // The visit window's list shows the new numbers once redrawn.
    refreshBrowseGrids();
}

void RenumForm::RENUMPVNO2()
{
    data::WorkArea* a = visits();
    if (!a) {
        MESGEXCLAMATION(QStringLiteral("The visit table is not open !!"));
        return;
    }
    InputHold hold;
    QElapsedTimer shown;
    shown.start();
    // The bar and label follow every visit; the window is painted every few
    // hundredths of a second, not for each.
    auto paint = [&](bool now) {
        if (now || shown.elapsed() >= 40) {
            hold.pump();
            shown.restart();
        }
    };
    RenumberEvents events;
    events.started = [&](uint32_t records) {
        bar_->setRange(1, static_cast<int>(records));
        QPalette pal = label_->palette();
        pal.setColor(QPalette::WindowText, kResultBlue);
        label_->setPalette(pal);
        paint(true);
    };
    events.patient = [&](long long patient) {
        label_->setText(QString::number(patient).rightJustified(10, QLatin1Char(' ')));
        paint(false);
    };
    events.visit = [&](uint32_t position) {
        bar_->setValue(static_cast<int>(position));
        paint(false);
    };
    const RenumberResult r = renumberVisits(*a, events);
    switch (r.outcome) {
    case RenumberResult::Outcome::Locked:
        MESGEXCLAMATION(QStringLiteral("Renumbering failed. Unable to lock file !!"));
        return;
    case RenumberResult::Outcome::Failed:
        MESGSTOP(QStringLiteral("Renumbering failed !!\n\n") + problemText(r.error));
        return;
    case RenumberResult::Outcome::Done:
        break;
    }
    label_->setText(QStringLiteral("Complete"));
}

void RENUMPVNO()
{
    if (focusForm(QStringLiteral("Form_ReNum")))
        return;
    auto* form = new RenumForm;
    form->center();
    form->activate();
}

} // namespace cn
