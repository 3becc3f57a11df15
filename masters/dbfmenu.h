#pragma once
// The pick list Form_DBFMenu: the records of an open work area in one of
// its name orders, a seek box that jumps to the first entry beginning with
// the letters typed, and Select and Exit. DBFMENU shows it and returns the
// chosen entry's text; the visit window chooses a chamber and a dictionary
// phrase through it, the query window a chamber. It changes no data.
//
// The list is not modal: while a caller waits for its result the rest of
// the program keeps painting and working, so the caller's own window may be
// closed or may have moved on by the time the result comes. A caller uses
// the result only when its window still exists and is still doing what it
// asked for (see PVisitForm::GET_CHAMBER).
#include "app/forms.h"
#include "data/workspace.h"

#include <QIcon>
#include <QList>
#include <QStringList>
#include <optional>

class QLineEdit;

namespace cn {

class BrowseGrid;

// One request of the pick list.
struct PickList {
    QString title = QStringLiteral("Database Browser");
    QIcon icon;
    QList<int> widths;       // column widths in pixels
    QStringList headers;     // column header texts
    QString alias;           // the open work area browsed ("xChamber" is xchamber)
    QStringList fields;      // column contents: "Alias->Field" or a field of the area
    QString index;           // the index order browsed and sought in ("Chamber2")
    QString field;           // the field whose trimmed value Select returns
    QString seekText = QStringLiteral(" ");
};

// The program's three requests.
PickList chamberPickList();          // visit entry: the chamber of a visit
PickList dictionaryPickList();       // visit entry: a stock phrase for the prescription or the notes
PickList queryChamberPickList();     // query window: the chamber criterion

class DBFMenuForm : public Form {
    Q_OBJECT
public:
    explicit DBFMenuForm(const PickList& request, QWidget* owner = nullptr);

    // The window state, from opening to closing.
    QString DDBFNAME;                 // alias of the work area browsed
    QString CDBFINDEX;                // the index order
    QString CFIELDNAME;               // the field returned
    std::optional<QString> CRETVAL;   // the result: nothing until Select

    void DBFMENUONCHANGE();                          // the area follows the selected row
    void SEEK_DBFMENU();                             // on every change of the seek box
    void REFRESH_SEEK_DBFMENU(const QString& text);  // puts text into the seek box and seeks
    void BTN_SELECTITEM(int);                        // Select
    void BTN_EXITMENU();                             // Exit: nothing chosen

signals:
    void chosen(const std::optional<QString>& result);   // on closing, whichever way

protected:
    void releasing() override;

private:
    data::WorkArea* browsed() const;
    BrowseGrid* grid_ = nullptr;
    QLineEdit* seek_ = nullptr;
};

// Shows the pick list without waiting; nullptr, with the open list left
// exactly as it is, while one is open already.
DBFMenuForm* openDBFMenu(const PickList& request);
// Waits until the pick list closes (the program's other windows keep
// working meanwhile); its result.
std::optional<QString> waitForChoice(DBFMenuForm* list);
// DBFMENU: shows the pick list and waits until it closes (the program's
// other windows keep working meanwhile). The trimmed value of the field in
// the chosen record after Select (an empty text on an empty table); nothing
// after Exit or the window's close, and nothing at once while another pick
// list is open.
std::optional<QString> DBFMENU(const PickList& request);
std::optional<QString> DBFMENU(const QString& title, const QIcon& icon, const QList<int>& widths,
                               const QStringList& headers, const QString& alias, const QStringList& fields,
                               const QString& index, const QString& field, const QString& seekText = QStringLiteral(" "));

} // namespace cn
