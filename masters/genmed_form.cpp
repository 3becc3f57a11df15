#include "masters/genmed_form.h"

#include "app/controls.h"
#include "masters/master_refs.h"

namespace cn {

namespace {

using K = ControlKind;
const QString kSuffix = QStringLiteral("GenMed");

const QList<ControlDecl> kEditFrame = {
    editFrame(kSuffix),
    ControlDecl{"Lb_GmedCode", K::Label, 440, 25, 77, 15, "Code"}.right(),
    ControlDecl{"TxtGmedCode", K::Numeric, 520, 20, 60, 25, "", "", 10}.off(),
    ControlDecl{"Lb_GmedName", K::Label, 440, 55, 77, 25, "Medicine"}.right(),
    {"TxtGmedName", K::Text, 520, 50, 300, 25, "", "Enter Medicine Name"},
    {"Bt_Save", K::Button, 480, 375, 100, 30, "&Save"},
    {"Bt_Cancel", K::Button, 730, 375, 100, 30, "&Cancel"},
};

const FieldBinding kGenMedFields[] = {{"TxtGmedName", "GMEDNAME"}};

ListEditSpec genMedSpec()
{
    ListEditSpec s = masterSpec(kSuffix, QStringLiteral("gmed"), "GMEDCODE", "GMEDNAME",
                                QStringLiteral("TxtGmedCode"), QStringLiteral("TxtGmedName"));
    s.fields = kGenMedFields;
    s.inUse = genericHasLiveBrand;
    s.texts.blankName = QStringLiteral("Medicine Name blank !!");
    s.texts.duplicate = QStringLiteral("Duplicate Medicine Name !!");
    s.texts.inUse = QStringLiteral("Cannot delete. Brand Medicine exists.");
    s.texts.inUseFailed = QStringLiteral("The brand medicines could not be checked !!");
    return s;
}

} // namespace

GenMedForm::GenMedForm() : MasterListForm(kSuffix, genMedSpec(), QStringLiteral("Setup: Medicine (Gen)"))
{
    build(gridListFrame(kSuffix, QStringLiteral("Medicine")));
    build(kEditFrame);
    attachList();
}

void GENMED()
{
    openMasterList(QStringLiteral("Form_GenMed"), [] { return new GenMedForm; });
}

} // namespace cn
