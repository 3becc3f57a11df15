#include "masters/dbfmenu.h"

#include "app/bindings.h"
#include "app/controls.h"
#include "app/database.h"
#include "app/grid.h"
#include "app/resources.h"
#include "app/text.h"

#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>

namespace cn {

namespace {

const QString kForm = QStringLiteral("Form_DBFMenu");
using K = ControlKind;

const QList<ControlDecl> kControls = {
    {"Grid_DBFMenu", K::Browse, 10, 10, 400, 230},
    {"Label_Seek", K::Label, 10, 248, 70, 24, "Seek"},
    {"TxtSeek", K::Text, 90, 245, 320, 24, "", "Enter first few letters of text to seek", 40},
    {"Bt_SelectItem", K::Button, 15, 285, 100, 28, "&Select"},
    {"Bt_ExitMenu", K::Button, 305, 285, 100, 28, "E&xit"},
};

PickList pickList(const QString& title, const QString& header, const QString& alias, const QString& column,
                  const QString& index, const QString& field)
{
    PickList p;
    p.title = title;
    p.icon = ICON01();
    p.widths = {300};
    p.headers = {header};
    p.alias = alias;
    p.fields = {column};
    p.index = index;
    p.field = field;
    return p;
}

// A column of the list: "Alias->Field" shows that area's field (the browsed
// area's own when the alias is the browsed one), a bare name a field of the
// browsed area.
BrowseColumn columnFor(const QString& browsedAlias, const QString& header, int width, const QString& content)
{
    const qsizetype arrow = content.indexOf(QStringLiteral("->"));
    const QString alias = arrow < 0 ? QString() : content.left(arrow).trimmed();
    const QString field = (arrow < 0 ? content : content.mid(arrow + 2)).trimmed().toUpper();
    if (alias.isEmpty() || alias.compare(browsedAlias, Qt::CaseInsensitive) == 0)
        return fieldColumn(header, width, field);
    return exprColumn(header, width, [alias, field](const data::WorkArea&) {
        const data::WorkArea* other = area(alias);
        return other ? fieldText(*other, field) : QString();
    });
}

} // namespace

PickList chamberPickList()
{
    return pickList(QStringLiteral("Chamber"), QStringLiteral("Chname"), QStringLiteral("Chamber"),
                    QStringLiteral("Chamber->Chname"), QStringLiteral("Chamber2"), QStringLiteral("Chname"));
}

PickList dictionaryPickList()
{
    return pickList(QStringLiteral("Dictionary"), QStringLiteral("Text"), QStringLiteral("Dict"),
                    QStringLiteral("Dict->Dictname"), QStringLiteral("Dict2"), QStringLiteral("Dictname"));
}

PickList queryChamberPickList()
{
    return pickList(QStringLiteral("Chamber"), QStringLiteral("Chname"), QStringLiteral("xChamber"),
                    QStringLiteral("xChamber->Chname"), QStringLiteral("Chamber2"), QStringLiteral("Chname"));
}

DBFMenuForm::DBFMenuForm(const PickList& request, QWidget* owner)
    : Form(kForm, WindowType::Child, owner),
      DDBFNAME(request.alias), CDBFINDEX(request.index), CFIELDNAME(request.field)
{
    setTitle(request.title.isEmpty() ? QStringLiteral("Database Browser") : request.title);
    setWindowIcon(request.icon);
    place(235, 140, 430, 360);
    build(kControls);
    grid_ = need<BrowseGrid>(QStringLiteral("Grid_DBFMenu"));
    seek_ = need<QLineEdit>(QStringLiteral("TxtSeek"));
    QWidget* select = need(QStringLiteral("Bt_SelectItem"));
    QWidget* exitButton = need(QStringLiteral("Bt_ExitMenu"));
    if (!faults().isEmpty())
        return;
    QList<BrowseColumn> columns;
    for (qsizetype i = 0; i < request.fields.size(); ++i)
        columns << columnFor(DDBFNAME, request.headers.value(i), request.widths.value(i, 100), request.fields[i]);
    grid_->setAlias(DDBFNAME.toLower());
    grid_->setColumns(columns);
    onChange(grid_, [this] { DBFMENUONCHANGE(); });
    onChange(seek_, [this] { SEEK_DBFMENU(); });
    onAction(select, [this] { BTN_SELECTITEM(1); });
    onAction(exitButton, [this] { BTN_EXITMENU(); });
    // A double click chooses nothing: the choice is made with Select.
}

data::WorkArea* DBFMenuForm::browsed() const { return area(DDBFNAME); }

void DBFMenuForm::DBFMENUONCHANGE()
{
    if (data::WorkArea* a = browsed(); a && grid_->value() != 0)
        a->goTo(grid_->value());
}

void DBFMenuForm::SEEK_DBFMENU()
{
    data::WorkArea* a = browsed();
    if (!a)
        return;
    if (const int order = catalogueOrder(DDBFNAME, CDBFINDEX); order > 0)
        (void)a->setOrder(order);
    a->seek(keyBytes(QStringLiteral("F") + keyUpper(trimBlanks(seek_->text()))), true);
    grid_->refresh();
    grid_->setFocus(Qt::OtherFocusReason);
    seek_->setFocus(Qt::OtherFocusReason);
    seek_->setCursorPosition(static_cast<int>(seek_->text().size()));
}

void DBFMenuForm::REFRESH_SEEK_DBFMENU(const QString& text)
{
    {
        const QSignalBlocker quiet(seek_);
        seek_->setText(text);
    }
    seek_->setFocus(Qt::OtherFocusReason);
    SEEK_DBFMENU();
}

void DBFMenuForm::BTN_SELECTITEM(int)
{
    data::WorkArea* a = browsed();
    if (a && grid_->value() != 0)
        a->goTo(grid_->value());
    // At the end of the table (an empty table, a seek past the last entry)
    // the field is blank: an empty text, which the callers take as no choice.
    CRETVAL = a ? fieldText(*a, CFIELDNAME) : QString();
    release();
}

void DBFMenuForm::BTN_EXITMENU()
{
    CRETVAL.reset();
    release();
}

void DBFMenuForm::releasing() { emit chosen(CRETVAL); }

DBFMenuForm* openDBFMenu(const PickList& request)
{
    // Refused before anything is stored: the open list keeps its table,
    // order and field, and its Select still answers its own caller.
    if (IsWindowDefined(kForm))
        return nullptr;
    auto* w = new DBFMenuForm(request);
    w->REFRESH_SEEK_DBFMENU(request.seekText.isNull() ? QStringLiteral(" ") : request.seekText);
    w->center();
    w->activate();
    return w;
}

std::optional<QString> waitForChoice(DBFMenuForm* w)
{
    if (!w || w->isReleased())
        return w ? w->CRETVAL : std::nullopt;
    std::optional<QString> result;
    QObject::connect(w, &DBFMenuForm::chosen, w, [&result](const std::optional<QString>& r) { result = r; });
    w->waitUntilReleased();
    return result;
}

std::optional<QString> DBFMENU(const PickList& request) { return waitForChoice(openDBFMenu(request)); }

std::optional<QString> DBFMENU(const QString& title, const QIcon& icon, const QList<int>& widths,
                               const QStringList& headers, const QString& alias, const QStringList& fields,
                               const QString& index, const QString& field, const QString& seekText)
{
    PickList p;
    p.title = title.isEmpty() ? QStringLiteral("Database Browser") : title;
    p.icon = icon;
    p.widths = widths;
    p.headers = headers;
    p.alias = alias;
    p.fields = fields;
    p.index = index;
    p.field = field;
    p.seekText = seekText.isNull() ? QStringLiteral(" ") : seekText;
    return DBFMENU(p);
}

} // namespace cn
