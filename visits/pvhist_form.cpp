#include "visits/pvhist_form.h"

#include "app/controls.h"
#include "app/database.h"
#include "app/grid.h"
#include "app/resources.h"
#include "visits/pvisit_form.h"
#include "visits/visit_records.h"

#include <QLineEdit>
#include <QSignalBlocker>
#include <vector>

namespace cn {

namespace {

const QString kForm = QStringLiteral("Form_PVHist");
using K = ControlKind;

// Kept for their names; they do nothing.
const QList<ControlDecl> kHiddenSeek = {
    ControlDecl{"Label_Seek", K::Label, 335, 170, 60, 40, "Seek\n(Visit No.)"}.hidden(),
    ControlDecl{"TxtSeek", K::Text, 400, 170, 112, 24, "", "", 10}.hidden(),
};

const QList<ControlDecl> kButtons = {
    ControlDecl{"ChkNextVisit", K::CheckBox, 735, 468, 77, 24, "Next Visit"}.hidden(),
    ControlDecl{"Bt_PatImages", K::Button, 624, 515, 100, 28, "&Images"}.hidden(),
    ControlDecl{"Bt_Exit_PVisit", K::Button, 870, 515, 70, 28, "E&xit"}.font("MS Sans Serif"),
};

// The visit's fields, and the hidden check box that holds LNEXTVISIT.
const std::vector<FieldBinding>& historyFields()
{
    static const std::vector<FieldBinding> fields = [] {
        const std::span<const FieldBinding> shown = VisitDetailsForm::visitFields();
        std::vector<FieldBinding> v(shown.begin(), shown.end());
        v.push_back({"ChkNextVisit", "LNEXTVISIT", Bind::Check});
        return v;
    }();
    return fields;
}

} // namespace

const QString PVHistForm::kPatients = QStringLiteral("pvhist_patnt");
const QString PVHistForm::kVisits = QStringLiteral("pvhist_pvisit");
const QString PVHistForm::kChambers = QStringLiteral("pvhist_chamber");

PVHistForm::PVHistForm(QWidget* owner) : VisitDetailsForm(kForm, owner)
{
    setTitle(QStringLiteral("Entry: Patient History"));
    setWindowIcon(ICON01());
    place(22, 74, 966, 600);
    // Its own areas: nothing done here moves the visit window's.
    // (Its orders are numbered as the shared areas': patients 2 by name,
    // visits 2 by patient and visit number, chambers 1 by code.)
    patients_ = std::make_unique<PrivateArea>(db(), kPatients.toStdString());
    visits_ = std::make_unique<PrivateArea>(db(), kVisits.toStdString());
    chambers_ = std::make_unique<PrivateArea>(db(), kChambers.toStdString());
    if (auto p = patients_->open("patnt", {"patnt1", "patnt2"}))
        (void)p.value()->setOrder(2);
    (void)visits_->open("pvisit", {"pvisit1", "pvisit2"});
    (void)chambers_->open("chamber", {"chamber1"});
    build(listFrame(DetailsFor::History));
    build(kHiddenSeek);
    build(measuresFrame(DetailsFor::History));
    build(notesFrame());
    build(feesFrame(DetailsFor::History));
    build(kButtons);
    attachDetails({kPatients, kVisits, kChambers, visits::kByPatient}, historyFields());
    states_ = detailStates_;
    states_.browsing << needAll({"TxtSeek"});
    states_.disabled << needAll({"ChkNextVisit"});
    states_.always = needAll({"Bt_Exit_PVisit"});
    QWidget* exitButton = need(QStringLiteral("Bt_Exit_PVisit"));
    if (!faults().isEmpty())
        return;
    onAction(exitButton, [this] { release(); });
}

PVHistForm::~PVHistForm() = default;

void PVHistForm::releasing()
{
    // The lists read nothing more; the areas are closed now, not when the
    // window object goes.
    gridPatients_->setArea(nullptr);
    gridVisits_->setArea(nullptr);
    patients_.reset();
    visits_.reset();
    chambers_.reset();
}

void PVHistForm::ENTRY_PVHIST_ABLE(int) { states_.apply(false); }

void PVHistForm::REFRESH_SEEK_PATPVHIST(const QString& text)
{
    {
        const QSignalBlocker quiet(seek_);
        seek_->setText(text);
    }
    seek_->setFocus(Qt::OtherFocusReason);
    SEEK_PATPVHIST();
}

void PVHistForm::showRecords(uint32_t patient, uint32_t visit)
{
    if (patient != 0)
        gridPatients_->setValue(patient);   // its visits follow
    if (visit != 0)
        gridVisits_->setValue(visit);       // and that visit's details
}

void PVHIST()
{
    if (IsWindowDefined(kForm)) {
        DoMethod(kForm, QStringLiteral("SetFocus"));
        return;
    }
    auto* w = new PVHistForm;
    w->ENTRY_PVHIST_ABLE(0);
    w->REFRESH_SEEK_PATPVHIST(QStringLiteral(" "));
    if (auto* visitWindow = form<PVisitForm>(QStringLiteral("Form_PVisit")))
        w->showRecords(visitWindow->shownPatient(), visitWindow->shownVisit());
    w->center();
    w->activate();
}

} // namespace cn
