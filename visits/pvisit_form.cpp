#include "visits/pvisit_form.h"

#include "app/clock.h"
#include "app/controls.h"
#include "app/database.h"
#include "app/grid.h"
#include "app/listedit.h"
#include "app/messages.h"
#include "app/resources.h"
#include "app/routines.h"
#include "app/text.h"
#include "masters/dbfmenu.h"
#include "print/print_dialog.h"
#include "visits/pvhist_form.h"
#include "visits/rx_editor.h"
#include "visits/visit_records.h"

#include <QLabel>
#include <QPointer>
#include <QTimeEdit>

namespace cn {

namespace {

const QString kForm = QStringLiteral("Form_PVisit");
using K = ControlKind;

// The list frame's buttons.
const QList<ControlDecl> kListButtons = {
    {"Append_PVisit", K::Button, 50, 210, 60, 28, "&Append", "Append Visit details"},
    {"Modify_PVisit", K::Button, 110, 210, 60, 28, "&Modify", "Modify Visit details"},
    {"Delete_PVisit", K::Button, 170, 210, 60, 28, "&Delete", "Delete Visit"},
    {"Print_PVisit", K::Button, 240, 210, 120, 28, "&Preview/Print", "Preview/Print Prescription"},
    ControlDecl{"Bt_Exit_PVisit", K::Button, 370, 210, 100, 28, "E&xit"}.font("MS Sans Serif"),
};

// The bottom strip's buttons.
const QList<ControlDecl> kEntryButtons = {
    {"Bt_PrnRec", K::Button, 525, 515, 100, 28, "&Print Receipt"},
    {"Bt_History", K::Button, 726, 515, 70, 28, "&History"},
    {"Bt_Save", K::Button, 798, 515, 70, 28, "&Save"},
    {"Bt_Cancel", K::Button, 870, 515, 70, 28, "&Cancel"},
};

// What a save writes besides the visit's own fields: the patient as the
// register has him or her today, and the age on the visit day, kept with
// the visit for the statistics (the window shows the register's values).
const FieldBinding kPatientCopies[] = {
    {"TxtPatCode", "PATCODE", Bind::Number},
    {"TxtPatSex", "PATSEX", Bind::Option, {"F", "M"}},
    {"TxtPatRace", "PATRACE"},
    {"TxtPatAgeYrs", "PATYRS", Bind::Number},
    {"TxtPatAgeMnths", "PATMNTHS", Bind::Number},
    {"TxtPatAgeDays", "PATDAYS", Bind::Number},
};

const QString kPatients = QStringLiteral("patnt");
const QString kVisits = QStringLiteral("pvisit");
const QString kChambers = QStringLiteral("chamber");

} // namespace

PVisitForm::PVisitForm(QWidget* owner) : VisitDetailsForm(kForm, owner)
{
    setTitle(QStringLiteral("Entry: Visit Details"));
    setWindowIcon(ICON01());
    place(22, 74, 966, 600);
    build(listFrame(DetailsFor::Entry));
    build(kListButtons);
    build(measuresFrame(DetailsFor::Entry));
    build(notesFrame());
    build(RxEditor::controls());
    build(feesFrame(DetailsFor::Entry));
    build(kEntryButtons);
    attachDetails({kPatients, kVisits, kChambers, visits::kByPatientPvNo}, visitFields(), kPatientCopies);
    rx_ = new RxEditor(*this, prescription_, notes_);
    states_ = detailStates_;
    states_.entering << rx_->entryControls();
    states_.browsing << needAll({"Append_PVisit", "Modify_PVisit", "Delete_PVisit", "Print_PVisit", "Bt_PrnRec"});
    states_.entering << needAll({"Bt_History", "Bt_Save", "Bt_Cancel"});
    states_.always = needAll({"Bt_Exit_PVisit"});
    QWidget* append = need(QStringLiteral("Append_PVisit"));
    QWidget* modify = need(QStringLiteral("Modify_PVisit"));
    QWidget* del = need(QStringLiteral("Delete_PVisit"));
    QWidget* exitButton = need(QStringLiteral("Bt_Exit_PVisit"));
    QWidget* history = need(QStringLiteral("Bt_History"));
    QWidget* save = need(QStringLiteral("Bt_Save"));
    QWidget* cancel = need(QStringLiteral("Bt_Cancel"));
    if (!faults().isEmpty())
        return;
    onAction(append, [this] { BT_ENTRY_PVISIT(1); });
    onAction(modify, [this] { BT_ENTRY_PVISIT(2); });
    onAction(del, [this] { BT_DELETE_PVISIT(1); });
    onAction(exitButton, [this] { RELEASE_PVISIT(); });
    onAction(history, [] { PVHIST(); });
    onAction(save, [this] { BT_SAVE_PVISIT(); });
    onAction(cancel, [this] { BT_CANCEL_PVISIT(); });
    connect(chamber_, &TextBox::pickRequested, this, [this] { GET_CHAMBER(); });
    onLeave(chamber_, [this] { CHK_TXTCHNAME(); });
    // The printouts print what the window shows.
    onAction(need(QStringLiteral("Print_PVisit")), [this] { PRNPRES(printView()); });
    onAction(need(QStringLiteral("Bt_PrnRec")), [this] { PRNRECPT(printView()); });
}

void PVisitForm::open()
{
    SET_PVISIT_RELATIONS(true);
    ENTRY_PVISIT_ABLE(false);
    seek_->setFocus(Qt::OtherFocusReason);
    gridPatients_->refresh();   // on the first patient by name
    UPDATE_GRID_PVISIT();
    center();
    activate();
    seek_->setFocus(Qt::OtherFocusReason);
}

void PVisitForm::releasing()
{
    // The history beside it goes with it; an entry in progress is dropped.
    ReleaseWindow(QStringLiteral("Form_PVHist"));
    SET_PVISIT_RELATIONS(false);
}

void PVisitForm::SET_PVISIT_RELATIONS(bool on)
{
    data::WorkArea* p = area(kPatients);
    data::WorkArea* v = area(kVisits);
    if (!p || !v)
        return;
    p->clearRelations();
    if (on) {
        (void)v->setOrder(visits::kByPatientPvNo);
        (void)p->setOrder(2);
        // Every move in the patients puts the visits on that patient's first.
        (void)p->setRelation(kVisits.toStdString(), "'F'+str(patcode)");
        p->goTop();
    } else {
        // The shared visit area is not left restricted to the last patient.
        const int order = v->indexOrd();
        (void)v->setOrder(visits::kByPatientPvNo);
        v->clearScope();
        (void)v->setOrder(order);
    }
}

void PVisitForm::ENTRY_PVISIT_ABLE(bool entry)
{
    entry_ = entry;
    states_.apply(entry);
    rx_->setEntry(entry);
}

// ---------------------------------------------------------------- the lists

void PVisitForm::UPDATE_GRID_PVISIT(uint32_t, long long pvNo)
{
    // The visit is found by its PV number among the patient's visits (the
    // first one from that number on: a patient whose PV 1 was deleted shows
    // the first visit there is).
    showLists(pvNo);
}

long long PVisitForm::GETPVNO()
{
    data::WorkArea* v = visits();
    return v ? visits::nextPatientVisitNo(*v, static_cast<long long>(patCode_->value())) : 0;
}

// ---------------------------------------------------------------- the chamber

void PVisitForm::GET_CHAMBER()
{
    DBFMenuForm* list = openDBFMenu(chamberPickList());
    if (!list)
        return;   // another pick list is open: it stays as it is
    QPointer<PVisitForm> self(this);
    const int serial = entrySerial_;
    (void)waitForChoice(list);
    // The program went on while the list was open: the result is used only
    // when this window still exists and is still in the entry that asked.
    if (!self || self->isReleased() || !self->entry_ || self->entrySerial_ != serial)
        return;
    // The list leaves `chamber` on the record chosen, or after Exit on the
    // one last highlighted: that is the chamber taken.
    data::WorkArea* c = self->chambers();
    self->chamber_->setText(c && !c->eof() ? fieldText(*c, QStringLiteral("CHNAME")) : QString());
    self->raise();
    self->activateWindow();
    self->chamber_->setFocus(Qt::OtherFocusReason);
}

bool PVisitForm::resolveChamber(bool tell)
{
    data::WorkArea* c = chambers();
    const QString name = trimBlanks(chamber_->text());
    resolvedName_ = name;
    chamberCode_ = 0;
    if (!c)
        return false;
    // The whole name, in any letter case.
    (void)c->setOrder(2);
    const bool found = c->seek(keyBytes(QStringLiteral("F") + keyUpper(name).leftJustified(40, QLatin1Char(' '))));
    if (found)
        chamberCode_ = static_cast<long long>(c->num("CHCODE"));
    else if (tell)
        MESGSTOP(QStringLiteral("Chamber not found !!"));
    return found;
}

void PVisitForm::CHK_TXTCHNAME()
{
    // Only a box being typed into is resolved; in browse mode it shows the
    // visit's chamber, which is not looked up again.
    if (!entry_ || isReleased())
        return;
    resolveChamber(true);
}

// ---------------------------------------------------------------- entering

void PVisitForm::BT_ENTRY_PVISIT(int mode)
{
    if (patCode_->value() == 0) {
        MESGSTOP(QStringLiteral("Please select patient first"));
        return;
    }
    LNEW = mode == 1;
    if (mode == 2) {
        const long long visitNo = listedVisitNo();
        if (visitNo == 0)
            return;
        data::WorkArea* v = visits();
        const uint32_t rec = gridVisits_->value();
        // Looked for by its number; the list's order and scope stay.
        const bool found = visits::seekVisitNo(*v, visitNo);
        (void)v->setOrder(visits::kByPatientPvNo);
        v->goTo(rec);
        if (!found) {
            MESGSTOP(QStringLiteral("Record not found !!"));
            return;
        }
        VISITTOEDIT = visitNo;
    }
    ++entrySerial_;
    ENTRY_PVISIT_ABLE(true);
    if (mode == 1)
        startNewVisit();
    else
        resolvedName_ = trimBlanks(chamber_->text());   // the visit's own chamber code stays
    chamber_->setFocus(Qt::OtherFocusReason);
}

void PVisitForm::startNewVisit()
{
    visitNo_->setValue(0);
    chamberCode_ = 0;
    chamber_->clear();
    resolvedName_.clear();
    visitDate_->setValue(today());
    visitTime_->setTime(timeNow());
    visitType_->setValue(0);
    for (NumberBox* box : {feet_, inches_, pounds_, systolic_, diastolic_, pulse_, temperature_})
        box->setValue(0);
    prescription_->clear();
    notes_->clear();
    narration_->clear();
    fees_->setValue(0);
    status_->setValue(0);
    nextVisit_->setValue(today());
    convertHeight(true);
    convertWeight(true);
    noteMeasures();
    calcAge();
}

void PVisitForm::BT_CANCEL_PVISIT()
{
    LNEW = false;
    ++entrySerial_;
    ENTRY_PVISIT_ABLE(false);
    // Nothing is written; the details show the visit the list shows again,
    // so that what is printed from them is always a stored visit.
    showVisit();
    gridVisits_->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------- saving

visits::VisitEntry PVisitForm::entryValues() const
{
    visits::VisitEntry e;
    e.patientCode = static_cast<long long>(patCode_->value());
    e.firstName = firstName_->text();
    e.sex = sex_->value();
    e.ageYears = static_cast<int>(ages_[0]->value());
    e.ageMonths = static_cast<int>(ages_[1]->value());
    e.ageDays = static_cast<int>(ages_[2]->value());
    e.chamberCode = chamberCode_;
    e.visitType = visitType_->value();
    e.visitDate = visitDate_->value();
    e.visitTime = visitTime_->time();
    e.prescription = prescription_->toPlainText();
    e.status = status_->value();
    e.nextVisit = nextVisit_->value();
    e.fees = fees_->value();
    return e;
}

VisitPrintView PVisitForm::printView() const
{
    VisitPrintView p;
    if (data::WorkArea* patient = patients(); patient && shownPatient() != 0) {
        patient->goTo(shownPatient());
        p.PATTITLE = fieldText(*patient, QStringLiteral("PATTITLE"));
    }
    p.TxtPatFName = firstName_->text();
    p.TxtPatLName = lastName_->text();
    p.TxtPatCode = static_cast<long long>(patCode_->value());
    p.TxtPatSex = sex_->value();
    p.TxtPatAgeYrs = static_cast<int>(ages_[0]->value());
    p.TxtPatAgeMnths = static_cast<int>(ages_[1]->value());
    p.TxtPatAgeDays = static_cast<int>(ages_[2]->value());
    p.Lb_PVNo = pvNoLabel_->text();
    p.TxtVisitDt = visitDate_->value();
    p.TxtPatHeightFeet = static_cast<int>(feet_->value());
    p.TxtPatHeightInch = static_cast<int>(inches_->value());
    p.TxtPatHeightMtrs = static_cast<int>(metres_->value());
    p.TxtPatHeightCm = static_cast<int>(centimetres_->value());
    p.TxtPatWeightLbs = static_cast<int>(pounds_->value());
    p.TxtPatWeightKgs = static_cast<int>(kilograms_->value());
    p.TxtPatTemp = temperature_->value();
    p.TxtPatPulse = static_cast<int>(pulse_->value());
    p.TxtPatSys = static_cast<int>(systolic_->value());
    p.TxtPatDias = static_cast<int>(diastolic_->value());
    p.TxtPatFees = fees_->value();
    p.TxtPatNote = narration_->text();
    p.TxtPatPres = QByteArray::fromStdString(prescriptionCodec().write(*prescription_->document()));
    return p;
}

data::Status PVisitForm::PVISIT_FLUSH(data::WorkArea& a)
{
    data::Status s = a.setNum("CHCODE", static_cast<double>(chamberCode_));
    if (s)
        s = a.setLogical("LNEXTVISIT", !nextVisit_->isEmpty());
    if (s)
        s = fields_->flush(a);   // every bound field, then a commit
    return s;
}

void PVisitForm::BT_SAVE_PVISIT()
{
    if (!entry_)
        return;
    if (auto* date = qobject_cast<DatePicker*>(fields_->unfinishedDate())) {
        MESGINFO(date->refusal());
        date->setFocus(Qt::OtherFocusReason);
        return;
    }
    // What was typed but not yet taken up by leaving its box (a save by its
    // key leaves no box): the measure converted, the chamber resolved.
    if (!convertPending())
        return;
    if (trimBlanks(chamber_->text()) != resolvedName_)
        resolveChamber(false);
    if (const std::optional<visits::Refusal> r = visits::checkVisit(entryValues())) {
        MESGSTOP(r->text);
        if (r->givesUp) {
            LNEW = false;
            ++entrySerial_;
            ENTRY_PVISIT_ABLE(false);
        }
        if (QWidget* w = control<QWidget>(r->focus))
            w->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!visits()) {
        MESGSTOP(QStringLiteral("The visit table is not open !!"));
        return;
    }
    if (LNEW)
        saveNew();
    else
        saveChanged();
}

void PVisitForm::saveNew()
{
    data::WorkArea& v = *visits();
    bool gaveUp = false;
    const data::Result<visits::NewVisit> added = visits::appendVisit(
        v, static_cast<long long>(patCode_->value()), [this](data::WorkArea& a) { return PVISIT_FLUSH(a); },
        [&gaveUp] {
            gaveUp = !askYes(visits::tableLockQuestion());
            return !gaveUp;
        });
    if (!added) {
        // Not saved: the entry stays as typed, still a new visit, so that
        // Save again can only add it.
        if (!gaveUp)
            MESGSTOP(QStringLiteral("The visit could not be added !!\n") + problemText(added.status()));
        return;
    }
    LNEW = false;
    ++entrySerial_;
    MESGEXCLAMATION(QStringLiteral("Append Successful"));
    ENTRY_PVISIT_ABLE(false);
    UPDATE_GRID_PVISIT(added.value().recNo, added.value().pvNo);
}

void PVisitForm::saveChanged()
{
    data::WorkArea& v = *visits();
    const bool found = visits::seekVisitNo(v, VISITTOEDIT);
    (void)v.setOrder(visits::kByPatientPvNo);   // on the record found, in the list's order
    if (!found) {
        MESGEXCLAMATION(QStringLiteral("Record not found !!"));
        return;
    }
    if (!BLOCKRECORD(kVisits))
        return;
    // Read again under the lock: changed by another window or program since
    // it was shown, it is not overwritten; the stored visit is shown.
    if (!loaded_.empty() && fields_->changedSince(loaded_, v)) {
        const uint32_t rec = v.recNo();
        v.unlock();
        MESGEXCLAMATION(changedElsewhereText());
        gridVisits_->refresh();
        if (gridVisits_->value() != rec)
            gridVisits_->setValue(rec);
        showVisit();
        return;
    }
    const FieldValues before = fields_->stored(v);
    const long long pvNo = static_cast<long long>(v.num("PVNO"));
    const uint32_t rec = v.recNo();
    if (data::Status s = PVISIT_FLUSH(v); !s) {
        fields_->restore(v, before);
        v.unlock();
        MESGSTOP(QStringLiteral("The visit could not be changed !!\n") + problemText(s));
        return;
    }
    v.unlock();
    ++entrySerial_;
    MESGINFO(QStringLiteral("Modification Successful !!"));
    ENTRY_PVISIT_ABLE(false);
    UPDATE_GRID_PVISIT(rec, pvNo);
}

// ---------------------------------------------------------------- deleting

long long PVisitForm::listedVisitNo()
{
    data::WorkArea* v = visits();
    const uint32_t rec = gridVisits_->value();
    if (v)
        v->goTo(rec);
    const long long visitNo = v && rec != 0 ? static_cast<long long>(v->num("VISITNO")) : 0;
    if (visitNo == 0)
        MESGEXCLAMATION(QStringLiteral("No data to process !!"));
    return visitNo;
}

void PVisitForm::BT_DELETE_PVISIT(int)
{
    const long long visitNo = listedVisitNo();
    if (visitNo == 0)
        return;
    data::WorkArea* v = visits();
    const uint32_t rec = gridVisits_->value();
    if (!askYes(QStringLiteral("Delete %1 ??").arg(visitNo)))
        return;
    v->goTo(rec);
    if (!BLOCKRECORD(kVisits))
        return;
    // Still that visit under the lock (another copy may have deleted it).
    if (v->deleted() || static_cast<long long>(v->num("VISITNO")) != visitNo) {
        v->unlock();
        MESGEXCLAMATION(QStringLiteral("Record not found !!"));
        UPDATE_GRID_PVISIT();
        return;
    }
    data::Status s = v->deleteRecord();
    if (s)
        s = v->commit();
    v->unlock();
    if (!s)
        MESGSTOP(QStringLiteral("The visit could not be deleted !!\n") + problemText(s));
    // The list without it, and the patient's first visit shown.
    UPDATE_GRID_PVISIT();
}

// ---------------------------------------------------------------- opening

void PVISIT()
{
    if (IsWindowDefined(kForm)) {
        DoMethod(kForm, QStringLiteral("SetFocus"));
        return;
    }
    if (IsWindowDefined(QStringLiteral("Form_Stats"))) {
        MESGSTOP(QStringLiteral("Please close 'Report: Query/Stats' window first"));
        return;
    }
    (new PVisitForm)->open();
}

} // namespace cn
