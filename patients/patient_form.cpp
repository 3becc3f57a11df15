#include "patients/patient_form.h"

#include "app/clock.h"
#include "app/controls.h"
#include "app/database.h"
#include "app/grid.h"
#include "app/resources.h"
#include "app/routines.h"
#include "app/messages.h"
#include "patients/patient_visits.h"

namespace cn {

namespace {

const QString kForm = QStringLiteral("Form_Patient");
using K = ControlKind;

// Frame "List": the browse, the seek box and the list's buttons.
const QList<ControlDecl> kListFrame = {
    {"Frame_Patient_01", K::Frame, 5, 5, 425, 480, "List"},
    {"Grid_Patient", K::Browse, 15, 25, 400, 329},
    {"Label_Seek", K::Label, 16, 365, 70, 40, "Seek\n(First Name)"},
    {"TxtSeek", K::Text, 90, 368, 326, 24, "", "Enter first few letters of name to seek", 40},
    {"Append_Patient", K::Button, 16, 412, 100, 28, "&Append"},
    {"Modify_Patient", K::Button, 116, 412, 100, 28, "&Modify"},
    {"Delete_Patient", K::Button, 216, 412, 100, 28, "&Delete"},
    {"Bt_Exit_Patient", K::Button, 316, 412, 100, 28, "E&xit"},
};

// Frame "Edit". Labels are right-aligned except the two under the names; a
// bound box's length is its field's width.
const QString kPhoneTip = QStringLiteral("Enter Patient Phone Number");
const QList<ControlDecl> kEditFrame = {
    {"Frame_Patient_02", K::Frame, 430, 5, 470, 480, "Edit"},
    ControlDecl{"Lb_PatCode", K::Label, 440, 25, 77, 15, "Code"}.right(),
    ControlDecl{"TxtPatCode", K::Numeric, 520, 20, 60, 25}.off(),
    ControlDecl{"Lb_PatTitle", K::Label, 590, 25, 77, 15, "Title"}.right(),
    {"TxtPatTitle", K::Text, 670, 20, 60, 25, "", "Example: Prof., Dr., Ms, Mr."},
    ControlDecl{"Lb_PatName", K::Label, 440, 55, 77, 25, "Patient Name"}.right(),
    {"TxtPatFName", K::Text, 520, 50, 150, 25, "", "Enter Patient First Name"},
    {"TxtPatLName", K::Text, 680, 50, 150, 25, "", "Enter Patient Last Name"},
    {"Lb_PatFName", K::Label, 520, 75, 77, 25, "First Name"},
    {"Lb_PatLName", K::Label, 680, 75, 77, 25, "Last Name"},
    ControlDecl{"Lb_PatRace", K::Label, 440, 105, 167, 25, "Background (Socio-Economic)"}.right(),
    {"TxtPatRace", K::Text, 610, 100, 250, 25, "", "Enter Patient's Socio-Economic Background"},
    ControlDecl{"Lb_PatSex", K::Label, 440, 145, 77, 25, "Sex"}.right(),
    ControlDecl{"TxtPatSex", K::Radio, 522, 130, 60, 40}.withItems({"Female", "Male"}).withSpacing(20),
    ControlDecl{"Lb_PatDOB", K::Label, 650, 135, 107, 25, "Birth Date (Approx)"}.right(),
    {"TxtPatDOB", K::Date, 760, 130, 120, 24, "", "Enter Patient's approx DOB"},
    ControlDecl{"Lb_PatAge", K::Label, 630, 165, 77, 25, "Age (Approx)"}.right(),
    ControlDecl{"TxtPatAgeYrs", K::Text, 710, 160, 50, 25, "", "Age in Years"}.right().off(),
    ControlDecl{"TxtPatAgeMnths", K::Text, 770, 160, 50, 25, "", "Age in Months"}.right().off(),
    ControlDecl{"TxtPatAgeDays", K::Text, 830, 160, 50, 25, "", "Age in Days"}.right().off(),
    ControlDecl{"Lb_PatAddr1", K::Label, 440, 195, 77, 25, "Address"}.right(),
    {"TxtPatAddr1", K::Text, 520, 190, 300, 25, "", "Patient Address Line 1"},
    {"TxtPatAddr2", K::Text, 520, 215, 300, 25, "", "Patient Address Line 2"},
    {"TxtPatAddr3", K::Text, 520, 240, 300, 25, "", "Patient Address Line 3"},
    ControlDecl{"Lb_PatCity", K::Label, 440, 275, 77, 25, "City"}.right(),
    {"TxtPatCity", K::Text, 520, 270, 150, 25, "", "Enter Patient City"},
    ControlDecl{"Lb_PatPIN", K::Label, 680, 275, 77, 25, "Post Code"}.right(),
    {"TxtPatPIN", K::Text, 760, 270, 120, 25, "", "Enter Postal Code"},
    ControlDecl{"Lb_PatCntry", K::Label, 440, 305, 77, 25, "Country"}.right(),
    {"TxtPatCntry", K::Text, 520, 300, 150, 25, "", "Enter Patient Country"},
    ControlDecl{"Lb_PatPh1", K::Label, 440, 335, 77, 25, "Phone 1"}.right(),
    {"TxtPatPh1", K::Text, 520, 330, 120, 25, "", kPhoneTip},
    ControlDecl{"Lb_PatPh2", K::Label, 640, 335, 77, 25, "Phone 2"}.right(),
    {"TxtPatPh2", K::Text, 720, 330, 120, 25, "", kPhoneTip},
    ControlDecl{"Lb_PatCell", K::Label, 440, 365, 77, 25, "Cellphone"}.right(),
    {"TxtPatCell", K::Text, 520, 360, 120, 25, "", "Enter Patient Cellphone Number"},
    ControlDecl{"Lb_PatFax", K::Label, 640, 365, 77, 25, "Fax"}.right(),
    {"TxtPatFax", K::Text, 720, 360, 120, 25, "", "Enter Patient Fax Number"},
    ControlDecl{"Lb_PatEmail", K::Label, 440, 395, 77, 25, "Email"}.right(),
    {"TxtPatEmail", K::Text, 520, 390, 300, 25, "", "Enter Patient Email ID"},
    {"Bt_Save", K::Button, 500, 430, 100, 30, "&Save"},
    {"Bt_Cancel", K::Button, 730, 430, 100, 30, "&Cancel"},
};

// What PATIENT_FLUSH writes, in order. FIRSTVISIT, REMARKS and DOCPREF are
// never written here.
const FieldBinding kPatientFields[] = {
    {"TxtPatTitle", "PATTITLE"}, {"TxtPatFName", "PATFNAME"}, {"TxtPatLName", "PATLNAME"},
    {"TxtPatRace", "PATRACE"},   {"TxtPatAddr1", "PATADDR1"}, {"TxtPatAddr2", "PATADDR2"},
    {"TxtPatAddr3", "PATADDR3"}, {"TxtPatCity", "PATCITY"},   {"TxtPatPIN", "PATPIN"},
    {"TxtPatCntry", "PATCNTRY"}, {"TxtPatPh1", "PATPH1"},     {"TxtPatPh2", "PATPH2"},
    {"TxtPatCell", "PATCELL"},   {"TxtPatFax", "PATFAX"},     {"TxtPatEmail", "PATEMAIL"},
    {"TxtPatSex", "PATSEX", Bind::Option, {"F", "M"}},   // "F" is Female, anything else Male
    {"TxtPatDOB", "PATDOB", Bind::Date},
};

ListEditSpec patientSpec()
{
    ListEditSpec s;
    s.alias = QStringLiteral("patnt");
    s.codeField = "PATCODE";
    s.nameFields = {"PATFNAME", "PATLNAME"};
    s.duplicates = DuplicateRule::Exact;   // both names at full width: Rora Rid is not Rora Ridley
    s.duplicateAsks = true;
    s.list = ListKind::Live;
    s.fields = kPatientFields;
    s.inUse = patientHasLiveVisit;
    s.grid = QStringLiteral("Grid_Patient");
    s.seek = QStringLiteral("TxtSeek");
    s.codeBox = QStringLiteral("TxtPatCode");
    s.firstBox = QStringLiteral("TxtPatTitle");
    s.appendButton = QStringLiteral("Append_Patient");
    s.modifyButton = QStringLiteral("Modify_Patient");
    s.deleteButton = QStringLiteral("Delete_Patient");
    s.exitButton = QStringLiteral("Bt_Exit_Patient");
    s.alwaysOff = {QStringLiteral("TxtPatAgeYrs"), QStringLiteral("TxtPatAgeMnths"), QStringLiteral("TxtPatAgeDays")};
    ListEditTexts& t = s.texts;
    t.blankName = QStringLiteral("Patient First Name cannot be blank !!");
    t.duplicate = QStringLiteral("Duplicate Patient Name !!\n\nAccept ??");
    t.inUse = QStringLiteral("Cannot delete. Patients exist.");
    t.addFailed = QStringLiteral("The patient could not be added !!");
    t.changeFailed = QStringLiteral("The patient could not be changed !!");
    t.deleteFailed = QStringLiteral("The patient could not be deleted !!");
    t.inUseFailed = QStringLiteral("The visits of the patient could not be checked !!");
    t.notOpen = QStringLiteral("The patient table is not open !!");
    t.readFailed = QStringLiteral("The patient list could not be read !!");
    return s;
}

} // namespace

PatientForm::PatientForm(QWidget* owner) : ListEditForm(kForm, patientSpec(), owner)
{
    setTitle(QStringLiteral("Entry: Patients"));
    setWindowIcon(ICON01());
    place(50, 110, 910, 525);
    build(kListFrame);
    build(kEditFrame);
    attach();
    sex_ = need<RadioGroup>(QStringLiteral("TxtPatSex"));
    dob_ = need<DatePicker>(QStringLiteral("TxtPatDOB"));
    ageBoxes_[0] = need<QLineEdit>(QStringLiteral("TxtPatAgeYrs"));
    ageBoxes_[1] = need<QLineEdit>(QStringLiteral("TxtPatAgeMnths"));
    ageBoxes_[2] = need<QLineEdit>(QStringLiteral("TxtPatAgeDays"));
    if (BrowseGrid* grid = liveGrid())
        grid->setColumns({fieldColumn(QStringLiteral("Code"), 60, QStringLiteral("PATCODE")),
                          fieldColumn(QStringLiteral("First Name"), 150, QStringLiteral("PATFNAME")),
                          fieldColumn(QStringLiteral("Last Name"), 150, QStringLiteral("PATLNAME"))});
    if (dob_)
        onLostFocus(dob_, [this] { CALC_PATAGE(); });
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
    ageBoxes_[0]->setText(years);
    ageBoxes_[1]->setText(months);
    ageBoxes_[2]->setText(days);
}

bool PatientForm::validate()
{
    if (sex_->value() == 1 || sex_->value() == 2)
        return true;
    MESGINFO(QStringLiteral("Sex must be either Female or Male !!"));
    sex_->setFocus(Qt::OtherFocusReason);
    return false;
}

QString PatientForm::deleteQuestion(const data::WorkArea& a, long long code) const
{
    return QStringLiteral("Delete %1 %2 (%3) ??")
        .arg(fieldText(a, QStringLiteral("PATFNAME")), fieldText(a, QStringLiteral("PATLNAME")), QString::number(code));
}

void PATNT()
{
    if (IsWindowDefined(kForm)) {
        DoMethod(kForm, QStringLiteral("SetFocus"));
        return;
    }
    ListEditForm::present(new PatientForm);
}

} // namespace cn
