#include "masters/dictionary_form.h"

#include "app/controls.h"
#include "app/grid.h"

namespace cn {

namespace {

using K = ControlKind;
const QString kSuffix = QStringLiteral("Dictionary");

const QList<ControlDecl> kListFrame = {
    {"Frame_Dictionary_01", K::Frame, 5, 5, 425, 480, "List"},
    {"Grid_Dictionary", K::Browse, 15, 25, 400, 329},
    ControlDecl{"Label_RecNo", K::Label, 215, 360, 200, 15, "0/0"}.right(),
    {"Label_Seek", K::Label, 16, 382, 70, 15, "Seek "},
    {"TxtSeek", K::Text, 90, 378, 326, 24, "", "Enter first few letters of text to seek", 40},
};

const QList<ControlDecl> kEditFrame = {
    editFrame(kSuffix),
    ControlDecl{"Lb_DictCode", K::Label, 440, 25, 77, 15, "Code"}.right(),
    ControlDecl{"TxtDictCode", K::Numeric, 520, 20, 60, 25, "", "", 10}.off(),
    ControlDecl{"Lb_DictName", K::Label, 440, 55, 77, 25, "Text"}.right(),
    {"TxtDictName", K::Text, 520, 50, 300, 25, "", "Enter Word, Phrase or any kind of text"},
    ControlDecl{"TxtDictionary", K::EditBox, 520, 85, 300, 90,
                "Enter commonly used words, phrases, etc. which you can select and insert when entering "
                "Patient Visit details.\n\nThis saves typing, spelling mistakes, etc.",
                "", 0, "", true}.slanted(),
    {"Bt_Save", K::Button, 480, 375, 100, 30, "&Save"},
    {"Bt_Cancel", K::Button, 730, 375, 100, 30, "&Cancel"},
};

const FieldBinding kDictionaryFields[] = {{"TxtDictName", "DICTNAME"}};

ListEditSpec dictionarySpec()
{
    ListEditSpec s = masterSpec(kSuffix, QStringLiteral("dict"), "DICTCODE", "DICTNAME",
                                QStringLiteral("TxtDictCode"), QStringLiteral("TxtDictName"));
    s.list = ListKind::Live;                  // every live entry, not 30
    s.duplicates = DuplicateRule::None;       // the same text may stand twice
    s.fields = kDictionaryFields;
    s.texts.blankName = QStringLiteral("Entry blank !!");
    s.texts.blankRows.clear();
    return s;
}

} // namespace

DictionaryForm::DictionaryForm() : MasterListForm(kSuffix, dictionarySpec(), QStringLiteral("Setup: Dictionary"))
{
    build(kListFrame);
    build(listButtons(kSuffix));
    build(kEditFrame);
    recNo_ = need<QLabel>(QStringLiteral("Label_RecNo"));
    if (auto* note = need<QPlainTextEdit>(QStringLiteral("TxtDictionary"))) {
        note->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        note->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        note->setFocusPolicy(Qt::NoFocus);   // a note, not a Tab stop
    }
    attachList();
    if (BrowseGrid* grid = liveGrid())
        grid->setColumns({fieldColumn(QStringLiteral("Text"), 350, QStringLiteral("DICTNAME"))});
}

void DictionaryForm::shown()
{
    data::WorkArea* a = table();
    if (!recNo_)
        return;
    if (!a || !liveGrid() || liveGrid()->value() == 0 || a->eof()) {
        recNo_->setText(QStringLiteral("0/0"));
        return;
    }
    // The place among the live entries in text order.
    (void)a->setOrder(2);
    a->setScope("F");
    recNo_->setText(QStringLiteral("Record: %1 of %2").arg(a->keyNo()).arg(a->keyCount()));
}

void DICT()
{
    openMasterList(QStringLiteral("Form_Dictionary"), [] { return new DictionaryForm; });
}

} // namespace cn
