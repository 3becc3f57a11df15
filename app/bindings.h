#pragma once
// Field bindings: which control of a window shows which field of a work
// area, and how. One table per window, one line per bound control:
//
//   const FieldBinding kPatientFields[] = {
//       {"TxtPatTitle", "PATTITLE"},
//       {"TxtPatSex", "PATSEX", Bind::Option, {"F", "M"}},
//       {"TxtPatDOB", "PATDOB", Bind::Date},
//   };
//
// Loading a record into the controls (the windows' *_GET), writing them back
// (*_FLUSH), blanking them for a new record, the copy of the stored values
// that puts a record back after a failed write, and the test whether another
// program changed the record since it was loaded all read that one table.
// A text box's maximum length is its field's width in the catalogue.
#include "data/status.h"
#include "data/types.h"
#include "data/workspace.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <span>
#include <string>
#include <vector>

class QTextDocument;
class QWidget;

namespace cn {

class Form;

enum class Bind {
    Text,      // one-line text box over a C field, stored trimmed
    Upper,     // the same, in upper case as it is typed
    Number,    // numeric box over an N field, through its picture
    Date,      // date picker over a D field (the empty date allowed)
    Time,      // time picker over a C field holding "HH:mm:ss"
    Option,    // radio group: over a C field the option's code, over an N field its number
    Combo,     // drop-down list over an N field: the item number from 1
    Spin,      // spinner over an N field: a whole number within its range
    Check,     // check box over an L field
    Memo,      // multi-line plain text over an M (or C) field
    Rich,      // rich-text box over an M field, through a codec (plain text without one)
    Lookup,    // drop-down over an N field listing another table's records: the chosen one's code
};

// Where a Lookup drop-down takes its items from: every live record of the
// open area `alias`, in name order (upper case, as the name orders key it),
// each shown by its nameField (trimmed) and standing for its codeField. The
// items are read again whenever the control is loaded or blanked, so records
// added, renamed or deleted meanwhile in another window show as they are
// now; the area's order and record are put back. Blanking chooses the first
// item; loading chooses the item of the stored code, or none when no live
// record has it; no choice writes 0.
struct CodeLookup {
    const char* alias;
    const char* codeField;
    const char* nameField;
};

// How a rich-text box turns stored memo bytes into a document and back.
struct RichCodec {
    std::function<void(QTextDocument& doc, const std::string& stored)> read;
    std::function<std::string(const QTextDocument& doc)> write;
};

struct FieldBinding {
    const char* control;
    const char* field;
    Bind kind = Bind::Text;
    // Option over a C field: the code stored for each option, from 1. When
    // loading, the first option whose code the trimmed value begins with is
    // chosen, and the last option when none matches.
    QStringList codes = {};
    // Number: the input picture ("999.9"); empty: digits as the field's
    // width and decimals allow.
    QString picture = {};
    const RichCodec* codec = nullptr;
    const CodeLookup* lookup = nullptr;   // Lookup: where the items come from
};

// The stored values of the bound fields of one record.
struct FieldValues {
    uint32_t recNo = 0;
    std::vector<std::string> values;   // raw bytes; memo fields by their text
    bool empty() const { return recNo == 0; }
};

// A binding table resolved against one window: each control looked up once.
// A control that is missing or of the wrong kind is a fault of the window's
// declaration, reported by the form (Form::faults()) when the table is made.
class FieldBindings {
public:
    // `writtenOnly`: controls whose values are written with the record but
    // never loaded from it, because the window computes them (a copy of the
    // patient's register values kept with a visit, for example).
    FieldBindings(Form& form, const QString& alias, std::span<const FieldBinding> table,
                  std::span<const FieldBinding> writtenOnly = {});

    // Fields the window writes itself, from values that are no control's
    // (a code it resolved, a flag it derives): kept in the stored copy, so
    // that changedSince sees a change of them and restore puts them back.
    void alsoKeep(std::initializer_list<const char*> fields);

    const QString& alias() const { return alias_; }
    // The controls in table order, for enabling them together.
    const QList<QWidget*>& controls() const { return widgets_; }
    QWidget* controlFor(const char* field) const;

    // A bound date box that shows a text which is no date (31-02-2000), or
    // nullptr: nothing may be written while one does.
    QWidget* unfinishedDate() const;
    // The code a Lookup drop-down stands for now; 0 when nothing is chosen.
    static long long chosenCode(const QWidget* lookup);
    // Reads the items of every Lookup drop-down again, keeping the choice
    // when its record is still listed (none when it is gone).
    void refreshLookups() const;

    // Empty texts, numbers 0, option 1, no date, check cleared.
    void clear() const;
    // The current record of `a` into the controls.
    void load(const data::WorkArea& a) const;
    // The controls into the current record; stops at the first failure and
    // returns it. Commits every table before success is returned.
    data::Status flush(data::WorkArea& a) const;

    // What the bound fields hold now, and putting that back (after a write
    // that failed half way); restore commits.
    FieldValues stored(const data::WorkArea& a) const;
    void restore(data::WorkArea& a, const FieldValues& before) const;
    // True when the current record of `a` is not the one `loaded` was taken
    // from, or its bound fields no longer hold what they held then: another
    // window or program changed it, and writing the controls now would undo
    // that. Ask it with the record locked (the lock reads it again).
    bool changedSince(const FieldValues& loaded, const data::WorkArea& a) const;

private:
    struct Entry {
        const FieldBinding* def;   // nullptr: a field kept only (alsoKeep)
        QWidget* widget;
        std::string field;   // upper case
        char type;           // the field's type in the catalogue
        int width;
        int decimals;
        bool loads = true;
    };
    void bind(Form& form, const FieldBinding& b, bool loads);
    static void fillLookup(const Entry& e);
    QString alias_;
    std::vector<Entry> entries_;
    QList<QWidget*> widgets_;
};

// The field's definition in the catalogue for a table open under `alias`
// (the alias's table, by the opening steps); falls back to the open area's
// structure for an alias the catalogue does not know.
data::FieldDef catalogueField(const QString& alias, const std::string& field);
// The order number of the index named `index` in an area opened under
// `alias` at start-up (its indexes are attached in the catalogue's order);
// 0 when the alias or the index is not the catalogue's. Letter case does
// not matter ("Chamber2" on "xChamber" is order 2).
int catalogueOrder(const QString& alias, const QString& index);

} // namespace cn
