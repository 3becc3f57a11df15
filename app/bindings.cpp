#include "app/bindings.h"

#include "app/controls.h"
#include "app/database.h"
#include "app/forms.h"
#include "app/text.h"
#include "data/catalog.h"

#include <QSignalBlocker>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace cn {

data::FieldDef catalogueField(const QString& alias, const std::string& field)
{
    namespace cat = data::catalog;
    const std::string a = alias.toStdString();
    for (const cat::OpenStep& step : cat::openSteps()) {
        if (!cat::sameName(step.alias, a))
            continue;
        if (const cat::TableDef* t = cat::findTable(step.table))
            if (const data::FieldDef* f = t->field(field))
                return *f;
    }
    if (const cat::TableDef* t = cat::findTable(a))
        if (const data::FieldDef* f = t->field(field))
            return *f;
    if (const data::WorkArea* open = area(alias))
        if (const int pos = open->fieldPos(field))
            return open->fieldInfo(pos);
    return {};
}

int catalogueOrder(const QString& alias, const QString& index)
{
    namespace cat = data::catalog;
    const std::string a = alias.toStdString();
    const std::string ix = index.toStdString();
    for (const cat::OpenStep& step : cat::openSteps()) {
        if (!cat::sameName(step.alias, a))
            continue;
        for (size_t i = 0; i < step.orders.size(); ++i)
            if (cat::sameName(cat::index(step.orders[i]).name, ix))
                return static_cast<int>(i) + 1;
    }
    return 0;
}

namespace {

// The picture that lets in as many digits as an N field of this width holds.
QString pictureFor(int width, int decimals)
{
    const int integers = std::max(1, width - (decimals > 0 ? decimals + 1 : 0));
    QString p(integers, QLatin1Char('9'));
    if (decimals > 0)
        p += QLatin1Char('.') + QString(decimals, QLatin1Char('9'));
    return p;
}

// The widget type a binding kind works on, to catch a table that binds the
// wrong kind of control.
bool fits(Bind kind, QWidget* w)
{
    switch (kind) {
    case Bind::Text:
    case Bind::Upper: return qobject_cast<QLineEdit*>(w) && !qobject_cast<NumberBox*>(w);
    case Bind::Number: return qobject_cast<NumberBox*>(w);
    case Bind::Date: return qobject_cast<DatePicker*>(w);
    case Bind::Time: return qobject_cast<QTimeEdit*>(w);
    case Bind::Option: return qobject_cast<RadioGroup*>(w);
    case Bind::Combo:
    case Bind::Lookup: return qobject_cast<QComboBox*>(w);
    case Bind::Spin: return qobject_cast<QSpinBox*>(w);
    case Bind::Check: return qobject_cast<QAbstractButton*>(w);
    case Bind::Memo: return qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTextEdit*>(w);
    case Bind::Rich: return qobject_cast<QTextEdit*>(w);
    }
    return false;
}

QString memoText(QWidget* w)
{
    if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        return p->toPlainText();
    return static_cast<QTextEdit*>(w)->toPlainText();
}

void setMemoText(QWidget* w, const QString& text)
{
    if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        p->setPlainText(text);
    else
        static_cast<QTextEdit*>(w)->setPlainText(text);
}

} // namespace

FieldBindings::FieldBindings(Form& form, const QString& alias, std::span<const FieldBinding> table,
                             std::span<const FieldBinding> writtenOnly)
    : alias_(alias)
{
    for (const FieldBinding& b : table)
        bind(form, b, true);
    for (const FieldBinding& b : writtenOnly)
        bind(form, b, false);
}

void FieldBindings::bind(Form& form, const FieldBinding& b, bool loads)
{
    QWidget* w = form.need<QWidget>(QLatin1String(b.control));
    if (w && !fits(b.kind, w)) {
        form.noteFault(QStringLiteral("%1 is not the kind of control its binding to %2 needs")
                           .arg(QLatin1String(b.control), QLatin1String(b.field)));
        w = nullptr;
    }
    const std::string field = QString::fromLatin1(b.field).toUpper().toStdString();
    const data::FieldDef def = catalogueField(alias_, field);
    if (def.name.empty()) {
        form.noteFault(QStringLiteral("%1 is bound to %2, which %3 does not have")
                           .arg(QLatin1String(b.control), QLatin1String(b.field), alias_));
        return;
    }
    if (b.kind == Bind::Lookup) {
        const bool named = b.lookup
            && !catalogueField(QLatin1String(b.lookup->alias), QString::fromLatin1(b.lookup->codeField).toUpper().toStdString()).name.empty()
            && !catalogueField(QLatin1String(b.lookup->alias), QString::fromLatin1(b.lookup->nameField).toUpper().toStdString()).name.empty();
        if (!named) {
            form.noteFault(QStringLiteral("%1 looks its items up in fields that are not there").arg(QLatin1String(b.control)));
            return;
        }
    }
    if (!w)
        return;
    // Limits from the field's definition, never typed again per window.
    if (auto* box = qobject_cast<QLineEdit*>(w); box && def.type == 'C' && def.width > 0)
        box->setMaxLength(def.width);
    if (auto* n = qobject_cast<NumberBox*>(w))
        n->setPicture(b.picture.isEmpty() ? pictureFor(def.width, def.decimals) : b.picture);
    if (auto* t = qobject_cast<TextBox*>(w); t && b.kind == Bind::Upper)
        t->setUpperCase(true);
    entries_.push_back({&b, w, field, def.type, def.width, def.decimals, loads});
    widgets_ << w;
}

void FieldBindings::alsoKeep(std::initializer_list<const char*> fields)
{
    for (const char* f : fields) {
        const std::string field = QString::fromLatin1(f).toUpper().toStdString();
        if (std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.field == field; }))
            continue;   // bound to a control already
        const data::FieldDef def = catalogueField(alias_, field);
        if (!def.name.empty())
            entries_.push_back({nullptr, nullptr, field, def.type, def.width, def.decimals, false});
    }
}

QWidget* FieldBindings::controlFor(const char* field) const
{
    for (const Entry& e : entries_)
        if (e.widget && data::catalog::sameName(e.field, field))
            return e.widget;
    return nullptr;
}

QWidget* FieldBindings::unfinishedDate() const
{
    for (const Entry& e : entries_)
        if (auto* d = qobject_cast<DatePicker*>(e.widget); d && !d->textIsDate())
            return d;
    return nullptr;
}

long long FieldBindings::chosenCode(const QWidget* lookup)
{
    auto* c = qobject_cast<const QComboBox*>(lookup);
    return c && c->currentIndex() >= 0 ? c->currentData().toLongLong() : 0;
}

void FieldBindings::fillLookup(const Entry& e)
{
    auto* combo = static_cast<QComboBox*>(e.widget);
    const QSignalBlocker quiet(combo);
    combo->clear();
    const CodeLookup& from = *e.def->lookup;
    data::WorkArea* a = area(QLatin1String(from.alias));
    if (!a)
        return;
    // Read in record order, which the engine reads ahead in large blocks,
    // and sorted here: a walk through the name index reads one record at a
    // time, several times slower for a list read on every selection.
    struct Item {
        std::string key;   // as the name order keys it: upper case, Windows-1252
        QString name;
        long long code;
    };
    std::vector<Item> items;
    const int savedOrder = a->indexOrd();
    const uint32_t savedRec = a->recNo();
    const std::string code = QString::fromLatin1(from.codeField).toUpper().toStdString();
    const std::string name = QString::fromLatin1(from.nameField).toUpper().toStdString();
    if (a->setOrder(0))
        for (a->goTop(); !a->eof(); a->skip(1))
            if (!a->deleted()) {
                const QString stored = fromCp1252(a->str(name));
                items.push_back({keyBytes(keyUpper(stored)), trimBlanks(stored), static_cast<long long>(a->num(code))});
            }
    (void)a->setOrder(savedOrder);
    a->goTo(savedRec);
    // Equal names stay in record order, as the index orders equal keys.
    std::stable_sort(items.begin(), items.end(), [](const Item& x, const Item& y) { return x.key < y.key; });
    for (const Item& i : items)
        combo->addItem(i.name, static_cast<qlonglong>(i.code));
}

void FieldBindings::refreshLookups() const
{
    for (const Entry& e : entries_) {
        if (!e.def || e.def->kind != Bind::Lookup)
            continue;
        auto* combo = static_cast<QComboBox*>(e.widget);
        const long long chosen = chosenCode(combo);
        fillLookup(e);
        combo->setCurrentIndex(chosen == 0 ? -1 : combo->findData(static_cast<qlonglong>(chosen)));
    }
}

void FieldBindings::clear() const
{
    for (const Entry& e : entries_) {
        if (!e.def || !e.loads)
            continue;
        QWidget* w = e.widget;
        switch (e.def->kind) {
        case Bind::Text:
        case Bind::Upper: static_cast<QLineEdit*>(w)->clear(); break;
        case Bind::Number: static_cast<NumberBox*>(w)->setValue(0); break;
        case Bind::Date: static_cast<DatePicker*>(w)->setValue(QDate()); break;
        case Bind::Time: static_cast<QTimeEdit*>(w)->setTime(QTime(0, 0)); break;
        case Bind::Option: static_cast<RadioGroup*>(w)->setValue(1); break;
        case Bind::Combo: static_cast<QComboBox*>(w)->setCurrentIndex(-1); break;
        case Bind::Lookup:
            fillLookup(e);
            static_cast<QComboBox*>(w)->setCurrentIndex(static_cast<QComboBox*>(w)->count() > 0 ? 0 : -1);
            break;
        case Bind::Spin: static_cast<QSpinBox*>(w)->setValue(static_cast<QSpinBox*>(w)->minimum()); break;
        case Bind::Check: static_cast<QAbstractButton*>(w)->setChecked(false); break;
        case Bind::Memo:
        case Bind::Rich: setMemoText(w, {}); break;
        }
    }
}

void FieldBindings::load(const data::WorkArea& a) const
{
    for (const Entry& e : entries_) {
        if (!e.def || !e.loads)
            continue;
        QWidget* w = e.widget;
        const QString name = QString::fromStdString(e.field);
        switch (e.def->kind) {
        case Bind::Text:
        case Bind::Upper: static_cast<QLineEdit*>(w)->setText(fieldText(a, name)); break;
        case Bind::Number: static_cast<NumberBox*>(w)->setValue(a.num(e.field)); break;
        case Bind::Date: static_cast<DatePicker*>(w)->setValue(toQDate(a.date(e.field))); break;
        case Bind::Time: {
            // An empty or unreadable time shows as midnight (a time picker
            // keeps its last time when given none).
            const QTime t = QTime::fromString(fieldText(a, name), QStringLiteral("HH:mm:ss"));
            static_cast<QTimeEdit*>(w)->setTime(t.isValid() ? t : QTime(0, 0));
            break;
        }
        case Bind::Option: {
            auto* g = static_cast<RadioGroup*>(w);
            if (e.def->codes.isEmpty()) {
                g->setValue(static_cast<int>(a.num(e.field)));
                break;
            }
            const QString stored = fieldText(a, name);
            int option = static_cast<int>(e.def->codes.size());
            for (int i = 0; i < e.def->codes.size(); ++i)
                if (stored.startsWith(e.def->codes[i])) {
                    option = i + 1;
                    break;
                }
            g->setValue(option);
            break;
        }
        case Bind::Combo: static_cast<QComboBox*>(w)->setCurrentIndex(static_cast<int>(a.num(e.field)) - 1); break;
        case Bind::Lookup: {
            const long long stored = static_cast<long long>(a.num(e.field));
            fillLookup(e);
            auto* combo = static_cast<QComboBox*>(w);
            // 0 is no code: a faulty record chooses nothing rather than a medicine coded 0.
            combo->setCurrentIndex(stored == 0 ? -1 : combo->findData(static_cast<qlonglong>(stored)));
            break;
        }
        case Bind::Spin: static_cast<QSpinBox*>(w)->setValue(static_cast<int>(std::lround(a.num(e.field)))); break;
        case Bind::Check: static_cast<QAbstractButton*>(w)->setChecked(a.logical(e.field)); break;
        case Bind::Memo:
            setMemoText(w, e.type == 'M' ? fromCp1252(a.memo(e.field)) : fieldText(a, name));
            break;
        case Bind::Rich:
            if (e.def->codec && e.def->codec->read)
                e.def->codec->read(*static_cast<QTextEdit*>(w)->document(), a.memo(e.field));
            else
                setMemoText(w, fromCp1252(a.memo(e.field)));
            break;
        }
    }
}

data::Status FieldBindings::flush(data::WorkArea& a) const
{
    for (const Entry& e : entries_) {
        if (!e.def)
            continue;
        QWidget* w = e.widget;
        const QString name = QString::fromStdString(e.field);
        data::Status s;
        switch (e.def->kind) {
        case Bind::Text:
        case Bind::Upper: s = setFieldText(a, name, static_cast<QLineEdit*>(w)->text()); break;
        case Bind::Number: s = a.setNum(e.field, static_cast<NumberBox*>(w)->value()); break;
        case Bind::Date: s = a.setDate(e.field, toDate(static_cast<DatePicker*>(w)->value())); break;
        case Bind::Time:
            s = setFieldText(a, name, static_cast<QTimeEdit*>(w)->time().toString(QStringLiteral("HH:mm:ss")));
            break;
        case Bind::Option: {
            const int option = static_cast<RadioGroup*>(w)->value();
            if (e.def->codes.isEmpty())
                s = a.setNum(e.field, option);
            else   // no choice stores the last option's code, as loading reads anything else
                s = setFieldText(a, name, e.def->codes.value(option - 1, e.def->codes.back()));
            break;
        }
        case Bind::Combo: s = a.setNum(e.field, static_cast<QComboBox*>(w)->currentIndex() + 1); break;
        case Bind::Lookup: s = a.setNum(e.field, static_cast<double>(chosenCode(w))); break;
        case Bind::Spin: s = a.setNum(e.field, static_cast<QSpinBox*>(w)->value()); break;
        case Bind::Check: s = a.setLogical(e.field, static_cast<QAbstractButton*>(w)->isChecked()); break;
        case Bind::Memo:
            s = e.type == 'M' ? a.setMemo(e.field, toCp1252(memoText(w))) : setFieldText(a, name, memoText(w));
            break;
        case Bind::Rich:
            if (e.def->codec && e.def->codec->write)
                s = a.setMemo(e.field, e.def->codec->write(*static_cast<QTextEdit*>(w)->document()));
            else
                s = a.setMemo(e.field, toCp1252(memoText(w)));
            break;
        }
        if (!s)
            return s.withMessage(s.message() + " (" + e.field + ")");
    }
    return db().commitAll();
}

FieldValues FieldBindings::stored(const data::WorkArea& a) const
{
    FieldValues v;
    if (a.eof())
        return v;
    v.recNo = a.recNo();
    for (const Entry& e : entries_)
        v.values.push_back(e.type == 'M' ? a.memo(e.field) : a.raw(e.field));
    return v;
}

bool FieldBindings::changedSince(const FieldValues& loaded, const data::WorkArea& a) const
{
    const FieldValues now = stored(a);
    return now.recNo != loaded.recNo || now.values != loaded.values;
}

void FieldBindings::restore(data::WorkArea& a, const FieldValues& before) const
{
    size_t i = 0;
    for (const Entry& e : entries_) {
        if (i >= before.values.size())
            break;
        const std::string& raw = before.values[i++];
        switch (e.type) {
        case 'N': (void)a.setNum(e.field, std::strtod(raw.c_str(), nullptr)); break;
        case 'D': (void)a.setDate(e.field, data::Date::fromDtos(raw)); break;
        case 'L': (void)a.setLogical(e.field, !raw.empty() && (raw[0] == 'T' || raw[0] == 't' || raw[0] == 'Y' || raw[0] == 'y')); break;
        case 'M': (void)a.setMemo(e.field, raw); break;
        default: (void)a.setStr(e.field, raw); break;
        }
    }
    (void)a.commit();
}

} // namespace cn
