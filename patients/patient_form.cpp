#include "patients/patient_form.h"

#include "app/controls.h"
#include "app/database.h"
#include "app/grid.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/resources.h"
#include "app/routines.h"
#include "app/clock.h"
#include "app/text.h"
#include "data/cp1252.h"
#include "patients/patient_visits.h"

#include <QLineEdit>
#include <QRadioButton>

namespace cn {

namespace {

const QString kForm = QStringLiteral("Form_Patient");
const QString kAlias = QStringLiteral("patnt");
constexpr int kCodeOrder = 1;   // patnt1: live flag + code
constexpr int kNameOrder = 2;   // patnt2: live flag + upper-case first name + last name
constexpr int kNameWidth = 20;  // PATFNAME and PATLNAME

// An edit box of the frame and the field it shows.
struct TextField {
    const char* control;
    const char* field;
};
// Every text the edit frame writes, in the order they are written.
constexpr TextField kTextFields[] = {
    {"TxtPatTitle", "PATTITLE"}, {"TxtPatFName", "PATFNAME"}, {"TxtPatLName", "PATLNAME"},
    {"TxtPatRace", "PATRACE"},   {"TxtPatAddr1", "PATADDR1"}, {"TxtPatAddr2", "PATADDR2"},
    {"TxtPatAddr3", "PATADDR3"}, {"TxtPatCity", "PATCITY"},   {"TxtPatPIN", "PATPIN"},
    {"TxtPatCntry", "PATCNTRY"}, {"TxtPatPh1", "PATPH1"},     {"TxtPatPh2", "PATPH2"},
    {"TxtPatCell", "PATCELL"},   {"TxtPatFax", "PATFAX"},     {"TxtPatEmail", "PATEMAIL"},
};
const char* const kAgeBoxes[] = {"TxtPatAgeYrs", "TxtPatAgeMnths", "TxtPatAgeDays"};
// Enabled in view mode only; the edit boxes, sex, birth date, Save and Cancel
// are enabled in entry mode only.
const char* const kListButtons[] = {"Append_Patient", "Modify_Patient", "Delete_Patient"};
const char* const kEntryOnly[] = {"TxtPatSex", "TxtPatDOB", "Bt_Save", "Bt_Cancel"};

using K = ControlKind;

// One line of a control table: name, kind, column, row, width, height,
// caption, tooltip and maximum length; the rest through the chained setters.
ControlDecl decl(const char* name, K kind, int col, int row, int width, int height, const QString& caption = {},
                 const QString& tooltip = {}, int maxLength = 0)
{
    ControlDecl d;
    d.name = QLatin1String(name);
    d.kind = kind;
    d.col = col;
    d.row = row;
    d.width = width;
    d.height = height;
    d.caption = caption;
    d.tooltip = tooltip;
    d.maxLength = maxLength;
    return d;
}

QList<ControlDecl> listFrame()
{
    return {
        decl("Frame_Patient_01", K::Frame, 5, 5, 425, 480, "List"),
        decl("Grid_Patient", K::Browse, 15, 25, 400, 329),
        decl("Label_Seek", K::Label, 16, 365, 70, 40, "Seek\n(First Name)"),
        decl("TxtSeek", K::Text, 90, 368, 326, 24, {}, "Enter first few letters of name to seek", 40),
        decl("Append_Patient", K::Button, 16, 412, 100, 28, "&Append"),
        decl("Modify_Patient", K::Button, 116, 412, 100, 28, "&Modify"),
        decl("Delete_Patient", K::Button, 216, 412, 100, 28, "&Delete"),
        decl("Bt_Exit_Patient", K::Button, 316, 412, 100, 28, "E&xit"),
    };
}

QList<ControlDecl> editFrame()
{
    const QString phone = QStringLiteral("Enter Patient Phone Number");
    return {
        decl("Frame_Patient_02", K::Frame, 430, 5, 470, 480, "Edit"),
        decl("Lb_PatCode", K::Label, 440, 25, 77, 15, "Code").right(),
        decl("TxtPatCode", K::Numeric, 520, 20, 60, 25).off(),
        decl("Lb_PatTitle", K::Label, 590, 25, 77, 15, "Title").right(),
        decl("TxtPatTitle", K::Text, 670, 20, 60, 25, {}, "Example: Prof., Dr., Ms, Mr.", 10),
        decl("Lb_PatName", K::Label, 440, 55, 77, 25, "Patient Name").right(),
        decl("TxtPatFName", K::Text, 520, 50, 150, 25, {}, "Enter Patient First Name", 20),
        decl("TxtPatLName", K::Text, 680, 50, 150, 25, {}, "Enter Patient Last Name", 20),
        decl("Lb_PatFName", K::Label, 520, 75, 77, 25, "First Name"),
        decl("Lb_PatLName", K::Label, 680, 75, 77, 25, "Last Name"),
        decl("Lb_PatRace", K::Label, 440, 105, 167, 25, "Background (Socio-Economic)").right(),
        decl("TxtPatRace", K::Text, 610, 100, 250, 25, {}, "Enter Patient's Socio-Economic Background", 40),
        decl("Lb_PatSex", K::Label, 440, 145, 77, 25, "Sex").right(),
        decl("TxtPatSex", K::Radio, 522, 130, 60, 40).withItems({"Female", "Male"}).withSpacing(20),
        decl("Lb_PatDOB", K::Label, 650, 135, 107, 25, "Birth Date (Approx)").right(),
        decl("TxtPatDOB", K::Date, 760, 130, 120, 24, {}, "Enter Patient's approx DOB"),
        decl("Lb_PatAge", K::Label, 630, 165, 77, 25, "Age (Approx)").right(),
        decl("TxtPatAgeYrs", K::Text, 710, 160, 50, 25, {}, "Age in Years").right().off(),
        decl("TxtPatAgeMnths", K::Text, 770, 160, 50, 25, {}, "Age in Months").right().off(),
        decl("TxtPatAgeDays", K::Text, 830, 160, 50, 25, {}, "Age in Days").right().off(),
        decl("Lb_PatAddr1", K::Label, 440, 195, 77, 25, "Address").right(),
        decl("TxtPatAddr1", K::Text, 520, 190, 300, 25, {}, "Patient Address Line 1", 40),
        decl("TxtPatAddr2", K::Text, 520, 215, 300, 25, {}, "Patient Address Line 2", 40),
        decl("TxtPatAddr3", K::Text, 520, 240, 300, 25, {}, "Patient Address Line 3", 40),
        decl("Lb_PatCity", K::Label, 440, 275, 77, 25, "City").right(),
        decl("TxtPatCity", K::Text, 520, 270, 150, 25, {}, "Enter Patient City", 20),
        decl("Lb_PatPIN", K::Label, 680, 275, 77, 25, "Post Code").right(),
        decl("TxtPatPIN", K::Text, 760, 270, 120, 25, {}, "Enter Postal Code", 15),
        decl("Lb_PatCntry", K::Label, 440, 305, 77, 25, "Country").right(),
        decl("TxtPatCntry", K::Text, 520, 300, 150, 25, {}, "Enter Patient Country", 20),
        decl("Lb_PatPh1", K::Label, 440, 335, 77, 25, "Phone 1").right(),
        decl("TxtPatPh1", K::Text, 520, 330, 120, 25, {}, phone, 15),
        decl("Lb_PatPh2", K::Label, 640, 335, 77, 25, "Phone 2").right(),
        decl("TxtPatPh2", K::Text, 720, 330, 120, 25, {}, phone, 15),
        decl("Lb_PatCell", K::Label, 440, 365, 77, 25, "Cellphone").right(),
        decl("TxtPatCell", K::Text, 520, 360, 120, 25, {}, "Enter Patient Cellphone Number", 15),
        decl("Lb_PatFax", K::Label, 640, 365, 77, 25, "Fax").right(),
        decl("TxtPatFax", K::Text, 720, 360, 120, 25, {}, "Enter Patient Fax Number", 15),
        decl("Lb_PatEmail", K::Label, 440, 395, 77, 25, "Email").right(),
        decl("TxtPatEmail", K::Text, 520, 390, 300, 25, {}, "Enter Patient Email ID", 40),
        decl("Bt_Save", K::Button, 500, 430, 100, 30, "&Save"),
        decl("Bt_Cancel", K::Button, 730, 430, 100, 30, "&Cancel"),
    };
}

data::WorkArea* patnt() { return area(kAlias); }

// Text in the table's upper case, as the name index keys it.
QString keyUpper(const QString& text) { return fromCp1252(data::upperCp1252(toCp1252(text))); }

QString padded(const QString& text, int width) { return text.leftJustified(width, QLatin1Char(' '), true); }

QString errorText(const QString& what, const data::Status& s)
{
    return what + QLatin1Char('\n') + QString::fromStdString(s.message());
}

// The old values of the fields a save writes, to put back when a save fails
// half way.
struct SavedFields {
    QList<QString> texts;
    data::Date dob;
    QString sex;

    static SavedFields of(const data::WorkArea& a)
    {
        SavedFields s;
        for (const TextField& f : kTextFields)
            s.texts << fieldText(a, QLatin1String(f.field));
        s.dob = a.date("PATDOB");
        s.sex = fieldText(a, QStringLiteral("PATSEX"));
        return s;
    }
    void restore(data::WorkArea& a) const
    {
        int i = 0;
        for (const TextField& f : kTextFields)
            (void)setFieldText(a, QLatin1String(f.field), texts.value(i++));
        (void)setFieldText(a, QStringLiteral("PATSEX"), sex);
        (void)a.setDate("PATDOB", dob);
        (void)a.commit();
    }
};

} // namespace

PatientForm::PatientForm(QWidget* owner) : Form(kForm, WindowType::Child, owner)
{
    setTitle(QStringLiteral("Entry: Patients"));
    setWindowIcon(ICON01());
    place(50, 110, 910, 525);
    buildWindow();
    wireEvents();
}

void PatientForm::buildWindow()
{
    build(listFrame());
    build(editFrame());
    grid_ = control<BrowseGrid>(QStringLiteral("Grid_Patient"));
    seek_ = control<QLineEdit>(QStringLiteral("TxtSeek"));
    code_ = control<NumberBox>(QStringLiteral("TxtPatCode"));
    sex_ = control<RadioGroup>(QStringLiteral("TxtPatSex"));
    dob_ = control<DatePicker>(QStringLiteral("TxtPatDOB"));

    grid_->setAlias(kAlias);
    grid_->setColumns({fieldColumn(QStringLiteral("Code"), 60, QStringLiteral("PATCODE")),
                       fieldColumn(QStringLiteral("First Name"), 150, QStringLiteral("PATFNAME")),
                       fieldColumn(QStringLiteral("Last Name"), 150, QStringLiteral("PATLNAME"))});
}

void PatientForm::wireEvents()
{
    onChange(grid_, [this] { onGridChanged(); });
    onDoubleClick(grid_, [this] {
        // Stands for the Modify button, which entry mode disables: a double
        // click must not throw away a patient being entered.
        if (!entry_)
            BT_ENTRY_PATIENT(2);
    });
    onChange(seek_, [this] { SEEK_PATIENT(); });
    onLostFocus(dob_, [this] { CALC_PATAGE(); });
    onAction(control(QStringLiteral("Append_Patient")), [this] { BT_ENTRY_PATIENT(1); });
    onAction(control(QStringLiteral("Modify_Patient")), [this] { BT_ENTRY_PATIENT(2); });
    onAction(control(QStringLiteral("Delete_Patient")), [this] { BT_DELETE_PATIENT(); });
    onAction(control(QStringLiteral("Bt_Exit_Patient")), [this] { BT_EXIT_PATIENT(); });
    onAction(control(QStringLiteral("Bt_Save")), [this] { BT_SAVE_PATIENT(); });
    onAction(control(QStringLiteral("Bt_Cancel")), [this] { BT_CANCEL_PATIENT(); });
}

void PatientForm::initialise() { CHKWINVIEWS(QStringLiteral("Form_0"), QStringLiteral("WinPatnt"), true); }

void PatientForm::releasing() { CHKWINVIEWS(QStringLiteral("Form_0"), QStringLiteral("WinPatnt"), false); }

// ---------------------------------------------------------------- loading

void PatientForm::onGridChanged()
{
    // In entry mode too: a change of row reloads the edit frame (blank again
    // for a new patient).
    PATIENT_GET();
}

void PatientForm::showBlankPatient()
{
    code_->setValue(0);
    for (const TextField& f : kTextFields)
        control<QLineEdit>(QLatin1String(f.control))->clear();
    sex_->setValue(1);
    dob_->setValue(QDate());
    CALC_PATAGE();
}

void PatientForm::PATIENT_GET()
{
    data::WorkArea* a = patnt();
    const uint32_t rec = grid_->value();
    if (a && rec != 0)
        a->goTo(rec);
    const bool onPatient = a && rec != 0 && !a->eof();
    if (!LNEW)
        CODETOEDIT = onPatient ? static_cast<long long>(a->num("PATCODE")) : 0;
    if (LNEW || !onPatient) {
        showBlankPatient();
        return;
    }
    code_->setValue(a->num("PATCODE"));
    for (const TextField& f : kTextFields)
        control<QLineEdit>(QLatin1String(f.control))->setText(fieldText(*a, QLatin1String(f.field)));
    sex_->setValue(fieldText(*a, QStringLiteral("PATSEX")).startsWith(QLatin1Char('F')) ? 1 : 2);
    dob_->setValue(toQDate(a->date("PATDOB")));
    CALC_PATAGE();
}

void PatientForm::CALC_PATAGE()
{
    const QDate birth = dob_->value();
    QString years, months, days;
    // An empty birth date has no age: the boxes stay empty rather than
    // showing an age counted from year 0.
    if (birth.isValid()) {
        const QDate at = today();
        years = QString::number(CALC_AGEYRS(birth, at)) + QStringLiteral(" y");
        months = QString::number(CALC_AGEMNTHS(birth, at)) + QStringLiteral(" m");
        days = QString::number(CALC_AGEDAYS(birth, at)) + QStringLiteral(" d");
    }
    control<QLineEdit>(QLatin1String(kAgeBoxes[0]))->setText(years);
    control<QLineEdit>(QLatin1String(kAgeBoxes[1]))->setText(months);
    control<QLineEdit>(QLatin1String(kAgeBoxes[2]))->setText(days);
}

// ---------------------------------------------------------------- seeking

void PatientForm::SEEK_PATIENT()
{
    data::WorkArea* a = patnt();
    if (!a)
        return;
    (void)a->setOrder(kNameOrder);
    const QString key = QStringLiteral("F") + keyUpper(trimBlanks(seek_->text()));
    a->seek(keyBytes(key), true);

    // The grid re-reads the table and selects the row of the record found
    // (none at the end of the table); the edit frame follows the new row.
    const uint32_t before = grid_->value();
    grid_->refresh();
    if (grid_->value() != before || !entry_)
        onGridChanged();

    // The caret goes back to the end of the seek text. (The grid is not
    // focused on the way: a grid taking the focus without a selected row
    // would select its first row and undo an end-of-table seek.)
    seek_->setFocus(Qt::OtherFocusReason);
    seek_->setCursorPosition(static_cast<int>(seek_->text().size()));
}

void PatientForm::REFRESH_SEEK_PATIENT(const QString& text)
{
    {
        const QSignalBlocker quiet(seek_);
        seek_->setText(text);
    }
    seek_->setFocus(Qt::OtherFocusReason);
    SEEK_PATIENT();
}

// ---------------------------------------------------------------- modes

void PatientForm::ENTRY_PATIENT_ABLE(bool entry)
{
    entry_ = entry;
    for (const char* name : kListButtons)
        control(QLatin1String(name))->setEnabled(!entry);
    for (const TextField& f : kTextFields)
        control(QLatin1String(f.control))->setEnabled(entry);
    for (const char* name : kEntryOnly)
        control(QLatin1String(name))->setEnabled(entry);
    // Always as they are, whatever the mode.
    code_->setEnabled(false);
    for (const char* name : kAgeBoxes)
        control(QLatin1String(name))->setEnabled(false);
    grid_->setEnabled(true);
    seek_->setEnabled(true);
    control(QStringLiteral("Bt_Exit_Patient"))->setEnabled(true);
}

long long PatientForm::gridPatientCode()
{
    data::WorkArea* a = patnt();
    const uint32_t rec = grid_->value();
    if (!a || rec == 0)
        return 0;
    a->goTo(rec);
    return a->eof() ? 0 : static_cast<long long>(a->num("PATCODE"));
}

void PatientForm::BT_ENTRY_PATIENT(int mode)
{
    if (mode == 1) {
        LNEW = true;
        ENTRY_PATIENT_ABLE(true);
        PATIENT_GET();
        control(QStringLiteral("TxtPatTitle"))->setFocus(Qt::OtherFocusReason);
        return;
    }
    const long long code = gridPatientCode();
    if (code == 0) {
        MESGEXCLAMATION(QStringLiteral("No data to process !!"));
        return;
    }
    LNEW = false;
    CODETOEDIT = code;
    ENTRY_PATIENT_ABLE(true);
    PATIENT_GET();
    control(QStringLiteral("TxtPatTitle"))->setFocus(Qt::OtherFocusReason);
}

void PatientForm::BT_CANCEL_PATIENT()
{
    LNEW = false;
    ENTRY_PATIENT_ABLE(false);
    // Nothing is written; the frame shows the selected patient as stored
    // again, not the texts typed and given up.
    PATIENT_GET();
    seek_->setFocus(Qt::OtherFocusReason);
}

void PatientForm::BT_EXIT_PATIENT() { release(); }

// ---------------------------------------------------------------- saving

QString PatientForm::nameKey() const
{
    const QString first = trimBlanks(control<QLineEdit>(QStringLiteral("TxtPatFName"))->text());
    const QString last = trimBlanks(control<QLineEdit>(QStringLiteral("TxtPatLName"))->text());
    return padded(keyUpper(first), kNameWidth) + padded(keyUpper(last), kNameWidth);
}

bool PatientForm::acceptDuplicate()
{
    return MESGYESNO(QStringLiteral("Duplicate Patient Name !!\n\nAccept ??")) == 6;
}

data::Status PatientForm::PATIENT_FLUSH()
{
    data::WorkArea* a = patnt();
    if (!a)
        return data::Status::error("The patient table is not open");
    for (const TextField& f : kTextFields) {
        const QString text = control<QLineEdit>(QLatin1String(f.control))->text();
        if (data::Status s = setFieldText(*a, QLatin1String(f.field), text); !s)
            return s;
    }
    if (data::Status s = a->setStr("PATSEX", sex_->value() == 1 ? "F" : "M"); !s)
        return s;
    if (data::Status s = a->setDate("PATDOB", toDate(dob_->value())); !s)
        return s;
    return db().commitAll();
}

void PatientForm::BT_SAVE_PATIENT()
{
    auto* first = control<QLineEdit>(QStringLiteral("TxtPatFName"));
    if (trimBlanks(first->text()).isEmpty()) {
        MESGINFO(QStringLiteral("Patient First Name cannot be blank !!"));
        first->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (sex_->value() != 1 && sex_->value() != 2) {
        MESGINFO(QStringLiteral("Sex must be either Female or Male !!"));
        sex_->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!patnt()) {
        MESGSTOP(QStringLiteral("The patient table is not open !!"));
        return;
    }
    if (LNEW)
        saveNew();
    else
        saveChanged();
}

void PatientForm::saveNew()
{
    data::WorkArea* a = patnt();
    if (!CHECK_DUPLICATE_APPEND(kAlias, kNameOrder, nameKey()) && !acceptDuplicate()) {
        backToNameOrder();
        control(QStringLiteral("TxtPatFName"))->setFocus(Qt::OtherFocusReason);
        return;
    }
    const long long code = GETCODE(kAlias, kCodeOrder, QStringLiteral("PATCODE"));
    if (data::Status s = a->append(); !s) {
        backToNameOrder();
        MESGSTOP(errorText(QStringLiteral("The patient could not be added !!"), s));
        return;
    }
    data::Status s = a->setNum("PATCODE", static_cast<double>(code));
    if (s)
        s = PATIENT_FLUSH();
    const uint32_t newRec = a->recNo();
    if (!s) {
        // A half-written patient must not stay in the register: the new
        // record is marked deleted (its code is given out again) and the
        // window stays in entry mode with the typed values.
        (void)a->deleteRecord();
        (void)a->commit();
        a->unlock();
        backToNameOrder();
        MESGSTOP(errorText(QStringLiteral("The patient could not be added !!"), s));
        return;
    }
    a->unlock();
    LNEW = false;
    MESGEXCLAMATION(QStringLiteral("Append Successful"));
    ENTRY_PATIENT_ABLE(false);
    REFRESH_SEEK_PATIENT(QStringLiteral(" "));
    grid_->setValue(newRec);
}

void PatientForm::saveChanged()
{
    data::WorkArea* a = patnt();
    const uint32_t shownValue = grid_->value();
    const uint32_t shownRec = a->recNo();
    if (!CHECK_DUPLICATE_MODIFY(kAlias, kNameOrder, nameKey(), QStringLiteral("PATCODE"), CODETOEDIT)
        && !acceptDuplicate()) {
        backToNameOrder();
        return;
    }
    (void)a->setOrder(kCodeOrder);
    if (!a->seek("F" + data::strNum(static_cast<double>(CODETOEDIT), 10))) {
        backToNameOrder();
        MESGEXCLAMATION(QStringLiteral("Record not found !!"));
        return;
    }
    if (!BLOCKRECORD(kAlias)) {
        backToNameOrder();
        return;
    }
    const SavedFields before = SavedFields::of(*a);
    if (data::Status s = PATIENT_FLUSH(); !s) {
        // Put back what was there, so the record is not left half changed.
        before.restore(*a);
        a->unlock();
        backToNameOrder();
        MESGSTOP(errorText(QStringLiteral("The patient could not be changed !!"), s));
        return;
    }
    a->unlock();
    MESGINFO(QStringLiteral("Modification Successful !!"));
    ENTRY_PATIENT_ABLE(false);
    REFRESH_SEEK_PATIENT(QStringLiteral(" "));
    a->goTo(shownRec);
    grid_->setValue(shownValue);
}

void PatientForm::backToNameOrder()
{
    data::WorkArea* a = patnt();
    if (!a)
        return;
    (void)a->setOrder(kNameOrder);
    a->goTo(grid_->value());   // 0: the end of the table, as when no row is selected
    grid_->refresh();
}

// ---------------------------------------------------------------- deleting

void PatientForm::BT_DELETE_PATIENT()
{
    data::WorkArea* a = patnt();
    if (!a)
        return;
    const QString seekText = keyUpper(trimBlanks(seek_->text()));
    const long long shownCode = CODETOEDIT;

    const long long code = gridPatientCode();
    const uint32_t rec = grid_->value();
    const data::Result<bool> visits = patientHasLiveVisit(db(), code);
    if (!visits) {
        MESGSTOP(errorText(QStringLiteral("The visits of the patient could not be checked !!"), visits.status()));
        return;
    }
    if (visits.value()) {
        MESGEXCLAMATION(QStringLiteral("Cannot delete. Patients exist."));
        return;
    }
    if (shownCode == 0 || rec == 0) {
        MESGEXCLAMATION(QStringLiteral("No data to process !!"));
        return;
    }
    const QString question = QStringLiteral("Delete %1 %2 (%3) ??")
                                 .arg(fieldText(*a, QStringLiteral("PATFNAME")),
                                      fieldText(*a, QStringLiteral("PATLNAME")), QString::number(code));
    if (MESGYESNO(question) != 6)
        return;
    a->goTo(rec);
    if (!BLOCKRECORD(kAlias))
        return;
    data::Status s = a->deleteRecord();
    if (s)
        s = a->commit();
    a->unlock();
    if (!s) {
        MESGSTOP(errorText(QStringLiteral("The patient could not be deleted !!"), s));
        return;
    }
    REFRESH_SEEK_PATIENT(seekText);
}

// ---------------------------------------------------------------- opening

void PATNT()
{
    if (IsWindowDefined(kForm)) {
        DoMethod(kForm, QStringLiteral("SetFocus"));
        return;
    }
    if (data::WorkArea* a = patnt())
        (void)a->setOrder(kNameOrder);
    auto* w = new PatientForm;
    w->ENTRY_PATIENT_ABLE(false);
    w->REFRESH_SEEK_PATIENT(QStringLiteral(" "));
    w->center();
    w->activate();
}

} // namespace cn
