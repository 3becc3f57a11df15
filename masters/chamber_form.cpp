#include "masters/chamber_form.h"

#include "app/controls.h"
#include "masters/master_refs.h"

namespace cn {

namespace {

using K = ControlKind;
const QString kSuffix = QStringLiteral("Chambers");

// A label of the edit frame: right-aligned, 77 x 25, five pixels below its box.
ControlDecl label(const char* name, int col, int boxRow, const char* caption, int height = 25)
{
    return ControlDecl{name, K::Label, col, boxRow + 5, 77, height, caption}.right();
}

const QString kPhoneTip = QStringLiteral("Enter Chamber Phone Number");
const QString kTimeTip = QStringLiteral("Ex.: Mon Wed Fri 5-7pm");

const QList<ControlDecl> kEditFrame = {
    editFrame(kSuffix),
    label("Lb_ChCode", 440, 20, "Code", 15),
    ControlDecl{"TxtChCode", K::Numeric, 520, 20, 60, 25, "", "", 10}.off(),
    label("Lb_ChName", 440, 50, "Name"),
    {"TxtChName", K::Text, 520, 50, 300, 25, "", "Enter Chamber Name"},
    label("Lb_ChAddr1", 440, 80, "Address"),
    {"TxtChAddr1", K::Text, 520, 80, 300, 25, "", "Chamber Address Line 1"},
    {"TxtChAddr2", K::Text, 520, 105, 300, 25, "", "Chamber Address Line 2"},
    {"TxtChAddr3", K::Text, 520, 130, 300, 25, "", "Chamber Address Line 3"},
    label("Lb_ChCity", 440, 160, "City"),
    {"TxtChCity", K::Text, 520, 160, 150, 25, "", "Enter Chamber City"},
    label("Lb_ChPIN", 680, 160, "Post Code"),
    {"TxtChPIN", K::Text, 760, 160, 120, 25, "", "Enter Postal Code"},
    label("Lb_ChCntry", 440, 190, "Country"),
    {"TxtChCntry", K::Text, 520, 190, 150, 25, "", "Enter Chamber Country"},
    label("Lb_ChPh1", 440, 220, "Phone 1"),
    {"TxtChPh1", K::Text, 520, 220, 120, 25, "", kPhoneTip},
    label("Lb_ChPh2", 640, 220, "Phone 2"),
    {"TxtChPh2", K::Text, 720, 220, 120, 25, "", kPhoneTip},
    label("Lb_ChCell", 440, 250, "Cellphone"),
    {"TxtChCell", K::Text, 520, 250, 120, 25, "", "Enter Chamber Cellphone Number"},
    label("Lb_ChFax", 640, 250, "Fax"),
    {"TxtChFax", K::Text, 720, 250, 120, 25, "", "Enter Chamber Fax Number"},
    label("Lb_ChEmail", 440, 280, "Email"),
    {"TxtChEmail", K::Text, 520, 280, 300, 25, "", "Enter Chamber Email ID"},
    label("Lb_ChTime1", 440, 310, "Time"),
    {"TxtChTime1", K::Text, 520, 310, 300, 25, "", kTimeTip},
    {"TxtChTime2", K::Text, 520, 335, 300, 25, "", kTimeTip},
    {"ChkLtrHd", K::CheckBox, 520, 365, 140, 25, "Include in Letterhead ? "},
    {"Bt_Save", K::Button, 480, 405, 100, 30, "&Save"},
    {"Bt_Cancel", K::Button, 730, 405, 100, 30, "&Cancel"},
};

// What CHAMBERS_FLUSH writes, each text trimmed; LTRHD from the hidden box.
const FieldBinding kChamberFields[] = {
    {"TxtChName", "CHNAME"},   {"TxtChAddr1", "CHADDR1"}, {"TxtChAddr2", "CHADDR2"},
    {"TxtChAddr3", "CHADDR3"}, {"TxtChCity", "CHCITY"},   {"TxtChPIN", "CHPIN"},
    {"TxtChCntry", "CHCNTRY"}, {"TxtChPh1", "CHPH1"},     {"TxtChPh2", "CHPH2"},
    {"TxtChCell", "CHCELL"},   {"TxtChFax", "CHFAX"},     {"TxtChEmail", "CHEMAIL"},
    {"TxtChTime1", "CHTIME1"}, {"TxtChTime2", "CHTIME2"}, {"ChkLtrHd", "LTRHD", Bind::Check},
};

ListEditSpec chamberSpec()
{
    ListEditSpec s = masterSpec(kSuffix, QStringLiteral("chamber"), "CHCODE", "CHNAME",
                                QStringLiteral("TxtChCode"), QStringLiteral("TxtChName"));
    s.fields = kChamberFields;
    s.inUse = chamberHasLiveVisit;
    s.texts.blankName = QStringLiteral("Chamber Name blank !!");
    s.texts.duplicate = QStringLiteral("Duplicate Chamber Name !!");
    s.texts.inUse = QStringLiteral("Cannot delete. Patients exist.");
    s.texts.inUseFailed = QStringLiteral("The visits of the chamber could not be checked !!");
    return s;
}

} // namespace

ChamberForm::ChamberForm() : MasterListForm(kSuffix, chamberSpec(), QStringLiteral("Setup: Chambers"))
{
    build(gridListFrame(kSuffix, QStringLiteral("Chamber Name")));
    build(kEditFrame);
    // Loaded, cleared and saved like the other fields, but never shown.
    if (auto* flag = need<QCheckBox>(QStringLiteral("ChkLtrHd"))) {
        flag->setLayoutDirection(Qt::RightToLeft);   // the box right of its text
        flag->hide();
    }
    attachList();
}

void CHAMBERS()
{
    openMasterList(QStringLiteral("Form_Chambers"), [] { return new ChamberForm; });
}

} // namespace cn
