#pragma once
// The program's one table workspace (every shared alias lives here) and the
// small conversions the windows need between its values and Qt's.
#include "data/workspace.h"

#include <QDate>
#include <QString>

namespace cn {

// The workspace of the running program, on the data folder (the working
// folder unless openDb chose another).
data::Workspace& db();
// Closes every area and starts a new workspace on folder (tests, restore).
void openDb(const QString& folder);
QString dbFolder();

// The open area of that alias (letter case does not matter), or nullptr.
data::WorkArea* area(const QString& alias);

// Field values as the windows show them: text fields without trailing blanks
// (leading blanks kept unless trim), numbers and dates as values.
QString fieldText(const data::WorkArea& a, const QString& field, bool trim = true);
// Writes a text field, converting to Windows-1252 and removing leading and
// trailing blanks as every text field is stored.
data::Status setFieldText(data::WorkArea& a, const QString& field, const QString& text);

QDate toQDate(data::Date d);              // the empty date gives a null QDate
data::Date toDate(const QDate& d);        // a null QDate gives the empty date
// A date as text in the picture CDATEFORMAT; empty text for the empty date.
QString dateText(const QDate& d);

// A failure of the engine as the user reads it: what went wrong (by its
// code: in use, damaged, too long for its field ...) and the engine's own
// text, which names the file.
QString problemText(const data::Status& s);

// A key or key part as the engine compares it (Windows-1252 bytes).
std::string keyBytes(const QString& text);

// A read-only work area of its own on one table of the catalogue, for a
// routine that reads without moving the areas the windows keep on that table
// (their order, scope, filter and position stay as they are). The area is
// closed, and the area that was current before made current again, when the
// object goes.
class PrivateArea {
public:
    PrivateArea(data::Workspace& ws, std::string alias);
    ~PrivateArea();
    PrivateArea(const PrivateArea&) = delete;
    PrivateArea& operator=(const PrivateArea&) = delete;

    // Opens the table shared and read-only with the named indexes of the
    // catalogue attached in turn, the first one controlling.
    data::Result<data::WorkArea*> open(std::string_view table, std::initializer_list<std::string_view> indexes = {});

private:
    data::Workspace& ws_;
    std::string alias_;
    std::string previous_;
    bool opened_ = false;
};

// In-use checks through a private area: whether a record elsewhere still
// refers to a master record. Each fails, rather than answering "not used",
// when the table or index cannot be opened or read, so that nothing is
// deleted unchecked.
//
// A live record of the catalogue table whose key in the catalogue index
// `index` begins with "F" + key.
data::Result<bool> liveKeyExists(data::Workspace& ws, std::string_view table, std::string_view index, std::string_view key);
// A live record for which `cond` holds, by a walk in record order (for a
// field no index of the table is keyed on).
data::Result<bool> liveRecordWhere(data::Workspace& ws, std::string_view table, const data::Condition& cond);

} // namespace cn
