#pragma once
// Small routines every window uses: grid cells, the next free code, the
// duplicate-name tests, locking with a retry question, the keyboard buffer,
// ages and the short date text. The message routines are in messages.h; the
// menu routines belong to the main window.
#include <QDate>
#include <QString>

namespace cn {

// The value in `column` (from 1) of the row selected in an array grid of a
// window; empty when the window, grid, row or column does not exist.
QString GETCOLUMNVALUE(const QString& grid, const QString& form, int column);

// The next free code of a master table: the highest live code in `order`
// plus 1 (1 for a table without live records). The area's current record
// and controlling order are the same afterwards. 0 when the alias is not open.
long long GETCODE(const QString& alias, int order, const QString& codeField);

// True when no live record's key in `order` begins with `key` (the seek key
// is "F" + key, so a full-width key tests exactly and a trimmed one tests a
// prefix). Leaves the area on that order where the seek ended. False when
// the alias is not open, so that nothing is saved against a missing table.
bool CHECK_DUPLICATE_APPEND(const QString& alias, int order, const QString& key);
// As above, but the record with code `code` in codeField (the one being
// changed) is not a duplicate of itself.
bool CHECK_DUPLICATE_MODIFY(const QString& alias, int order, const QString& key,
                            const QString& codeField, long long code);

// Locks the area's current record (releasing the area's other record locks).
// While the lock fails it asks "Cannot lock. Record in use. Retry ??": Yes
// tries again, No gives up with false. False at once without a current record.
bool BLOCKRECORD(const QString& alias);

// Empties the keyboard buffer (the master-list grids run it on focus).
void GRID_HILITE();

// The years, months and days parts of the age at `at` of someone born on
// `birth`, counting a borrowed month as 30 days. An empty date on either
// side gives 0.
int CALC_AGEYRS(const QDate& birth, const QDate& at);
int CALC_AGEMNTHS(const QDate& birth, const QDate& at);
int CALC_AGEDAYS(const QDate& birth, const QDate& at);

// "8 Dec 2026": day without leading zero, English month abbreviation, year.
// Empty text for the empty date.
QString DDMONYY(const QDate& date);

} // namespace cn
