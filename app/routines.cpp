#include "app/routines.h"

#include "app/controls.h"
#include "app/database.h"
#include "app/forms.h"
#include "app/messages.h"
#include "data/codes.h"

namespace cn {

QString GETCOLUMNVALUE(const QString& grid, const QString& form, int column)
{
    auto* g = qobject_cast<ArrayGrid*>(control(form, grid));
    if (!g)
        return {};
    const QStringList cells = g->item(g->value());
    return column >= 1 && column <= cells.size() ? cells[column - 1] : QString();
}

long long GETCODE(const QString& alias, int order, const QString& codeField)
{
    data::WorkArea* a = area(alias);
    if (!a)
        return 0;
    return data::nextCode(*a, order, codeField.toUpper().toStdString());
}

bool CHECK_DUPLICATE_APPEND(const QString& alias, int order, const QString& key)
{
    data::WorkArea* a = area(alias);
    if (!a)
        return false;
    return data::duplicateFreeForAppend(*a, order, keyBytes(key));
}

bool CHECK_DUPLICATE_MODIFY(const QString& alias, int order, const QString& key,
                            const QString& codeField, long long code)
{
    data::WorkArea* a = area(alias);
    if (!a)
        return false;
    return data::duplicateFreeForModify(*a, order, keyBytes(key), codeField.toUpper().toStdString(), code);
}

bool BLOCKRECORD(const QString& alias)
{
    data::WorkArea* a = area(alias);
    if (!a || a->eof())
        return false;
    const uint32_t rec = a->recNo();
    while (!a->rlock()) {
        if (!askYes(QStringLiteral("Cannot lock. Record in use. Retry ??")))
            return false;
        // While the question was up the other windows went on, and their
        // painting or relations may have moved the area: the record asked
        // for is the one tried again.
        a->goTo(rec);
    }
    return true;
}

void GRID_HILITE() { clearKeyboardBuffer(); }

namespace {
bool usable(const QDate& birth, const QDate& at) { return birth.isValid() && at.isValid() && birth < at; }
} // namespace

int CALC_AGEYRS(const QDate& birth, const QDate& at)
{
    if (!usable(birth, at) || at.year() <= birth.year())
        return 0;
    const int years = at.year() - birth.year();
    if (at.month() > birth.month())
        return years;
    if (at.month() < birth.month())
        return years - 1;
    return at.day() >= birth.day() ? years : years - 1;
}

int CALC_AGEMNTHS(const QDate& birth, const QDate& at)
{
    if (!usable(birth, at) || at.year() < birth.year())
        return 0;
    const int borrow = at.day() >= birth.day() ? 0 : 1;
    if (at.month() > birth.month())
        return at.month() - birth.month() - borrow;
    if (at.month() < birth.month())
        return 12 - (birth.month() - at.month()) - borrow;
    return borrow ? 11 : 0;
}

int CALC_AGEDAYS(const QDate& birth, const QDate& at)
{
    if (!usable(birth, at) || at.year() < birth.year())
        return 0;
    if (at.day() > birth.day())
        return at.day() - birth.day();
    if (at.day() < birth.day())
        return 30 - (birth.day() - at.day());
    return 0;
}

QString DDMONYY(const QDate& date)
{
    static const char* const months[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (!date.isValid())
        return {};
    return QStringLiteral("%1 %2 %3")
        .arg(date.day())
        .arg(QLatin1String(months[date.month() - 1]))
        .arg(date.year(), 4, 10, QLatin1Char('0'));
}

} // namespace cn
