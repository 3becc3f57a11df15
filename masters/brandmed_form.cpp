#include "masters/brandmed_form.h"

#include "app/controls.h"
#include "app/database.h"
#include "app/messages.h"
#include "app/text.h"
#include "masters/master_refs.h"

#include <QTextDocument>

namespace cn {

namespace {

using K = ControlKind;
const QString kSuffix = QStringLiteral("BrandMed");
const QString kInvalid = QStringLiteral("Invalid Operation");

// Labels right-aligned, 97 wide at column 440, five pixels below their box.
ControlDecl label(const char* name, int boxRow, const char* caption, int height = 25)
{
    return ControlDecl{name, K::Label, 440, boxRow + 5, 97, height, caption}.right();
}

const QList<ControlDecl> kEditFrame = {
    editFrame(kSuffix),
    label("Lb_BmedCode", 20, "Code", 15),
    ControlDecl{"TxtBmedCode", K::Numeric, 540, 20, 60, 25, "", "", 10}.off(),
    label("Lb_BmedName", 50, "Medicine (Brand)"),
    {"TxtBmedName", K::Text, 540, 50, 300, 25, "", "Enter Medicine Brand Name"},
    label("Lb_GmedName", 80, "Medicine (Gen)"),
    ControlDecl{"TxtGmedName", K::Combo, 540, 80, 300, 24, "", "Select Generic Medicine"}.listHeight(300),
    label("Lb_MedComp", 110, "Manufacturer"),
    {"TxtMedComp", K::Text, 540, 110, 300, 25, "", "Enter Manufacturer's Name"},
    label("Lb_Usage", 140, "Details"),
    {"TxtMedDetails", K::RichText, 540, 140, 300, 200, "", "Enter Dosage and other details"},
    {"Bt_Save", K::Button, 480, 375, 100, 30, "&Save"},
    {"Bt_Cancel", K::Button, 730, 375, 100, 30, "&Cancel"},
};

// The details are plain text, stored trimmed like every text field.
const RichCodec kTrimmedPlainText{
    [](QTextDocument& doc, const std::string& stored) { doc.setPlainText(trimBlanks(fromCp1252(stored))); },
    [](const QTextDocument& doc) { return toCp1252(trimBlanks(doc.toPlainText())); },
};

// The drop-down lists every live generic medicine by name and stands for its code.
const CodeLookup kGenerics{"gmed", "GMEDCODE", "GMEDNAME"};

const FieldBinding kBrandMedFields[] = {
    {"TxtBmedName", "BMEDNAME"},
    {"TxtGmedName", "GMEDCODE", Bind::Lookup, {}, {}, nullptr, &kGenerics},
    {"TxtMedComp", "MEDCOMP"},
    {"TxtMedDetails", "DETAILS", Bind::Rich, {}, {}, &kTrimmedPlainText},
};

ListEditSpec brandMedSpec()
{
    ListEditSpec s = masterSpec(kSuffix, QStringLiteral("bmed"), "BMEDCODE", "BMEDNAME",
                                QStringLiteral("TxtBmedCode"), QStringLiteral("TxtBmedName"));
    s.fields = kBrandMedFields;
    s.inUse = brandHasLiveVisitLine;
    s.readOnlyInBrowse = true;
    s.texts.blankName = QStringLiteral("Medicine Name blank !!");
    s.texts.duplicate = QStringLiteral("Duplicate Brand Medicine Name !!");
    s.texts.inUse = QStringLiteral("Cannot delete. Patient exists.");
    s.texts.inUseFailed = QStringLiteral("The visit medicines could not be checked !!");
    return s;
}

} // namespace

QString noGenericText() { return QStringLiteral("Select a Generic Medicine !!"); }

BrandMedForm::BrandMedForm() : MasterListForm(kSuffix, brandMedSpec(), QStringLiteral("Setup: Medicine (Brand)"))
{
    build(gridListFrame(kSuffix, QStringLiteral("Medicine (Brand)")));
    build(kEditFrame);
    generic_ = need<QComboBox>(QStringLiteral("TxtGmedName"));
    if (generic_)
        generic_->setMaxVisibleItems(15);   // a list about 300 pixels high
    if (auto* details = need<QTextEdit>(QStringLiteral("TxtMedDetails")))
        details->setAcceptRichText(false);
    attachList();
}

bool BrandMedForm::validate()
{
    // The choice may have been deleted in the generic medicines window since
    // the list was read: it is asked again of the table.
    const data::Result<bool> live = genericIsLive(db(), FieldBindings::chosenCode(generic_));
    if (!live) {
        MESGSTOP(noGenericText() + QLatin1Char('\n') + problemText(live.status()), kInvalid);
        return false;
    }
    if (live.value())
        return true;
    fields().refreshLookups();
    MESGSTOP(noGenericText(), kInvalid);
    generic_->setFocus(Qt::OtherFocusReason);
    return false;
}

void BRANDMED()
{
    openMasterList(QStringLiteral("Form_BrandMed"), [] { return new BrandMedForm; });
}

} // namespace cn
