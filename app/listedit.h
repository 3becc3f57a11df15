#pragma once
// The list-and-edit window: a list of a table's records by name with a seek
// box on the left, the edit frame of the selected record on the right, and
// Append, Modify, Delete, Exit, Save and Cancel. The patient register and the
// master lists are built on it; a descriptor (ListEditSpec) says what differs
// between them, and a window adds only what is its own.
//
// The base supplies the two states (browse and entry, ENTRY_*_ABLE), append
// with the next free code, change under the record lock (BLOCKRECORD) with
// the test that nobody changed the record since it was loaded, delete with
// its in-use check and question, cancel, the seek, and the return to the name
// order after a save that was given up. The window declares its controls,
// binds its fields and gives its handlers the window's routine names:
//
//   class ChamberForm : public ListEditForm { ... };
//   void ChamberForm::BT_SAVE_CHAMBER() { save(); }
#include "app/bindings.h"
#include "app/forms.h"

#include <QRect>
#include <functional>
#include <memory>
#include <span>
#include <string>

class QLineEdit;

namespace cn {

class ArrayGrid;
class BrowseGrid;
class NumberBox;

// When a name counts as a duplicate: never; when a live record's key is the
// same (the name fields padded to their widths, upper case); when a live
// record's name begins with the entered one (trimmed, upper case).
enum class DuplicateRule { None, Exact, Prefix };

// The list: a live browse over the table (its value is a record number), or
// rows of names filled from the seek, at most maxRows (a record is found by
// its name).
enum class ListKind { Live, Rows };

struct ListEditTexts {
    QString blankName;                // the name box is empty
    QString blankNameTitle;           // empty: the program's title
    QString duplicate;                // a question when duplicateAsks, else a refusal
    QString duplicateTitle;
    QString inUse;                    // the record is still used elsewhere
    QString blankRows;                // Rows: a listed record without name or code
    QString appended = QStringLiteral("Append Successful");
    QString modified = QStringLiteral("Modification Successful !!");
    QString noData = QStringLiteral("No data to process !!");
    QString notFound = QStringLiteral("Record not found !!");
    // Engine failures, shown with the file's own message after them.
    QString addFailed = QStringLiteral("The record could not be added !!");
    QString changeFailed = QStringLiteral("The record could not be changed !!");
    QString deleteFailed = QStringLiteral("The record could not be deleted !!");
    QString inUseFailed = QStringLiteral("Whether the record is in use could not be checked !!");
    QString notOpen = QStringLiteral("The table is not open !!");
    QString readFailed = QStringLiteral("The list could not be read !!");
};

struct ListEditSpec {
    QString alias;
    int codeOrder = 1;                // live flag + code
    int nameOrder = 2;                // live flag + upper-case name
    const char* codeField = nullptr;
    // The fields of the name key, in key order; the first one's box must
    // not be empty.
    std::vector<const char*> nameFields;
    DuplicateRule duplicates = DuplicateRule::Prefix;
    bool duplicateAsks = false;       // Yes accepts the duplicate; otherwise it is refused
    ListKind list = ListKind::Live;
    int maxRows = 30;
    std::span<const FieldBinding> fields;
    // Does a live record elsewhere still use this code? Empty: deleting is
    // always allowed.
    std::function<data::Result<bool>(data::Workspace& ws, long long code)> inUse;

    // Controls, by name.
    QString grid, seek, codeBox, firstBox;
    QString appendButton, modifyButton, deleteButton, exitButton;
    QString saveButton = QStringLiteral("Bt_Save"), cancelButton = QStringLiteral("Bt_Cancel");
    // Disabled in both states besides the code box (computed boxes).
    QStringList alwaysOff;
    // Browse state makes the bound boxes read-only instead of disabled.
    bool readOnlyInBrowse = false;

    ListEditTexts texts;
};

class ListEditForm : public Form {
    Q_OBJECT
public:
    ListEditForm(const QString& formName, const ListEditSpec& spec, QWidget* owner = nullptr);

    // The operations every list-and-edit window has; the windows give them
    // their own routine names (BT_SAVE_PATIENT, SEEK_CHAMBER ...).
    void get();                          // show the selected record (blank while appending)
    void entry(int mode);                // 1 append, 2 modify
    void save();
    void cancel();
    void remove();
    void exit() { release(); }
    void seek();                         // rebuild or move the list for the seek text
    void refreshSeek(const QString& text);
    void setEntry(bool entry);
    // Writes the edit frame into the current record and commits.
    data::Status flush() { return fields_->flush(*table()); }

    bool LNEW = false;                   // a new record is being entered
    long long CODETOEDIT = 0;            // code of the record the edit frame shows
    bool entryMode() const { return entry_; }

    data::WorkArea* table() const;
    const FieldBindings& fields() const { return *fields_; }

    // Opens a window of this kind: its order, browse state, the list from
    // the first name, centred and shown.
    static void present(ListEditForm* w);

protected:
    // Looks up the descriptor's controls, binds the fields and wires the
    // events; a window calls it once its declaration tables are built.
    void attach();

    // Hooks for what a window adds.
    virtual void shown() {}                          // after the frame was filled or blanked
    virtual bool validate() { return true; }         // the window's own checks, after the name's
    virtual QString deleteQuestion(const data::WorkArea& a, long long code) const;
    virtual QString nameKey() const;                 // the duplicate test's key

    QLineEdit* seekBox() const { return seek_; }
    BrowseGrid* liveGrid() const { return live_; }
    ArrayGrid* rowGrid() const { return rows_; }

private:
    bool toSelected();                  // positions the area on the selected record
    bool seekName(const QString& name); // Rows: the live record of that name
    long long selectedCode();
    void seekRows();
    void backToNameOrder();
    bool duplicateAccepted(bool appending);
    void saveNew();
    void saveChanged();
    void failed(const QString& what, const data::Status& s);
    // False, after telling the user once, when the last move of the area met
    // a damaged file or a read error (the area is then at its end).
    bool moved();

    ListEditSpec spec_;
    std::unique_ptr<FieldBindings> fields_;
    FieldValues loaded_;                // the record as last loaded into the frame
    BrowseGrid* live_ = nullptr;
    ArrayGrid* rows_ = nullptr;
    QLineEdit* seek_ = nullptr;
    NumberBox* code_ = nullptr;
    QLineEdit* nameBox_ = nullptr;
    QWidget* first_ = nullptr;
    QList<QWidget*> listButtons_;       // enabled while browsing
    QList<QWidget*> entryButtons_;      // enabled while entering
    QList<QWidget*> alwaysOn_;
    QList<QWidget*> alwaysOff_;
    bool entry_ = false;
    bool toldReadFailure_ = false;
};

// The text that tells the user another program changed the record being
// saved; the stored values are shown after it.
QString changedElsewhereText();

} // namespace cn
