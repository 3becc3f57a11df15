#pragma once
// The work area behind the WorkArea interface, and the workspace state the
// areas share. Internal to the engine: the program sees workspace.h only.
//
// One class, implemented by concern:
//   area_orders.cpp      attaching, choosing and building orders
//   area_navigation.cpp  seek, skip, scopes, filter, key positions
//   area_record.cpp      the current record, field access, changes
//   area_locks.cpp       record and file locks
//   area_relations.cpp   relations to child areas
//   area_bulk.cpp        append-from, copy-to, evaluation over records
#include "data/table.h"
#include "data/workspace.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace cn::data {

class Area;

struct Workspace::Impl {
    std::string folder;
    std::map<std::string, std::shared_ptr<Table>> tables;
    std::vector<std::unique_ptr<Area>> areas;
    Area* current = nullptr;
    bool deletedVisible = false;
    std::string dateFormat = "MM/dd/yyyy";

    Area* find(std::string_view alias) const;
    std::string resolve(std::string_view name) const;
    Status closeArea(Area* a);
};

namespace detail {
std::string lower(std::string_view s);
bool iequals(std::string_view a, std::string_view b);
bool hasExtension(std::string_view name);
// name with ext added when it has no extension of its own.
std::string withExtension(std::string_view name, std::string_view ext);
std::string canonical(const std::string& path);
// The memo file beside table file p, found without regard to letter case.
std::string memoPathFor(const Workspace::Impl& ws, const std::string& p);
} // namespace detail

// Opens a new area on table file p (already resolved) and makes it current.
// internal: a private read-only view for the engine itself (takes no open lock).
Result<WorkArea*> openArea(Workspace::Impl* ws, const std::string& p, const std::string& alias, OpenMode mode,
                           bool internal = false);

class Area final : public WorkArea {
public:
    Area(Workspace::Impl* ws, std::string alias, std::string path, OpenMode mode, std::shared_ptr<Table> t,
         OsFile lockFile, int number);

    int number() const { return number_; }
    Table& table() { return *t_; }
    const std::shared_ptr<Table>& tablePtr() const { return t_; }

    // The current record's bytes; nullptr at end of file, for expressions.
    const char* recordForExpr()
    {
        ensure();
        return eof_ ? nullptr : buf_.data();
    }

    // --- WorkArea: structure -----------------------------------------------------
    const std::string& alias() const override { return alias_; }
    const std::string& path() const override { return path_; }
    bool shared() const override { return mode_.shared; }
    bool readOnly() const override { return mode_.readOnly; }
    const Structure& structure() const override { return t_->dbf->structure(); }
    int fieldPos(std::string_view name) const override { return t_->dbf->fieldIndex(name) + 1; }
    FieldDef fieldInfo(int pos) const override;

    // --- orders (area_orders.cpp) and navigation (area_navigation.cpp) ----------------------------------
    Status setIndex(const std::string& file) override;
    Status setOrder(int n) override;
    int indexOrd() const override { return order_; }
    int orderCount() const override { return static_cast<int>(orders_.size()); }
    std::string indexKey(int n) const override;
    Status createIndex(const std::string& file, const std::string& keyText, bool unique) override;
    void setScopeTop(std::optional<std::string> top) override { scopes_[static_cast<size_t>(order_)].top = std::move(top); }
    void setScopeBottom(std::optional<std::string> bottom) override
    {
        scopes_[static_cast<size_t>(order_)].bottom = std::move(bottom);
    }
    bool seek(std::string_view key, bool soft) override;
    bool found() const override { return found_; }
    void goTop() override;
    void goBottom() override;
    void goTo(uint32_t recNo) override;
    void skip(long n) override;
    bool eof() const override { return eof_; }
    bool bof() const override { return bof_; }
    uint32_t recNo() const override { return eof_ ? lastRec() + 1 : rec_; }
    uint32_t lastRec() const override
    {
        (void)t_->refreshCount();
        return t_->count();
    }
    uint32_t keyNo() override;
    uint32_t keyCount() override;
    bool goToKeyNo(uint32_t n) override;
    void setFilter(Condition cond, std::string text) override
    {
        filter_ = std::move(cond);
        filterText_ = std::move(text);
    }
    void clearFilter() override
    {
        filter_ = nullptr;
        filterText_.clear();
    }
    bool locate(Condition cond) override;

    // --- bulk operations (area_bulk.cpp) ---------------------------------------------
    void eval(const Action& action, const Condition& cond) override;
    Status appendFrom(const std::string& file, const AppendFromOptions& options) override;
    Status copyTo(const std::string& file) override;

    // --- relations (area_relations.cpp) -------------------------------------------------
    Status setRelation(const std::string& childAlias, const std::string& keyText) override;
    void clearRelations() override { relations_.clear(); }

    // --- the current record (area_record.cpp) -----------------------------------------
    bool deleted() const override;
    std::string str(std::string_view field) const override { return raw(field); }
    double num(std::string_view field) const override;
    Date date(std::string_view field) const override { return Date::fromDtos(raw(field)); }
    bool logical(std::string_view field) const override;
    std::string memo(std::string_view field) const override;
    Result<std::string> readMemo(std::string_view field) const override;
    std::string raw(std::string_view field) const override;
    Status setStr(std::string_view field, std::string_view value) override;
    Status setNum(std::string_view field, double value) override;
    Status setDate(std::string_view field, Date value) override;
    Status setLogical(std::string_view field, bool value) override;
    Status setMemo(std::string_view field, std::string_view text) override;
    Status append() override;
    Status deleteRecord() override { return setFlag(kRecordDeleted); }
    Status recall() override { return setFlag(kRecordLive); }
    Status commit() override;
    std::string lastError() const override { return error_; }
    std::string openWarning() const override { return t_->dbf->damage(); }

    // --- locks (area_locks.cpp) -----------------------------------------------------------
    bool rlock() override;
    bool flock() override;
    void unlock() override;
    bool isLocked(uint32_t recNo) const override
    {
        if (!mode_.shared)
            return true;
        return fileLocked_ || locks_.count(recNo) > 0;
    }

    // Ends the change, releases locks and orders; the area is unusable afterwards.
    Status close();

private:
    struct Scope {
        std::optional<std::string> top, bottom;
    };
    struct Relation {
        std::string child;
        Expr expr;
    };
    // Which way a scan through the controlling order goes.
    enum class Dir { Forward, Backward };

    const FieldLayout* layout(std::string_view field) const
    {
        int i = t_->dbf->fieldIndex(field);
        return i < 0 ? nullptr : &t_->dbf->fields()[static_cast<size_t>(i)];
    }
    bool deletedVisible() const { return ws_->deletedVisible; }
    IndexObj* index() const { return order_ > 0 ? orders_[static_cast<size_t>(order_) - 1].get() : nullptr; }
    const Scope& scope() const { return scopes_[static_cast<size_t>(order_)]; }
    void fail(const Status& st)
    {
        if (!st && error_.empty())
            error_ = st.message();
    }

    // --- the record buffer (area_record.cpp) ---
    // Loads the record buffer when the position or the table moved on.
    void ensure()
    {
        if (eof_ || (bufRec_ == rec_ && bufGen_ == t_->gen))
            return;
        load(rec_);
    }
    // ahead: part of a walk in record order, which may be served by the
    // table's read-ahead block.
    bool load(uint32_t r, bool ahead = false);
    void setEof();
    // Ends this area's change (see Table): before every move, lock change,
    // commit and close. A change that could not be written is kept, and
    // moving on is refused.
    Status finishChange();
    Status checkWritable(const char* what);
    // The field f (looked up by name) to change, checked to be of the type
    // wanted (kind names it) and writable.
    Result<const FieldLayout*> fieldToChange(const FieldLayout* f, std::string_view field, char type,
                                             const char* kind);
    Status writeField(const FieldLayout& f, const char* bytes);
    Status writeRecord(std::string&& bytes);
    // Hands the buffer, changed in place, to the table as this area's change.
    Status changeBuffer();
    Status setFlag(char flag);

    // --- navigation (area_navigation.cpp) ---
    // Positions on r (fresh from the file) and says whether it is visible.
    bool positionVisible(uint32_t r, bool ahead = false)
    {
        if (r < 1 || r > t_->count()) {
            (void)t_->refreshCount();
            if (r < 1 || r > t_->count())
                return false;
        }
        eof_ = false;
        rec_ = r;
        bufRec_ = 0;
        if (!load(r, ahead))
            return false;
        if (!deletedVisible() && buf_[0] == kRecordDeleted)
            return false;
        return !filter_ || filter_(*this);
    }
    bool inBottom(std::string_view key) const;
    bool inTop(std::string_view key) const;
    // Keys starting with the live flag let deleted records be skipped by key alone.
    bool flagged() const { return index() && index()->expr.startsWithDeletedFlag(); }
    // From entry e on, in direction d: the first visible entry within the scope.
    bool scan(Dir d, bool have, NtxEntry& e);
    // The first visible record from the start (Forward) or the end (Backward).
    bool edge(Dir d);
    // The next visible record in direction d from the current one.
    bool step(Dir d);
    // One move of a scan through the index: false (with the error noted) when
    // the move failed, else `have` says whether it found an entry.
    bool moved(const Result<bool>& r, bool& have);
    bool outOfOrder(const IndexObj* ix);
    // The current record's key in the controlling order: the index entry it
    // was found by while nothing has been written since, so that a record
    // whose stored key differs from its computed one (an index left stale by
    // another program) is still stepped past; otherwise computed afresh.
    void currentKey(std::string& out);
    void rememberEntry(const NtxEntry& e);
    // Before an index read: brings the indexes up to date with the table's
    // changes. refresh re-reads a shared table's record count; a skip leaves
    // that to the step that runs past the last record known.
    bool prepareIndex(bool refresh = true);
    // Before a move: ends this area's change, then as prepareIndex.
    bool prepareMove(bool refresh = true);
    template <class F>
    uint32_t countVisible(F&& stopAt);
    // Whether the index alone tells which of its keys are visible: no filter,
    // and deleted records either shown or marked by the key's flag.
    bool countsByKey() const { return !filter_ && (deletedVisible() || flagged()); }
    // The visible keys of the controlling order within its scope, as the
    // positions [lo, hi) in the index; false when the index failed.
    bool visibleRange(uint64_t& lo, uint64_t& hi);
    void restorePosition(bool wasEof, uint32_t rec);

    // --- relations (area_relations.cpp) ---
    void moved();   // after every move: positions the child areas

    // --- locks (area_locks.cpp) ---
    void releaseRecordLocks(uint32_t keep);

    Workspace::Impl* ws_;
    std::string alias_, path_;
    OpenMode mode_;
    std::shared_ptr<Table> t_;
    OsFile lockFile_;
    int number_;

    std::vector<std::shared_ptr<IndexObj>> orders_;
    std::vector<Scope> scopes_;
    int order_ = 0;
    uint32_t rec_ = 0;
    bool eof_ = true, bof_ = false, found_ = false;
    std::string buf_;
    bool bufAhead_ = false;   // buf_ came from the table's read-ahead block
    uint32_t bufRec_ = 0;
    uint64_t bufGen_ = 0;
    uint32_t changed_ = 0;    // the record this area has changed, 0 when none
    Condition filter_;
    std::string filterText_;
    std::vector<Relation> relations_;
    std::set<uint32_t> locks_;
    bool fileLocked_ = false;
    std::string error_;
    std::string key_;
    std::string posKey_;
    uint32_t posRec_ = 0;
    uint64_t posGen_ = 0;
    int posOrder_ = -1;
    int relationDepth_ = 0;
    // ORDKEYCOUNT cache
    struct CountCache {
        bool valid = false;
        int order = -1;
        uint64_t gen = 0, version = 0;
        std::optional<std::string> top, bottom;
        bool deletedVisible = false;
        uint32_t count = 0;
    } countCache_;
};

} // namespace cn::data
