#include "app/database.h"

#include "app/settings.h"
#include "app/text.h"
#include "data/catalog.h"

#include <QDir>
#include <memory>

namespace cn {

namespace {
std::unique_ptr<data::Workspace>& current()
{
    static std::unique_ptr<data::Workspace> instance;
    return instance;
}

std::string fieldName(const QString& field) { return field.toUpper().toStdString(); }
} // namespace

data::Workspace& db()
{
    auto& ws = current();
    if (!ws)
        ws = std::make_unique<data::Workspace>(QDir::currentPath().toStdString());
    return *ws;
}

void openDb(const QString& folder)
{
    auto& ws = current();
    if (ws)
        ws->closeAll();
    ws = std::make_unique<data::Workspace>(QDir(folder).absolutePath().toStdString());
}

QString dbFolder() { return QString::fromStdString(db().folder()); }

data::WorkArea* area(const QString& alias) { return db().area(alias.toStdString()); }

QString fieldText(const data::WorkArea& a, const QString& field, bool trim)
{
    const QString text = fromCp1252(a.str(fieldName(field)));
    if (trim)
        return trimBlanks(text);
    qsizetype e = text.size();
    while (e > 0 && text[e - 1] == QLatin1Char(' '))
        --e;
    return text.left(e);
}

data::Status setFieldText(data::WorkArea& a, const QString& field, const QString& text)
{
    return a.setStr(fieldName(field), toCp1252(trimBlanks(text)));
}

QDate toQDate(data::Date d)
{
    if (d.empty())
        return {};
    return QDate(d.year, d.month, d.day);
}

data::Date toDate(const QDate& d)
{
    if (!d.isValid())
        return {};
    return data::Date{d.year(), d.month(), d.day()};
}

QString dateText(const QDate& d)
{
    return d.isValid() ? d.toString(settings().CDATEFORMAT) : QString();
}

std::string keyBytes(const QString& text) { return toCp1252(text); }

QString problemText(const data::Status& s)
{
    using data::ErrorCode;
    QString what;
    switch (s.code()) {
    case ErrorCode::InUse: what = QStringLiteral("The file is in use by another program or window."); break;
    case ErrorCode::Damaged: what = QStringLiteral("The file is damaged."); break;
    case ErrorCode::Io: what = QStringLiteral("The disk refused to read or write it."); break;
    case ErrorCode::TooLong: what = QStringLiteral("A value is too long for its field."); break;
    case ErrorCode::NotFound: what = QStringLiteral("It is not there."); break;
    case ErrorCode::None:
    case ErrorCode::Other: break;
    }
    const QString detail = QString::fromStdString(s.message());
    return what.isEmpty() ? detail : what + QLatin1Char('\n') + detail;
}

PrivateArea::PrivateArea(data::Workspace& ws, std::string alias)
    : ws_(ws), alias_(std::move(alias)), previous_(ws.currentAlias())
{
}

PrivateArea::~PrivateArea()
{
    if (opened_)
        ws_.closeArea(alias_);
    if (!previous_.empty())
        ws_.select(previous_);
}

data::Result<data::WorkArea*> PrivateArea::open(std::string_view table, std::initializer_list<std::string_view> indexes)
{
    namespace cat = data::catalog;
    const cat::TableDef* def = cat::findTable(table);
    if (!def)
        return data::Status::error("The table " + std::string(table) + " is not in the catalogue");
    auto used = ws_.use(def->fileName(), alias_, data::OpenMode{true, true});
    if (!used)
        return used.status();
    opened_ = true;
    data::WorkArea& a = *used.value();
    for (std::string_view name : indexes) {
        const cat::IndexDef* ix = cat::findIndex(name);
        if (!ix)
            return data::Status::error("The index " + std::string(name) + " is not in the catalogue");
        if (data::Status s = a.setIndex(ws_.resolve(ix->fileName())); !s)
            return s;
    }
    if (indexes.size() > 0)
        if (data::Status s = a.setOrder(1); !s)
            return s;
    return &a;
}

namespace {

// The answer of a search, or the failure it met on the way.
data::Result<bool> searched(const data::WorkArea& a, bool found)
{
    if (!found && !a.lastError().empty())
        return data::Status::error(data::ErrorCode::Damaged, a.lastError());
    return found;
}

} // namespace

data::Result<bool> liveKeyExists(data::Workspace& ws, std::string_view table, std::string_view index, std::string_view key)
{
    PrivateArea guard(ws, std::string(table) + "_inuse");
    auto opened = guard.open(table, {index});
    if (!opened)
        return opened.status();
    data::WorkArea& a = *opened.value();
    return searched(a, a.seek("F" + std::string(key)));
}

data::Result<bool> liveRecordWhere(data::Workspace& ws, std::string_view table, const data::Condition& cond)
{
    PrivateArea guard(ws, std::string(table) + "_inuse");
    auto opened = guard.open(table);
    if (!opened)
        return opened.status();
    data::WorkArea& a = *opened.value();
    // Deleted records never count, even were they made visible meanwhile.
    return searched(a, a.locate([&](data::WorkArea& r) { return !r.deleted() && cond(r); }));
}

} // namespace cn
