#pragma once
// The table engine as the program sees it: a Workspace of named work areas,
// each an open table (.dbf, with its .dbt memo file) with index orders (.ntx).
//
// The engine's operations keep their traditional names in the comments
// (DBSEEK, ORDSCOPE, ...) so that every call site can be traced to them.
// Keys are byte strings (Windows-1252); every index key of the program starts
// with "T" for a deleted record and "F" for a live one.
//
// Thread model: one thread uses a Workspace. Two processes may share a data
// folder; they coordinate through record and file locks.
#include "data/status.h"
#include "data/types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cn::data {

class Workspace;
class WorkArea;

using Condition = std::function<bool(WorkArea&)>;
using Action = std::function<void(WorkArea&)>;

struct OpenMode {
    bool shared = false;     // tables open exclusive unless shared is asked for
    bool readOnly = false;
};

// __DBAPP options.
struct AppendFromOptions {
    Condition condition;                          // on the source record; empty = all
    bool copyDeleted = false;                     // copy deleted records too, still marked deleted
    std::function<bool(uint32_t recNo)> progress; // called per source record; false stops the copy
};

class WorkArea {
public:
    virtual ~WorkArea() = default;

    // ALIAS(); the table's file path.
    virtual const std::string& alias() const = 0;
    virtual const std::string& path() const = 0;
    virtual bool shared() const = 0;
    virtual bool readOnly() const = 0;

    // --- structure: FIELDPOS / DBFIELDINFO -------------------------------
    virtual const Structure& structure() const = 0;
    virtual int fieldPos(std::string_view name) const = 0;     // 1-based, 0 when absent
    virtual FieldDef fieldInfo(int pos) const = 0;              // pos from 1

    // --- orders: DBSETINDEX / DBSETORDER / INDEXORD / INDEXKEY ----------
    virtual Status setIndex(const std::string& file) = 0;       // attach as next order
    virtual Status setOrder(int n) = 0;                         // 0 = record order
    virtual int indexOrd() const = 0;
    virtual int orderCount() const = 0;
    virtual std::string indexKey(int n = -1) const = 0;         // key text of order n (-1 = controlling)
    // DBCREATEINDEX: build FILE over this area's records (by sorting), attach it
    // and make it the controlling order.
    virtual Status createIndex(const std::string& file, const std::string& keyText, bool unique = false) = 0;

    // --- scope: ORDSCOPE(0, v) / ORDSCOPE(1, v) on the controlling order ---
    virtual void setScopeTop(std::optional<std::string> top) = 0;
    virtual void setScopeBottom(std::optional<std::string> bottom) = 0;
    void setScope(const std::string& prefix) { setScopeTop(prefix); setScopeBottom(prefix); }
    void clearScope() { setScopeTop(std::nullopt); setScopeBottom(std::nullopt); }

    // --- navigation -------------------------------------------------------
    virtual bool seek(std::string_view key, bool soft = false) = 0;  // DBSEEK; returns FOUND()
    virtual bool found() const = 0;                                   // FOUND()
    virtual void goTop() = 0;                                         // DBGOTOP
    virtual void goBottom() = 0;                                      // DBGOBOTTOM
    virtual void goTo(uint32_t recNo) = 0;                            // DBGOTO
    virtual void skip(long n = 1) = 0;                                // DBSKIP
    virtual bool eof() const = 0;                                     // EOF()
    virtual bool bof() const = 0;                                     // BOF()
    virtual uint32_t recNo() const = 0;                               // RECNO(); lastRec()+1 at eof
    virtual uint32_t lastRec() const = 0;                             // LASTREC(), deleted ones included
    uint32_t recCount() const { return lastRec(); }                   // RECCOUNT()
    virtual uint32_t keyNo() = 0;                                     // ORDKEYNO(), within order and scope
    virtual uint32_t keyCount() = 0;                                  // ORDKEYCOUNT()
    // To the n-th visible record (from 1) of the order and scope by the
    // index's key positions, eof when there is none, in one descent. False, and nothing moved, when the area has no such positions
    // (no order, or a filter): the caller then walks.
    virtual bool goToKeyNo(uint32_t) { return false; }

    // --- filter, locate, eval ---------------------------------------------
    virtual void setFilter(Condition cond, std::string text) = 0;    // DBSETFILTER
    virtual void clearFilter() = 0;                                   // DBCLEARFILTER
    virtual bool locate(Condition cond) = 0;                          // __DBLOCATE from the top; FOUND()
    virtual void eval(const Action& action, const Condition& cond = {}) = 0;   // DBEVAL over visible records

    // --- relations: DBSETRELATION / DBCLEARRELATION -------------------------
    // After every move of this area the child is positioned by seeking the
    // key computed from this area's record (e.g. "Patnt->'F'+str(patcode)").
    virtual Status setRelation(const std::string& childAlias, const std::string& keyText) = 0;
    virtual void clearRelations() = 0;

    // --- the current record -------------------------------------------------
    virtual bool deleted() const = 0;                                  // DELETED()
    virtual std::string str(std::string_view field) const = 0;         // C: full width as stored
    virtual double num(std::string_view field) const = 0;              // N (empty = 0)
    virtual Date date(std::string_view field) const = 0;               // D
    virtual bool logical(std::string_view field) const = 0;            // L
    virtual std::string memo(std::string_view field) const = 0;        // M ("" when none or unreadable)
    virtual Result<std::string> readMemo(std::string_view field) const = 0;
    virtual std::string raw(std::string_view field) const = 0;         // the field's bytes as stored

    // Field assignment. In a shared area the record must be locked (RLOCK,
    // FLOCK or a fresh DBAPPEND). A value that does not fit is refused, never
    // truncated; a text longer than the field is refused too.
    virtual Status setStr(std::string_view field, std::string_view value) = 0;
    virtual Status setNum(std::string_view field, double value) = 0;
    virtual Status setDate(std::string_view field, Date value) = 0;
    virtual Status setLogical(std::string_view field, bool value) = 0;
    virtual Status setMemo(std::string_view field, std::string_view text) = 0;

    virtual Status append() = 0;          // DBAPPEND: blank record, current, locked
    virtual Status deleteRecord() = 0;    // DBDELETE
    virtual Status recall() = 0;          // undo DBDELETE

    // --- locks ----------------------------------------------------------------
    virtual bool rlock() = 0;             // RLOCK: the current record; releases this area's other record locks
    virtual bool flock() = 0;             // FLOCK
    virtual void unlock() = 0;            // DBUNLOCK
    virtual bool isLocked(uint32_t recNo) const = 0;

    virtual Status commit() = 0;          // this area's changes on disk

    // Navigation calls report no status: a damaged index or an unreadable
    // record met on the way leaves the area at end of file and is kept here
    // (empty when the last move went well).
    virtual std::string lastError() const { return {}; }
    // A problem found on opening that did not stop the open, e.g. a header
    // counting more records than the file holds (the whole ones are read and
    // the table is not written to).
    virtual std::string openWarning() const { return {}; }

    // --- copying --------------------------------------------------------------
    // __DBAPP: append the records of another table file, field by field by name.
    virtual Status appendFrom(const std::string& file, const AppendFromOptions& options = {}) = 0;
    // __DBCOPY: copy the visible records to a new table file of the same structure.
    virtual Status copyTo(const std::string& file) = 0;
};

class Workspace {
public:
    explicit Workspace(std::string folder);
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    const std::string& folder() const;
    // A file of the folder found without regard to letter case; the name as
    // given (joined to the folder) when no such file exists.
    std::string resolve(std::string_view name) const;
    bool exists(std::string_view name) const;
    Status erase(std::string_view name);
    Status rename(std::string_view from, std::string_view to);

    // DBUSEAREA(.T., , file, alias, shared, readOnly): a new area, made current.
    // file may omit ".dbf"; alias defaults to the base name in lower case.
    // NETERR() is the failure's code: ErrorCode::InUse when another area or
    // program holds the table in a way this open cannot share.
    Result<WorkArea*> use(std::string_view file, std::string_view alias = {}, OpenMode mode = {});

    WorkArea* area(std::string_view alias) const;          // nullptr when not open (case-insensitive)
    WorkArea* current() const;                             // nullptr when no area is selected
    bool select(std::string_view alias);                   // DBSELECTAREA
    int selectNo(std::string_view alias) const;            // SELECT(): area number, 0 when not open
    std::string currentAlias() const;                      // ALIAS()
    void closeArea(std::string_view alias);                // DBCLOSEAREA
    void closeAll();                                       // DBCLOSEALL
    Status commitAll();                                    // DBCOMMITALL: returns when the data is on disk

    Status create(std::string_view file, const Structure& fields);   // DBCREATE

    // SET DELETED: deleted records invisible (the default) or visible.
    void setDeletedVisible(bool visible);
    bool deletedVisible() const;

    // The date picture used to read and write dates as text ("MM/dd/yyyy" or
    // "dd-MM-yyyy"); month first until the options say otherwise.
    void setDateFormat(std::string picture);
    const std::string& dateFormat() const;
    Date ctod(std::string_view text) const;
    std::string dtoc(Date d) const;

    struct Impl;
private:
    std::unique_ptr<Impl> d_;
};

// Helpers for conditions, as the program writes them with "=" and "==".
// "=" is a prefix test: a begins with b (an empty b matches everything).
inline bool prefixEquals(std::string_view a, std::string_view b) { return a.substr(0, b.size()) == b; }
inline bool exactEquals(std::string_view a, std::string_view b) { return a == b; }
// str(n, width): right-aligned decimal text, as key expressions build it.
std::string strNum(double value, int width = 10, int decimals = 0);

} // namespace cn::data
