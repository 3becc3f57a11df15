#include "app/listedit.h"

#include "app/controls.h"
#include "app/database.h"
#include "app/grid.h"
#include "app/messages.h"
#include "app/routines.h"
#include "app/text.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace cn {

QString changedElsewhereText()
{
    return QStringLiteral("This record was changed elsewhere since it was shown !!\n\n"
                          "Nothing was saved. The stored values are shown now; "
                          "make your changes again and save.");
}

ListEditForm::ListEditForm(const QString& formName, const ListEditSpec& spec, QWidget* owner)
    : Form(formName, WindowType::Child, owner), spec_(spec)
{
}

data::WorkArea* ListEditForm::table() const { return area(spec_.alias); }

void ListEditForm::attach()
{
    if (spec_.list == ListKind::Live) {
        live_ = need<BrowseGrid>(spec_.grid);
        if (live_)
            live_->setAlias(spec_.alias);
    } else {
        rows_ = need<ArrayGrid>(spec_.grid);
    }
    QWidget* list = live_ ? static_cast<QWidget*>(live_) : rows_;
    seek_ = need<QLineEdit>(spec_.seek);
    code_ = need<NumberBox>(spec_.codeBox);
    first_ = need<QWidget>(spec_.firstBox);
    fields_ = std::make_unique<FieldBindings>(*this, spec_.alias, spec_.fields);
    if (!spec_.nameFields.empty())
        nameBox_ = qobject_cast<QLineEdit*>(fields_->controlFor(spec_.nameFields.front()));
    if (!nameBox_)
        noteFault(QStringLiteral("the name field has no bound text box"));

    QWidget* append = need(spec_.appendButton);
    QWidget* modify = need(spec_.modifyButton);
    QWidget* del = need(spec_.deleteButton);
    QWidget* exitButton = need(spec_.exitButton);
    QWidget* saveButton = need(spec_.saveButton);
    QWidget* cancelButton = need(spec_.cancelButton);
    listButtons_ = {append, modify, del};
    entryButtons_ = {saveButton, cancelButton};
    alwaysOn_ = {list, seek_, exitButton};
    for (const QString& name : spec_.alwaysOff)
        alwaysOff_ << need(name);
    if (!faults().isEmpty())
        return;

    onChange(list, [this] { get(); });
    onDoubleClick(list, [this] {
        // Stands for the Modify button, which the entry state disables: a
        // double click must not throw away a record being entered.
        if (!entry_)
            entry(2);
    });
    onChange(seek_, [this] { seek(); });
    onAction(append, [this] { entry(1); });
    onAction(modify, [this] { entry(2); });
    onAction(del, [this] { remove(); });
    onAction(exitButton, [this] { exit(); });
    onAction(saveButton, [this] { save(); });
    onAction(cancelButton, [this] { cancel(); });
}

void ListEditForm::present(ListEditForm* w)
{
    if (data::WorkArea* a = w->table())
        (void)a->setOrder(w->spec_.nameOrder);
    w->setEntry(false);
    w->refreshSeek(QStringLiteral(" "));
    w->center();
    w->activate();
}

// ---------------------------------------------------------------- the selection

bool ListEditForm::seekName(const QString& name)
{
    data::WorkArea* a = table();
    if (!a)
        return false;
    (void)a->setOrder(spec_.nameOrder);
    const bool found = a->seek(keyBytes(QStringLiteral("F") + keyUpper(trimBlanks(name))));
    return moved() && found;
}

bool ListEditForm::toSelected()
{
    data::WorkArea* a = table();
    if (!a)
        return false;
    if (live_) {
        const uint32_t rec = live_->value();
        if (rec == 0)
            return false;
        a->goTo(rec);
        return moved() && !a->eof();
    }
    if (rows_->value() == 0)
        return false;
    // The row's record is the first live one of that name. A row of a faulty
    // record without a name is found too (the empty name sorts first), and a
    // record renamed or deleted meanwhile is not mistaken for the next name.
    const QString name = trimBlanks(rows_->item(rows_->value()).value(0));
    return seekName(name) && keyUpper(fieldText(*a, QLatin1String(spec_.nameFields.front()))) == keyUpper(name);
}

long long ListEditForm::selectedCode()
{
    return toSelected() ? static_cast<long long>(table()->num(spec_.codeField)) : 0;
}

void ListEditForm::get()
{
    data::WorkArea* a = table();
    const bool onRecord = toSelected();
    if (rows_ && !LNEW && !onRecord && rows_->value() != 0) {
        MESGSTOP(spec_.texts.notFound);
        return;
    }
    if (!LNEW)
        CODETOEDIT = onRecord ? static_cast<long long>(a->num(spec_.codeField)) : 0;
    if (LNEW || !onRecord) {
        code_->setValue(0);
        fields_->clear();
        loaded_ = {};
    } else {
        code_->setValue(a->num(spec_.codeField));
        fields_->load(*a);
        loaded_ = fields_->stored(*a);
    }
    shown();
}

// ---------------------------------------------------------------- seeking

void ListEditForm::seek()
{
    data::WorkArea* a = table();
    if (!a)
        return;
    if (rows_) {
        seekRows();
    } else {
        (void)a->setOrder(spec_.nameOrder);
        a->seek(keyBytes(QStringLiteral("F") + keyUpper(trimBlanks(seek_->text()))), true);
        moved();
        // The grid re-reads the table and selects the row of the record found
        // (none at the end of the table); the edit frame follows the new row.
        const uint32_t before = live_->value();
        live_->refresh();
        if (live_->value() != before || !entry_)
            get();
    }
    // The caret goes back to the end of the seek text. (The grid is not
    // focused on the way: a grid taking the focus without a selected row
    // would select its first row and undo an end-of-table seek.)
    seek_->setFocus(Qt::OtherFocusReason);
    seek_->setCursorPosition(static_cast<int>(seek_->text().size()));
}

void ListEditForm::seekRows()
{
    data::WorkArea* a = table();
    const QString text = keyUpper(trimBlanks(seek_->text()));
    (void)a->setOrder(spec_.nameOrder);
    a->seek(keyBytes(QStringLiteral("F") + text), true);
    const QSignalBlocker quiet(rows_);
    rows_->deleteAllItems();
    const QString nameField = QLatin1String(spec_.nameFields.front());
    int count = 0;
    for (; !a->eof(); a->skip(1)) {
        const QString name = fieldText(*a, nameField);
        const int order = keyUpper(name).left(text.size()).compare(text);
        if (order > 0)
            break;
        if (order < 0)
            continue;
        if (++count > spec_.maxRows)
            break;
        if (!spec_.texts.blankRows.isEmpty() && (name.isEmpty() || a->num(spec_.codeField) == 0))
            MESGINFO(spec_.texts.blankRows);
        rows_->addItem({name});
    }
    moved();
    if (rows_->itemCount() > 0)
        rows_->setValue(1);
    get();
}

void ListEditForm::refreshSeek(const QString& text)
{
    {
        const QSignalBlocker quiet(seek_);
        seek_->setText(text);
    }
    seek_->setFocus(Qt::OtherFocusReason);
    seek();
}

// ---------------------------------------------------------------- states

void ListEditForm::setEntry(bool entry)
{
    entry_ = entry;
    for (QWidget* w : listButtons_)
        w->setEnabled(!entry);
    for (QWidget* w : fields_->controls()) {
        if (spec_.readOnlyInBrowse) {
            if (auto* box = qobject_cast<QLineEdit*>(w))
                box->setReadOnly(!entry);
            else if (auto* text = qobject_cast<QTextEdit*>(w))
                text->setReadOnly(!entry);
            else
                w->setEnabled(entry);
        } else {
            w->setEnabled(entry);
        }
    }
    for (QWidget* w : entryButtons_)
        w->setEnabled(entry);
    code_->setEnabled(false);
    for (QWidget* w : alwaysOff_)
        w->setEnabled(false);
    for (QWidget* w : alwaysOn_)
        w->setEnabled(true);
}

void ListEditForm::entry(int mode)
{
    if (mode == 1) {
        LNEW = true;
    } else {
        if (rows_ && trimBlanks(rows_->item(rows_->value()).value(0)).isEmpty()) {
            MESGEXCLAMATION(spec_.texts.noData);
            return;
        }
        const long long code = selectedCode();
        if (code == 0) {
            if (rows_)
                MESGSTOP(spec_.texts.notFound);
            else
                MESGEXCLAMATION(spec_.texts.noData);
            return;
        }
        LNEW = false;
        CODETOEDIT = code;
    }
    setEntry(true);
    get();
    first_->setFocus(Qt::OtherFocusReason);
}

void ListEditForm::cancel()
{
    LNEW = false;
    setEntry(false);
    // Nothing is written; the frame shows the selected record as stored
    // again, not the texts typed and given up.
    get();
    seek_->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------- saving

QString ListEditForm::nameKey() const
{
    if (spec_.duplicates != DuplicateRule::Exact)
        return keyUpper(trimBlanks(nameBox_->text()));
    QString key;
    for (const char* field : spec_.nameFields) {
        auto* box = qobject_cast<QLineEdit*>(fields_->controlFor(field));
        const int width = catalogueField(spec_.alias, QString::fromLatin1(field).toUpper().toStdString()).width;
        key += keyUpper(trimBlanks(box ? box->text() : QString())).leftJustified(width, QLatin1Char(' '), true);
    }
    return key;
}

bool ListEditForm::duplicateAccepted(bool appending)
{
    if (spec_.duplicates == DuplicateRule::None)
        return true;
    const bool free = appending
        ? CHECK_DUPLICATE_APPEND(spec_.alias, spec_.nameOrder, nameKey())
        : CHECK_DUPLICATE_MODIFY(spec_.alias, spec_.nameOrder, nameKey(), QLatin1String(spec_.codeField), CODETOEDIT);
    if (free)
        return true;
    if (spec_.duplicateAsks)
        return askYes(spec_.texts.duplicate, spec_.texts.duplicateTitle);
    MESGINFO(spec_.texts.duplicate, spec_.texts.duplicateTitle);
    return false;
}

void ListEditForm::failed(const QString& what, const data::Status& s)
{
    MESGSTOP(what + QLatin1Char('\n') + problemText(s));
}

bool ListEditForm::moved()
{
    data::WorkArea* a = table();
    const std::string error = a ? a->lastError() : std::string();
    if (error.empty())
        return true;
    // Told once while the window is open, not on every keystroke that meets
    // the same damage again (in another page of the same file).
    if (!toldReadFailure_) {
        toldReadFailure_ = true;
        MESGSTOP(spec_.texts.readFailed + QLatin1Char('\n') + QString::fromStdString(error));
    }
    return false;
}

void ListEditForm::save()
{
    if (auto* date = qobject_cast<DatePicker*>(fields_->unfinishedDate())) {
        MESGINFO(date->refusal());
        date->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (trimBlanks(nameBox_->text()).isEmpty()) {
        MESGINFO(spec_.texts.blankName, spec_.texts.blankNameTitle);
        nameBox_->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!validate())
        return;
    if (!table()) {
        MESGSTOP(spec_.texts.notOpen);
        return;
    }
    if (LNEW)
        saveNew();
    else
        saveChanged();
}

void ListEditForm::saveNew()
{
    data::WorkArea* a = table();
    if (!duplicateAccepted(true)) {
        backToNameOrder();
        nameBox_->setFocus(Qt::OtherFocusReason);
        return;
    }
    const long long code = GETCODE(spec_.alias, spec_.codeOrder, QLatin1String(spec_.codeField));
    if (data::Status s = a->append(); !s) {
        backToNameOrder();
        failed(spec_.texts.addFailed, s);
        return;
    }
    data::Status s = a->setNum(spec_.codeField, static_cast<double>(code));
    if (s)
        s = flush();
    const uint32_t newRec = a->recNo();
    if (!s) {
        // A half-written record must not stay in the list: it is marked
        // deleted (its code is given out again) and the window stays in the
        // entry state with the typed values.
        (void)a->deleteRecord();
        (void)a->commit();
        a->unlock();
        backToNameOrder();
        failed(spec_.texts.addFailed, s);
        return;
    }
    a->unlock();
    LNEW = false;
    MESGEXCLAMATION(spec_.texts.appended);
    setEntry(false);
    refreshSeek(QStringLiteral(" "));
    if (live_)
        live_->setValue(newRec);
}

void ListEditForm::saveChanged()
{
    data::WorkArea* a = table();
    const uint32_t shownValue = live_ ? live_->value() : 0;
    const uint32_t shownRec = a->recNo();
    if (!duplicateAccepted(false)) {
        backToNameOrder();
        if (!spec_.duplicateAsks)
            nameBox_->setFocus(Qt::OtherFocusReason);
        return;
    }
    (void)a->setOrder(spec_.codeOrder);
    const bool found = a->seek("F" + data::strNum(static_cast<double>(CODETOEDIT), 10));
    if (!moved()) {
        backToNameOrder();
        return;
    }
    if (!found) {
        backToNameOrder();
        MESGEXCLAMATION(spec_.texts.notFound);
        return;
    }
    if (!BLOCKRECORD(spec_.alias)) {
        backToNameOrder();
        return;
    }
    // Under the lock the record is read again from the file: when it is no
    // longer what the frame was loaded from, another window or program
    // changed it meanwhile, and writing now would silently undo that.
    if (!loaded_.empty() && fields_->changedSince(loaded_, *a)) {
        a->unlock();
        backToNameOrder();
        MESGEXCLAMATION(changedElsewhereText());
        get();
        return;
    }
    const FieldValues before = fields_->stored(*a);
    if (data::Status s = flush(); !s) {
        // Put back what was there, so the record is not left half changed.
        fields_->restore(*a, before);
        a->unlock();
        backToNameOrder();
        failed(spec_.texts.changeFailed, s);
        return;
    }
    a->unlock();
    MESGINFO(spec_.texts.modified);
    setEntry(false);
    refreshSeek(QStringLiteral(" "));
    if (live_) {
        a->goTo(shownRec);
        live_->setValue(shownValue);
    }
}

void ListEditForm::backToNameOrder()
{
    data::WorkArea* a = table();
    if (!a)
        return;
    (void)a->setOrder(spec_.nameOrder);
    if (live_) {
        a->goTo(live_->value());   // 0: the end of the table, as when no row is selected
        live_->refresh();
    }
}

// ---------------------------------------------------------------- deleting

QString ListEditForm::deleteQuestion(const data::WorkArea& a, long long) const
{
    return QStringLiteral("Delete ") + fieldText(a, QLatin1String(spec_.nameFields.front())) + QStringLiteral(" ??");
}

void ListEditForm::remove()
{
    data::WorkArea* a = table();
    if (!a)
        return;
    const QString seekText = keyUpper(trimBlanks(seek_->text()));
    const QString name = rows_ ? rows_->item(rows_->value()).value(0) : QString();
    const uint32_t rec = live_ ? live_->value() : 0;
    if (live_ ? (CODETOEDIT == 0 || rec == 0) : trimBlanks(name).isEmpty()) {
        MESGEXCLAMATION(spec_.texts.noData);
        return;
    }
    const long long code = selectedCode();
    if (spec_.inUse) {
        const data::Result<bool> used = spec_.inUse(db(), code);
        if (!used) {
            failed(spec_.texts.inUseFailed, used.status());
            return;
        }
        if (used.value()) {
            MESGEXCLAMATION(spec_.texts.inUse);
            return;
        }
    }
    if (!toSelected()) {
        MESGINFO(spec_.texts.notFound);
        return;
    }
    if (!askYes(deleteQuestion(*a, code)))
        return;
    if (!toSelected() || !BLOCKRECORD(spec_.alias))
        return;
    data::Status s = a->deleteRecord();
    if (s)
        s = a->commit();
    a->unlock();
    if (!s) {
        failed(spec_.texts.deleteFailed, s);
        return;
    }
    refreshSeek(seekText);
}

} // namespace cn
