#include "masters/master_list.h"

#include "app/controls.h"
#include "app/forms.h"
#include "app/grid.h"
#include "app/resources.h"
#include "app/routines.h"

namespace cn {

namespace {

using K = ControlKind;

const QString kSeekTip = QStringLiteral("Enter first few letters of name to seek");

} // namespace

ListEditSpec masterSpec(const QString& suffix, const QString& alias, const char* codeField, const char* nameField,
                        const QString& codeBox, const QString& nameBox)
{
    ListEditSpec s;
    s.alias = alias;
    s.codeField = codeField;
    s.nameFields = {nameField};
    s.duplicates = DuplicateRule::Prefix;   // CITY is taken when City Clinic exists
    s.list = ListKind::Rows;
    s.maxRows = 30;
    s.grid = QStringLiteral("Grid_") + suffix;
    s.seek = QStringLiteral("TxtSeek");
    s.codeBox = codeBox;
    s.firstBox = nameBox;
    s.appendButton = QStringLiteral("Append_") + suffix;
    s.modifyButton = QStringLiteral("Modify_") + suffix;
    s.deleteButton = QStringLiteral("Delete_") + suffix;
    s.exitButton = QStringLiteral("Bt_Exit_") + suffix;
    s.texts.blankNameTitle = s.texts.duplicateTitle = QStringLiteral("Invalid Operation");
    s.texts.blankRows = QStringLiteral("Blank names and/or codes exist in this database, Please check !!");
    return s;
}

QList<ControlDecl> listButtons(const QString& suffix)
{
    return {
        {QStringLiteral("Append_") + suffix, K::Button, 16, 412, 100, 28, "&Append"},
        {QStringLiteral("Modify_") + suffix, K::Button, 116, 412, 100, 28, "&Modify"},
        {QStringLiteral("Delete_") + suffix, K::Button, 216, 412, 100, 28, "&Delete"},
        {QStringLiteral("Bt_Exit_") + suffix, K::Button, 316, 412, 100, 28, "E&xit"},
    };
}

QList<ControlDecl> gridListFrame(const QString& suffix, const QString& header)
{
    QList<ControlDecl> decls = {
        {QStringLiteral("Frame_%1_01").arg(suffix), K::Frame, 5, 5, 425, 480, "List"},
        ControlDecl{QStringLiteral("Grid_") + suffix, K::Grid, 15, 25, 400, 329}.withItems({header}).withWidths({350}),
        {"Label_Seek", K::Label, 16, 372, 70, 20, "Seek "},
        {"TxtSeek", K::Text, 90, 368, 326, 24, "", kSeekTip, 40},
    };
    return decls + listButtons(suffix);
}

ControlDecl editFrame(const QString& suffix)
{
    return {QStringLiteral("Frame_%1_02").arg(suffix), K::Frame, 430, 5, 470, 480, "Edit"};
}

MasterListForm::MasterListForm(const QString& suffix, const ListEditSpec& spec, const QString& title)
    : ListEditForm(QStringLiteral("Form_") + suffix, spec)
{
    setTitle(title);
    setWindowIcon(ICON01());
    setFont(QFont(QStringLiteral("Arial"), 9));
    place(5, 5, 910, 525);
    setResizable(false);
}

void MasterListForm::attachList()
{
    attach();
    QWidget* list = rowGrid() ? static_cast<QWidget*>(rowGrid()) : liveGrid();
    if (list)
        onGotFocus(list, [] { GRID_HILITE(); });
}

void openMasterList(const QString& form, const std::function<ListEditForm*()>& make)
{
    if (IsWindowDefined(form)) {
        DoMethod(form, QStringLiteral("SetFocus"));
        return;
    }
    ListEditForm::present(make());
}

} // namespace cn
