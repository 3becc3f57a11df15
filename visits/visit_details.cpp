#include "visits/visit_details.h"

#include "app/controls.h"
#include "app/database.h"
#include "app/grid.h"
#include "app/messages.h"
#include "app/routines.h"
#include "app/settings.h"
#include "app/text.h"
#include "visits/rtf/rtf.h"
#include "visits/visit_records.h"

#include <QLabel>
#include <QSignalBlocker>
#include <QTextDocument>

#include <algorithm>

namespace cn {

namespace {

using K = ControlKind;

// The fields a visit shows and a save writes, control by control. VISITNO
// and PVNO are shown by the window (a save never writes them); CHCODE and
// LNEXTVISIT are written from the chamber resolved and the next-visit date.
const FieldBinding kVisitFields[] = {
    {"TxtVisitDt", "VISITDT", Bind::Date},
    {"TxtVisitTm", "VISITTM", Bind::Time},
    {"TxtVisitType", "VISITTYPE", Bind::Option},   // 1 New Case, 2 Follow-Up, 0 none chosen
    {"TxtPatHeightFeet", "PATHTFT", Bind::Number},
    {"TxtPatHeightInch", "PATHTIN", Bind::Number},
    {"TxtPatWeightLbs", "PATWTLBS", Bind::Number},
    {"TxtPatSys", "PATSYS", Bind::Number},
    {"TxtPatDias", "PATDIAS", Bind::Number},
    {"TxtPatPulse", "PATPULSE", Bind::Number},
    {"TxtPatTemp", "PATTEMP", Bind::Number},
    {"TxtPatPres", "PATPRES", Bind::Rich, {}, {}, &prescriptionCodec()},
    {"TxtPatNote", "PATNOTE"},
    {"TxtPatFees", "PATFEES", Bind::Number},
    {"TxtPVStatus", "PVSTATUS", Bind::Combo},       // 1 Pending .. 4 Expired, 0 none chosen
    {"TxtPatNote1", "PATNOTE1", Bind::Rich, {}, {}, &notesCodec()},
    {"TxtNextVisit", "NEXTVISIT", Bind::Date},
};

const QString kPvNoText = QStringLiteral("Patient Visit (PV) No.: ");

} // namespace

const RichCodec& prescriptionCodec()
{
    static const RichCodec codec{
        [](QTextDocument& doc, const std::string& stored) { rtf::read(QByteArray::fromStdString(stored), &doc); },
        [](const QTextDocument& doc) { return rtf::write(doc).toStdString(); }};
    return codec;
}

const RichCodec& notesCodec()
{
    static const RichCodec codec{
        [](QTextDocument& doc, const std::string& stored) { rtf::read(QByteArray::fromStdString(stored), &doc); },
        // Formatting typed or pasted into the notes is not kept.
        [](const QTextDocument& doc) { return toCp1252(doc.toPlainText()); }};
    return codec;
}

// ---------------------------------------------------------------- declarations

QList<ControlDecl> VisitDetailsForm::listFrame(DetailsFor kind)
{
    ControlDecl grid{"Grid_Patnt", K::Browse, 15, 25, 310, 139};
    if (kind == DetailsFor::Entry)
        grid.tooltip = QStringLiteral("Enter/Modify Patient details thru Setup:Patients");
    return {
        {"Frame_PVisit_01", K::Frame, 5, 5, 515, 240, "Patients Visits List"},
        grid,
        {"Label_PatSeek", K::Label, 16, 170, 90, 40, "Seek\n(First Name)"},
        {"TxtPatSeek", K::Text, 104, 170, 220, 24, "", "Enter first few letters of name to seek", 20},
        {"Grid_PVisit", K::Browse, 340, 25, 170, 139},
        {"Lb_PVNo", K::Label, 340, 173, 170, 25, kPvNoText},
    };
}

QList<ControlDecl> VisitDetailsForm::measuresFrame(DetailsFor kind)
{
    ControlDecl chamber{"TxtChName", K::Text, 250, 350, 260, 24, "", "", 40};
    if (kind == DetailsFor::Entry) {
        chamber.withPick();
        chamber.tooltip = QStringLiteral("Click button ... to select Chamber. Append/Modify Chamber thru Setup:Chambers.");
    }
    return {
        {"Frame_PVisit_02", K::Frame, 5, 245, 515, 250, "Visit Details (1 of 3)"},
        ControlDecl{"Lb_PatCode", K::Label, 15, 268, 72, 24, "Patient Code"}.right(),
        {"TxtPatCode", K::Numeric, 90, 265, 120, 24, "", "", 0, "9999999999"},
        {"TxtPatFName", K::Text, 210, 265, 150, 24, "", "", 20},
        {"TxtPatLName", K::Text, 360, 265, 150, 24, "", "", 20},
        ControlDecl{"Lb_PatSex", K::Label, 15, 310, 72, 24, "Sex"}.right(),
        ControlDecl{"TxtPatSex", K::Radio, 90, 293, 60, 40}.withItems({"Female", "Male"}).withSpacing(20),
        ControlDecl{"Lb_PatRace", K::Label, 160, 293, 77, 24, "Background"}.right(),
        {"TxtPatRace", K::Text, 240, 290, 250, 24},
        ControlDecl{"Lb_PatDOB", K::Label, 195, 318, 42, 24, "DOB"}.right(),
        {"TxtPatDOB", K::Date, 240, 315, 80, 24},
        ControlDecl{"Lb_PatAge", K::Label, 330, 318, 27, 24, "Age"}.right(),
        {"TxtPatAgeYrs", K::Numeric, 360, 315, 30, 24},
        {"Lb_PatAgeYrs", K::Label, 391, 318, 20, 24, "Y"},
        {"TxtPatAgeMnths", K::Numeric, 410, 315, 30, 24},
        {"Lb_PatAgeMnths", K::Label, 441, 318, 20, 24, "M"},
        {"TxtPatAgeDays", K::Numeric, 460, 315, 30, 24},
        {"Lb_PatAgeDays", K::Label, 491, 318, 20, 24, "D"},
        ControlDecl{"Lb_VisitNo", K::Label, 15, 353, 72, 24, "Visit No."}.right(),
        {"TxtVisitNo", K::Numeric, 90, 350, 90, 24, "", "", 0, "9999999999"},
        ControlDecl{"Lb_ChName", K::Label, 185, 353, 62, 24, "Chamber"}.right(),
        chamber,
        {"Frame_VisitType", K::Frame, 90, 375, 110, 60},
        ControlDecl{"TxtVisitType", K::Radio, 110, 380, 80, 50}
            .withItems({"New Case", "Follow-Up"})
            .withSpacing(25)
            .aligned(Qt::AlignRight),   // each caption to the left of its button
        ControlDecl{"Lb_VisitDt", K::Label, 220, 383, 27, 24, "Date"}.right(),
        {"TxtVisitDt", K::Date, 250, 380, 100, 24},
        ControlDecl{"Lb_VisitTm", K::Label, 360, 383, 27, 24, "Time"}.right(),
        ControlDecl{"TxtVisitTm", K::Time, 390, 380, 80, 24, "", "", 0, "HH:mm:ss"}.font("Arial", 9),
        ControlDecl{"Lb_PatPulse", K::Label, 210, 413, 37, 24, "Pulse"}.right(),
        {"TxtPatPulse", K::Numeric, 250, 410, 50, 24},
        {"Lb_PatPulseUnit", K::Label, 301, 413, 47, 24, "/min"},
        ControlDecl{"Lb_PatTemp", K::Label, 350, 413, 77, 24, "Temperature"}.right(),
        {"TxtPatTemp", K::Numeric, 430, 410, 50, 24},
        {"Lb_PatTempUnit", K::Label, 481, 413, 47, 24, QStringLiteral("\u00B0F")},
        ControlDecl{"Lb_PatSys", K::Label, 15, 443, 72, 48, "B.P.\n(mmHg)"}.right(),
        {"TxtPatSys", K::Numeric, 90, 440, 50, 24},
        {"Lb_Sys", K::Label, 141, 443, 50, 24, "Sys"},
        {"TxtPatDias", K::Numeric, 90, 465, 50, 24},
        {"Lb_Dias", K::Label, 141, 468, 50, 24, "Dias"},
        ControlDecl{"Lb_PatHeight", K::Label, 200, 443, 47, 24, "Height"}.right(),
        {"TxtPatHeightFeet", K::Numeric, 250, 440, 40, 24},
        {"Lb_Feet", K::Label, 291, 443, 20, 24, "ft"},
        {"TxtPatHeightInch", K::Numeric, 310, 440, 40, 24},
        {"Lb_Inch", K::Label, 351, 443, 20, 24, "in"},
        {"TxtPatHeightMtrs", K::Numeric, 250, 465, 40, 24, "", "", 0, "9"},
        {"Lb_Mtrs", K::Label, 291, 468, 20, 24, "m"},
        {"TxtPatHeightCm", K::Numeric, 310, 465, 40, 24, "", "", 0, "999"},
        {"Lb_Cm", K::Label, 351, 468, 20, 24, "cm"},
        ControlDecl{"Lb_PatWeight", K::Label, 380, 443, 47, 24, "Weight"}.right(),
        {"TxtPatWeightLbs", K::Numeric, 430, 440, 50, 24},
        {"Lb_Lbs", K::Label, 481, 443, 30, 24, "lbs"},
        {"TxtPatWeightKgs", K::Numeric, 430, 465, 50, 24, "", "", 0, "9999"},
        {"Lb_Kgs", K::Label, 481, 468, 30, 24, "kgs"},
    };
}

// The prescription editor's toolbar and font lists (rows 25 and 50) and its
// two dictionary buttons belong to the editor and are declared with it.
QList<ControlDecl> VisitDetailsForm::notesFrame()
{
    return {
        {"Frame_PVisit_03", K::Frame, 520, 5, 430, 490, "Visit Details (2 of 3)"},
        ControlDecl{"TxtPatPres", K::RichText, 530, 80, 410, 160, "", "", 1500}.font("Arial", 12),
        {"Lb_PatNote1", K::Label, 530, 245, 100, 20, "Internal Notes:"},
        ControlDecl{"TxtPatNote1", K::RichText, 530, 265, 410, 170, "", "", 1500}.font("Arial", 12),
        ControlDecl{"Lb_PVStatus", K::Label, 530, 468, 72, 24, "Status"}.right(),
        ControlDecl{"TxtPVStatus", K::Combo, 605, 465, 100, 24}
            .withItems({"Pending", "Transferred", "Cured", "Expired"})
            .listHeight(100),
        ControlDecl{"LblNextVisit", K::Label, 735, 468, 77, 24, "Next Visit"}.right(),
        ControlDecl{"TxtNextVisit", K::Date, 825, 465, 120, 24}.withNoneCheck(),
    };
}

QList<ControlDecl> VisitDetailsForm::feesFrame(DetailsFor kind)
{
    const char* note = kind == DetailsFor::Entry ? "Narration" : "Summary";
    return {
        {"Frame_PVisit_04", K::Frame, 5, 495, 945, 60, "Visit Details (3 of 3)"},
        ControlDecl{"Label_PatNote", K::Label, 15, 518, 72, 40, QLatin1String(note)}.right(),
        {"TxtPatNote", K::Text, 90, 515, 300, 24},
        ControlDecl{"Label_PatFees", K::Label, 400, 518, 42, 40, "Fees"}.right(),
        {"TxtPatFees", K::Numeric, 445, 515, 80, 24},
    };
}

// ---------------------------------------------------------------- building

VisitDetailsForm::VisitDetailsForm(const QString& name, QWidget* owner) : Form(name, WindowType::Child, owner)
{
    // The visit window relates and scopes the shared areas; the history
    // window has areas of its own. Either must be closed before every table
    // is closed for a backup or restore.
    holdOwnTables();
}

std::span<const FieldBinding> VisitDetailsForm::visitFields() { return kVisitFields; }

void VisitDetailsForm::attachDetails(const Areas& areas, std::span<const FieldBinding> shown,
                                     std::span<const FieldBinding> writtenOnly)
{
    areas_ = areas;
    gridPatients_ = need<BrowseGrid>(QStringLiteral("Grid_Patnt"));
    gridVisits_ = need<BrowseGrid>(QStringLiteral("Grid_PVisit"));
    seek_ = need<QLineEdit>(QStringLiteral("TxtPatSeek"));
    pvNoLabel_ = need<QLabel>(QStringLiteral("Lb_PVNo"));
    patCode_ = need<NumberBox>(QStringLiteral("TxtPatCode"));
    firstName_ = need<QLineEdit>(QStringLiteral("TxtPatFName"));
    lastName_ = need<QLineEdit>(QStringLiteral("TxtPatLName"));
    sex_ = need<RadioGroup>(QStringLiteral("TxtPatSex"));
    race_ = need<QLineEdit>(QStringLiteral("TxtPatRace"));
    dob_ = need<DatePicker>(QStringLiteral("TxtPatDOB"));
    ages_[0] = need<NumberBox>(QStringLiteral("TxtPatAgeYrs"));
    ages_[1] = need<NumberBox>(QStringLiteral("TxtPatAgeMnths"));
    ages_[2] = need<NumberBox>(QStringLiteral("TxtPatAgeDays"));
    visitNo_ = need<NumberBox>(QStringLiteral("TxtVisitNo"));
    chamber_ = need<TextBox>(QStringLiteral("TxtChName"));
    visitType_ = need<RadioGroup>(QStringLiteral("TxtVisitType"));
    visitDate_ = need<DatePicker>(QStringLiteral("TxtVisitDt"));
    visitTime_ = need<QTimeEdit>(QStringLiteral("TxtVisitTm"));
    feet_ = need<NumberBox>(QStringLiteral("TxtPatHeightFeet"));
    inches_ = need<NumberBox>(QStringLiteral("TxtPatHeightInch"));
    metres_ = need<NumberBox>(QStringLiteral("TxtPatHeightMtrs"));
    centimetres_ = need<NumberBox>(QStringLiteral("TxtPatHeightCm"));
    pounds_ = need<NumberBox>(QStringLiteral("TxtPatWeightLbs"));
    kilograms_ = need<NumberBox>(QStringLiteral("TxtPatWeightKgs"));
    systolic_ = need<NumberBox>(QStringLiteral("TxtPatSys"));
    diastolic_ = need<NumberBox>(QStringLiteral("TxtPatDias"));
    pulse_ = need<NumberBox>(QStringLiteral("TxtPatPulse"));
    temperature_ = need<NumberBox>(QStringLiteral("TxtPatTemp"));
    narration_ = need<QLineEdit>(QStringLiteral("TxtPatNote"));
    prescription_ = need<RichTextBox>(QStringLiteral("TxtPatPres"));
    notes_ = need<RichTextBox>(QStringLiteral("TxtPatNote1"));
    status_ = need<ComboBox>(QStringLiteral("TxtPVStatus"));
    nextVisit_ = need<DatePicker>(QStringLiteral("TxtNextVisit"));
    fees_ = need<NumberBox>(QStringLiteral("TxtPatFees"));
    fields_ = std::make_unique<FieldBindings>(*this, QStringLiteral("pvisit"), shown, writtenOnly);
    fields_->alsoKeep({"CHCODE", "LNEXTVISIT"});

    // The browse state of the shared controls (the history's only state).
    detailStates_.browsing = needAll({"Grid_Patnt", "TxtPatSeek", "Grid_PVisit"});
    detailStates_.editable =
        needAll({"TxtChName", "TxtPatHeightFeet", "TxtPatHeightInch", "TxtPatHeightMtrs", "TxtPatHeightCm",
                 "TxtPatWeightLbs", "TxtPatWeightKgs", "TxtPatSys", "TxtPatDias", "TxtPatPulse", "TxtPatTemp",
                 "TxtPatPres", "TxtPatNote1", "TxtPatNote", "TxtPatFees"});
    detailStates_.entering = needAll({"TxtVisitType", "TxtVisitDt", "TxtVisitTm", "TxtPVStatus", "TxtNextVisit"});
    detailStates_.readOnly = needAll({"TxtVisitNo", "TxtPatCode", "TxtPatFName", "TxtPatLName", "TxtPatRace",
                                      "TxtPatDOB", "TxtPatAgeYrs", "TxtPatAgeMnths", "TxtPatAgeDays"});
    detailStates_.disabled = needAll({"TxtPatSex"});
    if (!faults().isEmpty())
        return;

    // The date of birth is shown, never picked: a box without the picker's
    // buttons, so that the whole date fits.
    dob_->setCalendarPopup(false);
    dob_->setButtonSymbols(QAbstractSpinBox::NoButtons);
    // The amount picture of the options, whatever grouping they set.
    fees_->setPicture(settings().numPicture(8, 2));
    for (RichTextBox* box : {prescription_, notes_})
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The notes are stored as Windows-1252 text: what it cannot hold is
    // refused as it comes in rather than turned into '?' by the save.
    notes_->setStorableOnly(true);
    gridPatients_->setAlias(areas_.patients);
    gridPatients_->setColumns({fieldColumn(QStringLiteral("Code"), 60, QStringLiteral("PATCODE")),
                               fieldColumn(QStringLiteral("First Name"), 150, QStringLiteral("PATFNAME")),
                               fieldColumn(QStringLiteral("Last Name"), 150, QStringLiteral("PATLNAME"))});
    // One patient's visits are few: the list counts and numbers them by
    // walking them, which costs nothing, rather than by their places among
    // all the practice's visits. Until a patient is chosen it holds none.
    if (data::WorkArea* v = visits()) {
        (void)v->setOrder(areas_.visitOrder);
        v->setScope(visits::patientKey(0));
    }
    gridVisits_->browseModel()->setCountByWalking(true);
    gridVisits_->setAlias(areas_.visits);
    gridVisits_->setColumns({fieldColumn(QStringLiteral("PV No"), 60, QStringLiteral("PVNO")),
                             fieldColumn(QStringLiteral("Date"), 90, QStringLiteral("VISITDT")),
                             fieldColumn(QStringLiteral("Time"), 60, QStringLiteral("VISITTM"))});

    onChange(gridPatients_, [this] { patientChosen(); });
    onChange(gridVisits_, [this] { visitChosen(); });
    onChange(seek_, [this] { seekPatients(); });
    onChange(dob_, [this] { calcAge(); });
    onChange(visitDate_, [this] { calcAge(); });
    for (NumberBox* box : {feet_, inches_, metres_, centimetres_, pounds_, kilograms_})
        watchMeasure(box);
}

data::WorkArea* VisitDetailsForm::patients() const { return area(areas_.patients); }
data::WorkArea* VisitDetailsForm::visits() const { return area(areas_.visits); }
data::WorkArea* VisitDetailsForm::chambers() const { return area(areas_.chambers); }

uint32_t VisitDetailsForm::shownPatient() const { return gridPatients_ ? gridPatients_->value() : 0; }
uint32_t VisitDetailsForm::shownVisit() const { return gridVisits_ ? gridVisits_->value() : 0; }

// ---------------------------------------------------------------- the lists

void VisitDetailsForm::seekPatients()
{
    data::WorkArea* p = patients();
    if (!p)
        return;
    (void)p->setOrder(2);
    p->seek(keyBytes(QStringLiteral("F") + keyUpper(trimBlanks(seek_->text()))), true);
    // The list selects the patient found (none past the last name); the
    // visits and the details follow. The list is not focused on the way:
    // a list taking the focus without a selected row would select its first.
    gridPatients_->refresh();
    showLists(1);
    seek_->setFocus(Qt::OtherFocusReason);
    seek_->setCursorPosition(static_cast<int>(seek_->text().size()));
}

void VisitDetailsForm::showLists(long long pvNo)
{
    data::WorkArea* p = patients();
    data::WorkArea* v = visits();
    if (!p || !v)
        return;
    const uint32_t patientRec = gridPatients_->value();
    p->goTo(patientRec);   // 0: the end of the table, no patient
    const long long code = patientRec != 0 ? static_cast<long long>(p->num("PATCODE")) : 0;
    gridPatients_->refresh();

    // Exactly this patient's live visits, in the window's order; the visit
    // asked for, or the first one when it is not there.
    (void)v->setOrder(areas_.visitOrder);
    v->setScope(visits::patientKey(code));
    if (areas_.visitOrder == visits::kByPatientPvNo && pvNo > 1)
        v->seek(visits::patientVisitKey(code, pvNo), true);
    else
        v->goTop();
    gridVisits_->refresh();

    {
        const QSignalBlocker quiet(patCode_);
        patCode_->setValue(static_cast<double>(code));
    }
    findPatient();
    showVisit();
}

// ---------------------------------------------------------------- the patient

void VisitDetailsForm::findPatient()
{
    data::WorkArea* p = patients();
    if (!p)
        return;
    const uint32_t savedRec = p->recNo();
    (void)p->setOrder(1);
    const bool found = p->seek(visits::patientKey(static_cast<long long>(patCode_->value())));
    firstName_->setText(found ? fieldText(*p, QStringLiteral("PATFNAME")) : QString());
    lastName_->setText(found ? fieldText(*p, QStringLiteral("PATLNAME")) : QString());
    sex_->setValue(found && fieldText(*p, QStringLiteral("PATSEX")).startsWith(QLatin1Char('F')) ? 1 : 2);
    race_->setText(found ? fieldText(*p, QStringLiteral("PATRACE")) : QString());
    {
        // The age follows once, below, not once for the date and again.
        const QSignalBlocker quiet(dob_);
        dob_->setValue(found ? toQDate(p->date("PATDOB")) : QDate());
    }
    (void)p->setOrder(2);
    p->goTo(savedRec);
    calcAge();
}

void VisitDetailsForm::calcAge()
{
    const QDate birth = dob_->value();
    const QDate at = visitDate_->value();
    ages_[0]->setValue(CALC_AGEYRS(birth, at));
    ages_[1]->setValue(CALC_AGEMNTHS(birth, at));
    ages_[2]->setValue(CALC_AGEDAYS(birth, at));
}

// ---------------------------------------------------------------- the visit

QString VisitDetailsForm::chamberName(long long code) const
{
    data::WorkArea* c = chambers();
    if (!c)
        return {};
    const int savedOrder = c->indexOrd();
    const uint32_t savedRec = c->recNo();
    (void)c->setOrder(1);
    const bool found = c->seek("F" + data::strNum(static_cast<double>(code), 10));
    const QString name = found ? fieldText(*c, QStringLiteral("CHNAME")) : QString();
    (void)c->setOrder(savedOrder);
    c->goTo(savedRec);
    return name;
}

void VisitDetailsForm::showVisit()
{
    data::WorkArea* v = visits();
    if (!v)
        return;
    // The visit the list shows, whatever moved the area since (the list's
    // painting, the patient list's relation, another window); none: the end
    // of the table, which shows as an empty visit.
    v->goTo(gridVisits_->value());
    pvNoLabel_->setText(kPvNoText + QString::number(static_cast<long long>(v->num("PVNO"))));
    visitNo_->setValue(v->num("VISITNO"));
    chamberCode_ = static_cast<long long>(v->num("CHCODE"));
    chamber_->setText(chamberName(chamberCode_));
    {
        const QSignalBlocker quiet(visitDate_);
        fields_->load(*v);
    }
    convertHeight(true);
    convertWeight(true);
    noteMeasures();
    calcAge();
    loaded_ = fields_->stored(*v);
}

// ---------------------------------------------------------------- conversions

void convertHeightBoxes(NumberBox* feet, NumberBox* inches, NumberBox* metres, NumberBox* centimetres,
                        bool fromImperial)
{
    if (fromImperial) {
        const visits::Metric m = visits::toMetric(static_cast<int>(feet->value()), static_cast<int>(inches->value()));
        metres->setValue(m.metres);
        centimetres->setValue(m.centimetres);
    } else {
        const visits::Imperial i =
            visits::toImperial(static_cast<int>(metres->value()), static_cast<int>(centimetres->value()));
        feet->setValue(std::min(i.feet, 99));
        inches->setValue(i.inches);
    }
}

void convertWeightBoxes(NumberBox* pounds, NumberBox* kilograms, bool fromPounds)
{
    if (fromPounds)
        kilograms->setValue(visits::toKilograms(static_cast<int>(pounds->value())));
    else
        pounds->setValue(std::min(visits::toPounds(static_cast<int>(kilograms->value())), visits::kMaxPounds));
}

void VisitDetailsForm::convertHeight(bool fromImperial)
{
    convertHeightBoxes(feet_, inches_, metres_, centimetres_, fromImperial);
}

void VisitDetailsForm::convertWeight(bool fromPounds) { convertWeightBoxes(pounds_, kilograms_, fromPounds); }

void VisitDetailsForm::noteMeasures()
{
    NumberBox* boxes[6] = {feet_, inches_, metres_, centimetres_, pounds_, kilograms_};
    for (int i = 0; i < 6; ++i)
        noted_[i] = boxes[i]->value();
}

void VisitDetailsForm::watchMeasure(NumberBox* box)
{
    onLeave(box, [this, box] {
        if (!box->isReadOnly())
            (void)convertChanged(box);
    });
}

bool VisitDetailsForm::convertChanged(NumberBox* box)
{
    // Converted back only when its value was changed since it was shown or
    // last converted: tabbing through a box changes nothing (68 kgs would
    // otherwise turn a stored 150 lbs into 149).
    NumberBox* boxes[6] = {feet_, inches_, metres_, centimetres_, pounds_, kilograms_};
    const auto i = std::find(std::begin(boxes), std::end(boxes), box) - std::begin(boxes);
    if (i >= 6 || box->value() == noted_[i])
        return true;
    if (box == kilograms_ && box->value() > visits::maxKilograms()) {
        // More pounds than the visit table holds: refused, not cut.
        MESGSTOP(QStringLiteral("Weight cannot be more than %1 kgs !!").arg(visits::maxKilograms()));
        box->setValue(noted_[i]);
        box->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (i < 4)
        convertHeight(i < 2);
    else
        convertWeight(i == 4);
    noteMeasures();
    return true;
}

bool VisitDetailsForm::convertPending()
{
    for (NumberBox* box : {feet_, inches_, metres_, centimetres_, pounds_, kilograms_})
        if (box->hasFocus())
            return convertChanged(box);
    return true;
}

} // namespace cn
