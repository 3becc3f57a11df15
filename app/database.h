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

// A work area of a window's or a routine's own on a table of the catalogue:
// its own position, controlling order, scope and locks, with every index of
// the table attached in the catalogue's order (so its order numbers are the
// shared areas'), so that nothing done through it moves the areas the other
// windows work on. It is closed, and the workspace's current area selected
// again, when the object goes.
class OwnArea {
public:
    OwnArea(data::Workspace& ws, const std::string& table, const std::string& alias,
            data::OpenMode mode = data::OpenMode{true, true});
    ~OwnArea();
    OwnArea(const OwnArea&) = delete;
    OwnArea& operator=(const OwnArea&) = delete;

    data::WorkArea* get() const { return area_; }   // nullptr when it could not be opened
    data::WorkArea* operator->() const { return area_; }
    const data::Status& status() const { return status_; }   // why it could not be opened

private:
    data::Workspace& ws_;
    std::string alias_;
    std::string previous_;
    data::WorkArea* area_ = nullptr;
    data::Status status_;
};

} // namespace cn
