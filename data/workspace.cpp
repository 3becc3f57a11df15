#include "data/workspace.h"
#include "data/bytes.h"

#include "data/cp1252.h"
#include "data/table.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <map>
#include <set>
#include <stdlib.h>
#include <thread>
#include <unistd.h>

namespace cn::data {

namespace {

std::string lower(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return r;
}

bool iequals(std::string_view a, std::string_view b) { return a.size() == b.size() && lower(a) == lower(b); }

std::string baseName(std::string_view path)
{
    auto slash = path.find_last_of('/');
    std::string_view b = slash == std::string_view::npos ? path : path.substr(slash + 1);
    auto dot = b.find_last_of('.');
    return std::string(dot == std::string_view::npos ? b : b.substr(0, dot));
}

bool hasExtension(std::string_view name)
{
    auto slash = name.find_last_of('/');
    std::string_view b = slash == std::string_view::npos ? name : name.substr(slash + 1);
    return b.find('.') != std::string_view::npos;
}

std::string canonical(const std::string& path)
{
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf))
        return buf;
    return path;
}


// Waits a little for a short-held lock, never forever: the holder may be
// another area of this very thread.
bool lockWithRetry(OsFile& f, uint64_t offset, uint64_t length)
{
    for (int i = 0; i < 200; ++i) {
        if (f.tryLock(offset, length, true))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

} // namespace

std::string strNum(double value, int width, int decimals)
{
    if (width < 1)
        return {};
    std::string out(static_cast<size_t>(width), ' ');
    if (!encodeNumeric(value, width, decimals, out.data()))
        return std::string(static_cast<size_t>(width), '*');
    return out;
}

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

// Opens a new area on table file p (already resolved) and makes it current.
// internal: a private read-only view for the engine itself (takes no open lock).
Result<WorkArea*> openArea(Workspace::Impl* ws, const std::string& p, const std::string& alias, OpenMode mode,
                           bool internal = false);
// The memo file beside table file p, found without regard to letter case.
std::string memoPathFor(const Workspace::Impl& ws, const std::string& p)
{
    std::string mp = p;
    auto dot = mp.find_last_of('.');
    auto slash = mp.find_last_of('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        mp.resize(dot);
    return ws.resolve(mp + ".dbt");
}

class Area final : public WorkArea {
public:
    Area(Workspace::Impl* ws, std::string alias, std::string path, OpenMode mode, std::shared_ptr<Table> t,
         OsFile lockFile, int number)
        : ws_(ws), alias_(std::move(alias)), path_(std::move(path)), mode_(mode), t_(std::move(t)),
          lockFile_(std::move(lockFile)), number_(number)
    {
        buf_.assign(t_->dbf->recordLength(), ' ');
        scopes_.resize(1);
        for (const auto& f : t_->dbf->fields())
            (void)f;
        setEof();
    }

    int number() const { return number_; }
    Table& table() { return *t_; }
    const std::shared_ptr<Table>& tablePtr() const { return t_; }
    std::vector<std::shared_ptr<IndexObj>>& orders() { return orders_; }

    // The current record's bytes (blank at end of file); nullptr at eof for expressions.
    const char* recordForExpr()
    {
        ensure();
        return eof_ ? nullptr : buf_.data();
    }

    // --- WorkArea ---------------------------------------------------------------
    const std::string& alias() const override { return alias_; }
    const std::string& path() const override { return path_; }
    bool shared() const override { return mode_.shared; }
    bool readOnly() const override { return mode_.readOnly; }
    const Structure& structure() const override { return t_->dbf->structure(); }
    int fieldPos(std::string_view name) const override { return t_->dbf->fieldIndex(name) + 1; }
    FieldDef fieldInfo(int pos) const override
    {
        const auto& f = t_->dbf->fields();
        if (pos < 1 || static_cast<size_t>(pos) > f.size())
            return {};
        return f[static_cast<size_t>(pos) - 1].def;
    }

    Status setIndex(const std::string& file) override;
    Status setOrder(int n) override
    {
        if (n < 0 || static_cast<size_t>(n) > orders_.size())
            return Status::error("Order " + std::to_string(n) + " does not exist in " + alias_);
        order_ = n;
        return {};
    }
    int indexOrd() const override { return order_; }
    int orderCount() const override { return static_cast<int>(orders_.size()); }
    std::string indexKey(int n) const override
    {
        if (n < 0)
            n = order_;
        if (n < 1 || static_cast<size_t>(n) > orders_.size())
            return {};
        return orders_[static_cast<size_t>(n) - 1]->file->keyText();
    }
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
    void eval(const Action& action, const Condition& cond) override;

    Status setRelation(const std::string& childAlias, const std::string& keyText) override;
    void clearRelations() override { relations_.clear(); }

    bool deleted() const override
    {
        const_cast<Area*>(this)->ensure();
        return !eof_ && buf_[0] == kRecordDeleted;
    }
    std::string str(std::string_view field) const override { return raw(field); }
    double num(std::string_view field) const override
    {
        const FieldLayout* f = layout(field);
        if (!f)
            return 0.0;
        const_cast<Area*>(this)->ensure();
        return decodeNumeric(std::string_view(buf_.data() + f->offset, static_cast<size_t>(f->def.width)));
    }
    Date date(std::string_view field) const override { return Date::fromDtos(raw(field)); }
    bool logical(std::string_view field) const override
    {
        std::string r = raw(field);
        return !r.empty() && decodeLogical(r[0]);
    }
    std::string memo(std::string_view field) const override
    {
        auto r = readMemo(field);
        return r ? std::move(*r) : std::string();
    }
    Result<std::string> readMemo(std::string_view field) const override;
    std::string raw(std::string_view field) const override
    {
        const FieldLayout* f = layout(field);
        if (!f)
            return {};
        const_cast<Area*>(this)->ensure();
        return std::string(buf_.data() + f->offset, static_cast<size_t>(f->def.width));
    }

    Status setStr(std::string_view field, std::string_view value) override;
    Status setNum(std::string_view field, double value) override;
    Status setDate(std::string_view field, Date value) override;
    Status setLogical(std::string_view field, bool value) override;
    Status setMemo(std::string_view field, std::string_view text) override;
    Status append() override;
    Status deleteRecord() override { return setFlag(kRecordDeleted); }
    Status recall() override { return setFlag(kRecordLive); }

    bool rlock() override;
    bool flock() override;
    void unlock() override;
    bool isLocked(uint32_t recNo) const override
    {
        if (!mode_.shared)
            return true;
        return fileLocked_ || locks_.count(recNo) > 0;
    }
    Status commit() override { return t_->sync(); }
    Status appendFrom(const std::string& file, const AppendFromOptions& options) override;
    Status copyTo(const std::string& file) override;
    std::string lastError() const override { return error_; }
    std::string openWarning() const override { return t_->dbf->damage(); }

    // Releases locks and orders; the area is unusable afterwards.
    Status close();

private:
    struct Scope {
        std::optional<std::string> top, bottom;
    };
    struct Relation {
        std::string child;
        Expr expr;
    };

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
    // Loads the record buffer when the position or the table moved on.
    void ensure()
    {
        if (eof_) {
            return;
        }
        if (bufRec_ == rec_ && bufGen_ == t_->gen)
            return;
        load(rec_);
    }
    // ahead: part of a walk in record order, which may be served by the
    // table's read-ahead block.
    bool load(uint32_t r, bool ahead = false)
    {
        buf_.resize(t_->dbf->recordLength());
        Status st = ahead ? t_->readAhead(r, buf_.data()) : t_->read(r, buf_.data());
        bufAhead_ = ahead;
        if (!st) {
            fail(st);
            std::fill(buf_.begin(), buf_.end(), ' ');
            bufRec_ = 0;
            return false;
        }
        bufRec_ = r;
        bufGen_ = t_->gen;
        return true;
    }
    void setEof()
    {
        eof_ = true;
        rec_ = 0;
        bufRec_ = 0;
        std::fill(buf_.begin(), buf_.end(), ' ');
    }
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
        if (filter_ && !filter_(*this))
            return false;
        return true;
    }
    bool inBottom(std::string_view key) const
    {
        const auto& b = scope().bottom;
        return !b || cmpPrefix(key, *b) <= 0;
    }
    bool inTop(std::string_view key) const
    {
        const auto& t = scope().top;
        return !t || cmpPrefix(key, *t) >= 0;
    }
    // Keys starting with the live flag let deleted records be skipped by key alone.
    bool flagged() const { return index() && index()->expr.startsWithDeletedFlag(); }

    // From entry e forward: the first visible entry in scope.
    bool scanForward(bool have, NtxEntry& e);
    bool scanBackward(bool have, NtxEntry& e);
    // One move of a scan through the index: false (with the error noted) when
    // the move failed, else `have` says whether it found an entry.
    bool moved(const Result<bool>& r, bool& have)
    {
        if (!r) {
            fail(r.status());
            return false;
        }
        have = r.value();
        return true;
    }
    // Ends a scan whose index gave its entries in the wrong order.
    bool outOfOrder(const IndexObj* ix)
    {
        fail(Status::error(ErrorCode::Damaged, "The index " + ix->file->path() + " is damaged: its keys are out of order"));
        return false;
    }
    bool stepForward();
    bool stepBackward();
    bool lastVisible();
    bool firstVisible();
    // The current record's key in the controlling order: the index entry it
    // was found by while nothing has been written since, so that a record
    // whose stored key differs from its computed one (an index left stale by
    // another program) is still stepped past; otherwise computed afresh.
    void currentKey(std::string& out)
    {
        ensure();
        if (posOrder_ == order_ && posRec_ == rec_ && posGen_ == t_->gen) {
            out = posKey_;
            return;
        }
        index()->expr.key(buf_.data(), out);
    }
    void rememberEntry(const NtxEntry& e)
    {
        posKey_ = e.key;
        posRec_ = e.recNo;
        posGen_ = t_->gen;
        posOrder_ = order_;
    }
    // refresh re-reads a shared table's record count; a skip leaves that to
    // the step that runs past the last record known.
    bool prepareIndex(bool refresh = true)
    {
        error_.clear();
        if (auto st = t_->syncKeys(); !st) {
            fail(st);
            return false;
        }
        if (refresh)
            (void)t_->refreshCount();
        return true;
    }
    void moved();   // after every move: relations
    Status checkWritable(const char* what);
    Status writeField(const FieldLayout& f, const char* bytes);
    Status setFlag(char flag);
    void releaseRecordLocks(uint32_t keep);
    template <class F>
    uint32_t countVisible(F&& stopAt);
    // Whether the index alone tells which of its keys are visible: no filter,
    // and deleted records either shown or marked by the key's flag.
    bool countsByKey() const { return !filter_ && (deletedVisible() || flagged()); }
    // The visible keys of the controlling order within its scope, as the
    // positions [lo, hi) in the index; false when the index failed.
    bool visibleRange(uint64_t& lo, uint64_t& hi);

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

// --- navigation ---------------------------------------------------------------------

bool Area::scanForward(bool have, NtxEntry& e)
{
    IndexObj* ix = index();
    const bool fast = flagged() && !deletedVisible();
    while (have) {
        if (!inBottom(e.key))
            return false;
        if (!inTop(e.key)) {   // below the top scope: jump to it
            if (!moved(ix->file->seekGE(*scope().top, e), have))
                return false;
            if (have && !inTop(e.key))
                return outOfOrder(ix);
            continue;
        }
        if (fast && !e.key.empty() && e.key[0] == 'T')
            return false;   // every deleted key sorts after every live one
        if (positionVisible(e.recNo)) {
            rememberEntry(e);
            return true;
        }
        const NtxEntry before = e;
        if (!moved(ix->file->next(e.key, e.recNo, e), have))
            return false;
        if (have && !(before.key < e.key || (before.key == e.key && before.recNo < e.recNo)))
            return outOfOrder(ix);
    }
    return false;
}

bool Area::scanBackward(bool have, NtxEntry& e)
{
    IndexObj* ix = index();
    const bool fast = flagged() && !deletedVisible();
    while (have) {
        if (!inTop(e.key))
            return false;
        if (!inBottom(e.key)) {
            if (!moved(ix->file->seekLE(*scope().bottom, e), have))
                return false;
            if (have && !inBottom(e.key))
                return outOfOrder(ix);
            continue;
        }
        if (fast && !e.key.empty() && e.key[0] == 'T') {   // skip the deleted block at once
            if (!moved(ix->file->seekLE("F", e), have))
                return false;
            if (have && !e.key.empty() && e.key[0] == 'T')
                return outOfOrder(ix);
            continue;
        }
        if (positionVisible(e.recNo)) {
            rememberEntry(e);
            return true;
        }
        const NtxEntry before = e;
        if (!moved(ix->file->prev(e.key, e.recNo, e), have))
            return false;
        if (have && !(e.key < before.key || (e.key == before.key && e.recNo < before.recNo)))
            return outOfOrder(ix);
    }
    return false;
}

bool Area::firstVisible()
{
    if (!index()) {
        const uint32_t n = t_->count();
        for (uint32_t r = 1; r <= n; ++r)
            if (positionVisible(r, true))
                return true;
        return false;
    }
    NtxEntry e;
    auto r = scope().top ? index()->file->seekGE(*scope().top, e) : index()->file->first(e);
    if (!r) {
        fail(r.status());
        return false;
    }
    return scanForward(*r, e);
}

bool Area::lastVisible()
{
    if (!index()) {
        for (uint32_t r = t_->count(); r >= 1; --r)
            if (positionVisible(r))
                return true;
        return false;
    }
    NtxEntry e;
    auto r = scope().bottom ? index()->file->seekLE(*scope().bottom, e) : index()->file->last(e);
    if (!r) {
        fail(r.status());
        return false;
    }
    return scanBackward(*r, e);
}

bool Area::stepForward()
{
    if (!index()) {
        uint32_t r = rec_ + 1;
        for (;;) {
            for (const uint32_t n = t_->count(); r <= n; ++r)
                if (positionVisible(r, true))
                    return true;
            // Past the last record known: another process may have appended.
            const uint32_t known = t_->count();
            (void)t_->refreshCount();
            if (t_->count() <= known)
                return false;
        }
    }
    currentKey(key_);
    NtxEntry e;
    auto r = index()->file->next(key_, rec_, e);
    if (!r) {
        fail(r.status());
        return false;
    }
    return scanForward(*r, e);
}

bool Area::stepBackward()
{
    if (!index()) {
        for (uint32_t r = rec_; r > 1;)
            if (positionVisible(--r))
                return true;
        return false;
    }
    currentKey(key_);
    NtxEntry e;
    auto r = index()->file->prev(key_, rec_, e);
    if (!r) {
        fail(r.status());
        return false;
    }
    return scanBackward(*r, e);
}

void Area::goTop()
{
    bof_ = false;
    if (mode_.shared)
        t_->dropReadAhead();   // a new walk reads the file afresh
    if (!prepareIndex() || !firstVisible())
        setEof();
    moved();
}

void Area::goBottom()
{
    bof_ = false;
    if (!prepareIndex() || !lastVisible())
        setEof();
    moved();
}

void Area::goTo(uint32_t recNo)
{
    error_.clear();
    bof_ = false;
    (void)t_->syncKeys();
    (void)t_->refreshCount();
    if (recNo < 1 || recNo > t_->count()) {
        setEof();
    } else {
        eof_ = false;
        rec_ = recNo;
        if (!load(recNo))
            setEof();
    }
    moved();
}

void Area::skip(long n)
{
    if (!prepareIndex(false)) {
        setEof();
        moved();
        return;
    }
    if (n == 0) {
        if (!eof_ && !load(rec_))
            setEof();
        moved();
        return;
    }
    bof_ = false;
    if (n > 0) {
        for (long i = 0; i < n && !eof_; ++i) {
            const uint32_t from = rec_;
            (void)from;
            if (!stepForward())
                setEof();
        }
    } else {
        long left = -n;
        if (eof_) {
            (void)t_->refreshCount();
            if (!lastVisible()) {
                setEof();
                bof_ = true;
                moved();
                return;
            }
            --left;
        }
        for (; left > 0; --left) {
            const uint32_t here = rec_;
            if (!stepBackward()) {
                // Before the first record: stay on the first one, BOF set.
                if (!firstVisible()) {
                    setEof();
                } else if (rec_ != here && here != 0) {
                    (void)here;
                }
                bof_ = true;
                break;
            }
        }
    }
    moved();
}

bool Area::seek(std::string_view key, bool soft)
{
    bof_ = false;
    found_ = false;
    if (!prepareIndex() || !index()) {
        if (!index() && error_.empty())
            error_ = "No controlling order to seek in for " + alias_;
        setEof();
        moved();
        return false;
    }
    NtxEntry e;
    auto r = index()->file->seekGE(key, e);
    if (!r) {
        fail(r.status());
        setEof();
        moved();
        return false;
    }
    bool have = scanForward(*r, e);
    if (have && cmpPrefix(e.key, key) == 0) {
        found_ = true;
    } else if (!(have && soft)) {
        setEof();
    }
    moved();
    return found_;
}

template <class F>
uint32_t Area::countVisible(F&& stopAt)
{
    IndexObj* ix = index();
    const bool fast = flagged() && !deletedVisible();
    const bool needRecord = filter_ || (!deletedVisible() && !fast);
    const uint32_t saveRec = rec_;
    const bool saveEof = eof_;
    uint32_t count = 0;
    const std::string from = scope().top ? *scope().top : std::string();
    std::vector<uint32_t> candidates;
    Status st = ix->file->walk(from, [&](std::string_view k, uint32_t r) {
        if (!inBottom(k))
            return false;
        if (fast && !k.empty() && k[0] == 'T')
            return false;
        if (stopAt(k, r))
            return false;
        if (needRecord)
            candidates.push_back(r);
        else
            ++count;
        return true;
    });
    fail(st);
    // Records are read after the walk, outside the index's read lock.
    for (uint32_t r : candidates)
        if (positionVisible(r))
            ++count;
    if (!candidates.empty()) {
        if (saveEof) {
            setEof();
        } else {
            rec_ = saveRec;
            eof_ = false;
            load(rec_);
        }
    }
    return count;
}

bool Area::visibleRange(uint64_t& lo, uint64_t& hi)
{
    NtxFile& f = *index()->file;
    auto fail0 = [this](const Status& st) {
        fail(st);
        return false;
    };
    lo = 0;
    if (const auto& t = scope().top) {
        auto r = f.rankGE(*t);
        if (!r)
            return fail0(r.status());
        lo = r->before;
    }
    if (const auto& b = scope().bottom) {
        auto r = f.rankGT(*b);
        if (!r)
            return fail0(r.status());
        hi = r->before;
    } else {
        auto r = f.countAll();
        if (!r)
            return fail0(r.status());
        hi = *r;
    }
    if (!deletedVisible()) {
        // Every deleted key sorts after every live one: the visible ones end
        // at the first key with the deleted flag.
        auto r = f.rankGE("T");
        if (!r)
            return fail0(r.status());
        if (r->have && !r->at.key.empty() && r->at.key[0] == 'T')
            hi = std::min(hi, r->before);
    }
    hi = std::max(hi, lo);
    return true;
}

uint32_t Area::keyNo()
{
    if (!prepareIndex())
        return 0;
    ensure();
    if (eof_)
        return 0;
    if (!index()) {
        if (!filter_ && deletedVisible())
            return rec_;
        uint32_t n = 0;
        const uint32_t here = rec_;
        for (uint32_t r = 1; r <= here; ++r)
            if (positionVisible(r))
                ++n;
        rec_ = here;
        eof_ = false;
        load(rec_);
        return n;
    }
    std::string cur;
    currentKey(cur);
    const uint32_t here = rec_;
    if (!inTop(cur) || !inBottom(cur))
        return 0;
    if (countsByKey()) {
        uint64_t lo = 0, hi = 0;
        if (!visibleRange(lo, hi))
            return 0;
        auto r = index()->file->rankOf(cur, here);
        if (!r) {
            fail(r.status());
            return 0;
        }
        // An entry the index does not hold (a stale key) is not counted:
        // the answer is then every visible key, as a walk would find.
        const bool reached = r->have && r->at.recNo == here && r->at.key == cur && r->before >= lo && r->before < hi;
        if (!reached)
            return static_cast<uint32_t>(hi - lo);
        const bool hereVisible = deletedVisible() || buf_[0] != kRecordDeleted;
        return static_cast<uint32_t>(r->before - lo) + (hereVisible ? 1 : 0);
    }
    bool reached = false;
    uint32_t n = countVisible([&](std::string_view k, uint32_t r) {
        if (r == here && k == cur) {
            reached = true;
            return true;
        }
        return false;
    });
    const bool hereVisible = (deletedVisible() || buf_[0] != kRecordDeleted) && (!filter_ || filter_(*this));
    return reached && hereVisible ? n + 1 : n;
}

uint32_t Area::keyCount()
{
    if (!prepareIndex())
        return 0;
    if (!index()) {
        if (!filter_ && deletedVisible())
            return t_->count();
        const bool saveEof = eof_;
        const uint32_t here = rec_;
        uint32_t n = 0;
        for (uint32_t r = 1; r <= t_->count(); ++r)
            if (positionVisible(r))
                ++n;
        if (saveEof) {
            setEof();
        } else {
            rec_ = here;
            eof_ = false;
            load(rec_);
        }
        return n;
    }
    IndexObj* ix = index();
    (void)ix->file->refresh();
    CountCache& c = countCache_;
    if (!filter_ && c.valid && c.order == order_ && c.gen == t_->gen && c.version == ix->file->version() &&
        c.top == scope().top && c.bottom == scope().bottom && c.deletedVisible == deletedVisible())
        return c.count;
    uint32_t n = 0;
    if (countsByKey()) {
        uint64_t lo = 0, hi = 0;
        if (!visibleRange(lo, hi))
            return 0;
        n = static_cast<uint32_t>(hi - lo);
    } else {
        n = countVisible([](std::string_view, uint32_t) { return false; });
    }
    if (!filter_ && error_.empty()) {
        c.valid = true;
        c.order = order_;
        c.gen = t_->gen;
        c.version = ix->file->version();
        c.top = scope().top;
        c.bottom = scope().bottom;
        c.deletedVisible = deletedVisible();
        c.count = n;
    }
    return n;
}

bool Area::locate(Condition cond)
{
    found_ = false;
    bof_ = false;
    if (!prepareIndex()) {
        setEof();
        moved();
        return false;
    }
    bool have = firstVisible();
    while (have) {
        if (!cond || cond(*this)) {
            found_ = true;
            break;
        }
        have = stepForward();
    }
    if (!have)
        setEof();
    moved();
    return found_;
}

void Area::eval(const Action& action, const Condition& cond)
{
    if (!prepareIndex()) {
        setEof();
        return;
    }
    bool have = firstVisible();
    std::string before;
    while (have) {
        moved();
        // Remember where we are in the order before the action may change the key.
        if (index())
            currentKey(before);
        const uint32_t here = rec_;
        if (!cond || cond(*this))
            action(*this);
        if (!prepareIndex()) {
            have = false;
            break;
        }
        if (index()) {
            NtxEntry e;
            auto r = index()->file->next(before, here, e);
            if (!r) {
                fail(r.status());
                have = false;
            } else {
                have = scanForward(*r, e);
            }
        } else {
            rec_ = here;
            eof_ = false;
            have = stepForward();
        }
    }
    setEof();
    moved();
}

void Area::moved()
{
    if (relations_.empty() || relationDepth_ > 8)
        return;
    ++relationDepth_;
    for (auto& rel : relations_) {
        Area* child = ws_->find(rel.child);
        if (!child || child == this)
            continue;
        if (eof_) {
            child->goTo(0);
            continue;
        }
        std::vector<const char*> recs;
        recs.push_back(recordForExpr());
        for (const auto& a : rel.expr.aliases()) {
            Area* other = ws_->find(a);
            recs.push_back(other ? other->recordForExpr() : nullptr);
        }
        rel.expr.key(std::span<const char* const>(recs.data(), recs.size()), key_);
        if (child->indexOrd() == 0 && rel.expr.type() == ValueType::Numeric)
            child->goTo(static_cast<uint32_t>(std::max(0.0, decodeNumeric(key_))));
        else
            child->seek(key_, false);
    }
    --relationDepth_;
}

Status Area::setRelation(const std::string& childAlias, const std::string& keyText)
{
    Area* child = ws_->find(childAlias);
    if (!child)
        return Status::error("Cannot relate " + alias_ + " to " + childAlias + ": no such area is open");
    FieldResolver resolver = [this](std::string_view alias, std::string_view name) -> std::optional<FieldLayout> {
        const DbfFile* dbf = nullptr;
        if (alias.empty())
            dbf = t_->dbf.get();
        else if (Area* a = ws_->find(alias))
            dbf = a->table().dbf.get();
        if (!dbf)
            return std::nullopt;
        int i = dbf->fieldIndex(name);
        if (i < 0)
            return std::nullopt;
        return dbf->fields()[static_cast<size_t>(i)];
    };
    auto e = Expr::compile(keyText, resolver);
    if (!e)
        return Status::error(e.message() + " (relation of " + alias_ + " to " + childAlias + ")");
    relations_.push_back({std::string(childAlias), std::move(*e)});
    return {};
}

// --- orders ---------------------------------------------------------------------------

Status Area::setIndex(const std::string& file)
{
    std::string name = file;
    if (!hasExtension(name))
        name += ".ntx";
    const std::string p = ws_->resolve(name);
    const std::string canon = canonical(p);
    for (const auto& o : orders_)
        if (o->path == canon)
            return Status::error("The index " + p + " is already an order of " + alias_);
    std::shared_ptr<IndexObj> ix;
    for (const auto& o : t_->indexes)
        if (o->path == canon)
            ix = o;
    if (!ix) {
        auto f = NtxFile::open(p, t_->dbf->writable());
        if (!f)
            return f.status();
        auto e = Expr::compile((*f)->keyText(), t_->dbf->fields());
        if (!e)
            return Status::error("The index " + p + " cannot be used: " + e.message());
        if (e->keyLength() != (*f)->keyLength())
            return Status::error("The index " + p + " is damaged: its key length " +
                                 std::to_string((*f)->keyLength()) + " differs from the " +
                                 std::to_string(e->keyLength()) + " of its expression");
        ix = std::make_shared<IndexObj>();
        ix->path = canon;
        ix->file = std::move(*f);
        ix->expr = std::move(*e);
        if (auto st = t_->attach(ix); !st)
            return st;
    }
    ++ix->users;
    orders_.push_back(ix);
    scopes_.emplace_back();
    if (orders_.size() == 1) {
        order_ = 1;
        goTop();
    }
    return {};
}

Status Area::createIndex(const std::string& file, const std::string& keyText, bool unique)
{
    std::string name = file;
    if (!hasExtension(name))
        name += ".ntx";
    const std::string p = ws_->resolve(name);
    const std::string canon = canonical(p);
    for (const auto& [path, t] : ws_->tables)
        for (const auto& o : t->indexes)
            if (o->path == canon)
                return Status::error("Cannot build the index " + p + ": it is open as an order");
    auto e = Expr::compile(keyText, t_->dbf->fields());
    if (!e)
        return Status::error("Cannot build the index " + p + ": " + e.message());
    if (keyText.size() > 255)
        return Status::error("Cannot build the index " + p + ": the key expression is too long");
    if (auto st = t_->flush(); !st)
        return st;
    (void)t_->refreshCount();
    NtxBuildInput input;
    input.keyLength = e->keyLength();
    const uint32_t n = t_->count();
    const uint32_t len = t_->dbf->recordLength();
    input.keys.reserve(static_cast<size_t>(n) * input.keyLength);
    input.recNos.reserve(n);
    const uint32_t chunk = std::max<uint32_t>(1, (1u << 20) / len);
    std::string block(static_cast<size_t>(chunk) * len, '\0');
    std::string k;
    for (uint32_t first = 1; first <= n; first += chunk) {
        const uint32_t cnt = std::min(chunk, n - first + 1);
        if (auto st = t_->dbf->readMany(first, cnt, block.data()); !st)
            return st;
        for (uint32_t i = 0; i < cnt; ++i) {
            e->key(block.data() + static_cast<size_t>(i) * len, k);
            input.add(k, first + i);
        }
    }
    if (auto st = NtxFile::build(p, keyText, e->keyDecimals(), unique, input); !st)
        return st;
    if (auto st = setIndex(p); !st)
        return st;
    order_ = static_cast<int>(orders_.size());
    goTop();
    return {};
}

// --- changes --------------------------------------------------------------------------

Status Area::checkWritable(const char* what)
{
    if (mode_.readOnly)
        return Status::error("Cannot " + std::string(what) + ": " + alias_ + " is open read-only");
    if (!t_->dbf->writable())
        return Status::error("Cannot " + std::string(what) + ": " + path_ + " cannot be written");
    if (!t_->dbf->damage().empty())
        return Status::error(ErrorCode::Damaged, t_->dbf->damage() + "; it is not written to");
    if (eof_)
        return Status::error("Cannot " + std::string(what) + ": " + alias_ + " has no current record");
    if (!isLocked(rec_))
        return Status::error("Cannot " + std::string(what) + ": record " + std::to_string(rec_) + " of " + alias_ +
                             " is not locked");
    return {};
}

Status Area::writeField(const FieldLayout& f, const char* bytes)
{
    ensure();
    std::string next = buf_;
    std::memcpy(next.data() + f.offset, bytes, static_cast<size_t>(f.def.width));
    if (auto st = t_->write(rec_, next.data()); !st)
        return st;
    buf_ = std::move(next);
    bufRec_ = rec_;
    bufGen_ = t_->gen;
    return {};
}

Status Area::setFlag(char flag)
{
    if (auto st = checkWritable(flag == kRecordDeleted ? "delete" : "recall"); !st)
        return st;
    ensure();
    if (buf_[0] == flag)
        return {};
    std::string next = buf_;
    next[0] = flag;
    if (auto st = t_->write(rec_, next.data()); !st)
        return st;
    buf_ = std::move(next);
    bufRec_ = rec_;
    bufGen_ = t_->gen;
    return {};
}

namespace {
Status fieldError(const std::string& alias, std::string_view field, const std::string& what,
                  ErrorCode code = ErrorCode::Other)
{
    return Status::error(code, "Field " + std::string(field) + " of " + alias + ": " + what);
}
} // namespace

Status Area::setStr(std::string_view field, std::string_view value)
{
    const FieldLayout* f = layout(field);
    if (!f)
        return fieldError(alias_, field, "no such field");
    if (f->def.type == 'M')
        return setMemo(field, value);
    if (f->def.type != 'C')
        return fieldError(alias_, field, "not a character field");
    if (auto st = checkWritable("change a field"); !st)
        return st;
    if (value.size() > static_cast<size_t>(f->def.width))
        return fieldError(alias_, field,
                          "the text is longer than the field's " + std::to_string(f->def.width) + " characters",
                          ErrorCode::TooLong);
    std::string bytes(value);
    bytes.resize(static_cast<size_t>(f->def.width), ' ');
    return writeField(*f, bytes.data());
}

Status Area::setNum(std::string_view field, double value)
{
    const FieldLayout* f = layout(field);
    if (!f)
        return fieldError(alias_, field, "no such field");
    if (f->def.type != 'N')
        return fieldError(alias_, field, "not a numeric field");
    if (auto st = checkWritable("change a field"); !st)
        return st;
    std::string bytes(static_cast<size_t>(f->def.width), ' ');
    if (auto st = encodeNumeric(value, f->def.width, f->def.decimals, bytes.data()); !st)
        return fieldError(alias_, field, st.message(), st.code());
    return writeField(*f, bytes.data());
}

Status Area::setDate(std::string_view field, Date value)
{
    const FieldLayout* f = layout(field);
    if (!f)
        return fieldError(alias_, field, "no such field");
    if (f->def.type != 'D')
        return fieldError(alias_, field, "not a date field");
    if (auto st = checkWritable("change a field"); !st)
        return st;
    if (!value.empty() && !value.valid())
        return fieldError(alias_, field, "not a valid date");
    const std::string bytes = value.dtos();
    return writeField(*f, bytes.data());
}

Status Area::setLogical(std::string_view field, bool value)
{
    const FieldLayout* f = layout(field);
    if (!f)
        return fieldError(alias_, field, "no such field");
    if (f->def.type != 'L')
        return fieldError(alias_, field, "not a logical field");
    if (auto st = checkWritable("change a field"); !st)
        return st;
    const char c = value ? 'T' : 'F';
    return writeField(*f, &c);
}

Result<std::string> Area::readMemo(std::string_view field) const
{
    const FieldLayout* f = layout(field);
    if (!f || f->def.type != 'M')
        return Status::error("Field " + std::string(field) + " of " + alias_ + " is not a memo field");
    const_cast<Area*>(this)->ensure();
    if (eof_)
        return std::string();
    auto block = decodeMemoBlock(std::string_view(buf_.data() + f->offset, 10));
    if (!block)
        return std::string();
    if (!t_->memo)
        return Status::error("The table " + path_ + " has no memo file");
    return bufAhead_ ? t_->readMemoAhead(*block) : t_->memo->read(*block);
}

Status Area::setMemo(std::string_view field, std::string_view text)
{
    const FieldLayout* f = layout(field);
    if (!f)
        return fieldError(alias_, field, "no such field");
    if (f->def.type != 'M')
        return fieldError(alias_, field, "not a memo field");
    if (auto st = checkWritable("change a memo"); !st)
        return st;
    if (!t_->memo)
        return Status::error("The table " + path_ + " has no memo file");
    ensure();
    const uint32_t old = decodeMemoBlock(std::string_view(buf_.data() + f->offset, 10)).value_or(0);
    auto block = t_->memo->write(text, old, mode_.shared);
    if (!block)
        return block.status();
    char bytes[10];
    encodeMemoBlock(*block, bytes);
    return writeField(*f, bytes);
}

void Area::releaseRecordLocks(uint32_t keep)
{
    for (auto it = locks_.begin(); it != locks_.end();) {
        if (*it != keep) {
            lockFile_.unlock(kLockBase + *it, 1);
            it = locks_.erase(it);
        } else {
            ++it;
        }
    }
}

Status Area::append()
{
    error_.clear();
    if (mode_.readOnly)
        return Status::error("Cannot append: " + alias_ + " is open read-only");
    if (!t_->dbf->writable())
        return Status::error("Cannot append: " + path_ + " cannot be written");
    std::string blank(t_->dbf->recordLength(), ' ');
    t_->dbf->blankRecord(blank.data());
    ScopedLock appendLock;
    if (mode_.shared) {
        if (auto st = t_->flush(); !st)
            return st;
        releaseRecordLocks(0);
        if (!fileLocked_) {
            if (!lockWithRetry(lockFile_, DbfFile::appendLockOffset(), 1))
                return Status::error(ErrorCode::InUse, "Cannot append to " + path_ + ": the table is locked by another user");
            appendLock.adopt(&lockFile_, DbfFile::appendLockOffset(), 1);
        }
    }
    auto r = t_->append(blank.data());
    if (!r)
        return r.status();
    if (mode_.shared && !fileLocked_) {
        // A new record nobody else can know yet: its lock is free.
        if (lockFile_.tryLock(kLockBase + *r, 1, true))
            locks_.insert(*r);
    }
    appendLock.release();
    bof_ = false;
    eof_ = false;
    rec_ = *r;
    buf_ = blank;
    bufRec_ = rec_;
    bufGen_ = t_->gen;
    moved();
    return {};
}

// --- locks ----------------------------------------------------------------------------

bool Area::rlock()
{
    if (eof_)
        return false;
    if (!mode_.shared)
        return true;
    (void)t_->flush();
    t_->dropReadAhead();
    releaseRecordLocks(rec_);
    if (!fileLocked_ && !locks_.count(rec_)) {
        if (!lockFile_.tryLock(kLockBase + rec_, 1, true))
            return false;
        locks_.insert(rec_);
    }
    load(rec_);   // what the last holder wrote
    return true;
}

bool Area::flock()
{
    if (!mode_.shared)
        return true;
    if (!fileLocked_) {
        if (!lockFile_.tryLock(kLockBase, kFileLockLength, true))
            return false;
        fileLocked_ = true;
    }
    t_->dropReadAhead();
    if (!eof_)
        load(rec_);
    return true;
}

void Area::unlock()
{
    fail(t_->flush());
    if (mode_.shared && (fileLocked_ || !locks_.empty()))
        lockFile_.unlock(kLockBase, kFileLockLength);
    locks_.clear();
    fileLocked_ = false;
}

Status Area::close()
{
    Status result = t_->flush();
    for (auto& o : orders_) {
        if (--o->users == 0)
            if (auto st = t_->detach(o.get()); !st && result)
                result = st;
    }
    orders_.clear();
    relations_.clear();
    locks_.clear();
    fileLocked_ = false;
    lockFile_.close();
    return result;
}

// --- copying --------------------------------------------------------------------------

namespace {
// Converts one field's stored bytes to another field's type and width.
Status convertField(const FieldLayout& from, const char* src, const FieldLayout& to, char* dst,
                    const std::string& memoText, std::string& memoOut)
{
    const size_t w = static_cast<size_t>(to.def.width);
    std::string_view s(src + from.offset, static_cast<size_t>(from.def.width));
    char* d = dst + to.offset;
    std::memset(d, ' ', w);
    const char ft = from.def.type, tt = to.def.type;
    if (tt == 'M') {
        memoOut = ft == 'M' ? memoText : std::string(s);
        return {};
    }
    if (tt == 'N') {
        if (ft != 'N' && ft != 'C')
            return {};
        std::string_view t = s;
        while (!t.empty() && t.front() == ' ')
            t.remove_prefix(1);
        while (!t.empty() && t.back() == ' ')
            t.remove_suffix(1);
        if (t.empty())
            return {};
        return encodeNumeric(decodeNumeric(s), to.def.width, to.def.decimals, d);
    }
    if (tt == 'L') {
        if (ft == 'L')
            *d = decodeLogical(s[0]) ? 'T' : (s[0] == ' ' || s[0] == '?' ? s[0] : 'F');
        return {};
    }
    if (tt == 'D') {
        if (ft == 'D' || ft == 'C')
            std::memcpy(d, s.data(), std::min<size_t>(8, s.size()));
        return {};
    }
    // C: text as stored, cut to the target width
    std::string_view t = s;
    if (ft == 'M')
        t = memoText;
    if (ft == 'N')
        while (!t.empty() && t.front() == ' ')
            t.remove_prefix(1);
    std::memcpy(d, t.data(), std::min(w, t.size()));
    return {};
}
} // namespace

Status Area::appendFrom(const std::string& file, const AppendFromOptions& options)
{
    std::string name = file;
    if (!hasExtension(name))
        name += ".dbf";
    const std::string p = ws_->resolve(name);
    if (auto it = ws_->tables.find(canonical(p)); it != ws_->tables.end())
        if (auto st = it->second->flush(); !st)   // read what the areas on it have written
            return st;
    auto src = DbfFile::open(p, false);
    if (!src)
        return src.status();
    std::unique_ptr<MemoFile> srcMemo;
    if ((*src)->hasMemoField()) {
        auto m = MemoFile::open(memoPathFor(*ws_, p), false);
        if (!m)
            return Status::error("The memo file of " + p + " cannot be opened: " + m.message());
        srcMemo = std::move(*m);
    }
    // A temporary area over the source so that the condition can read it by name.
    const DbfFile& sd = **src;
    struct Map {
        const FieldLayout* from;
        const FieldLayout* to;
    };
    std::vector<Map> maps;
    for (const auto& to : t_->dbf->fields()) {
        int i = sd.fieldIndex(to.def.name);
        if (i >= 0)
            maps.push_back({&sd.fields()[static_cast<size_t>(i)], &to});
    }
    Area* srcArea = nullptr;
    if (options.condition) {
        std::string tmpAlias = "__dbapp" + std::to_string(number_);
        Workspace::Impl* ws = ws_;
        Area* saveCurrent = ws->current;
        OpenMode m;
        m.shared = true;
        m.readOnly = true;
        auto a = openArea(ws, p, tmpAlias, m, true);
        ws->current = saveCurrent;
        if (!a)
            return a.status();
        srcArea = static_cast<Area*>(*a);
    }
    Status result;
    std::string rec(sd.recordLength(), ' ');
    std::string out(t_->dbf->recordLength(), ' ');
    const uint32_t n = sd.recordCount();
    for (uint32_t r = 1; r <= n; ++r) {
        if (options.progress && !options.progress(r))
            break;
        if (auto st = sd.read(r, rec.data()); !st) {
            result = st;
            break;
        }
        const bool del = rec[0] == kRecordDeleted;
        if (del && !options.copyDeleted)
            continue;
        if (srcArea) {
            srcArea->goTo(r);
            if (!options.condition(*srcArea))
                continue;
        }
        if (auto st = append(); !st) {
            result = st;
            break;
        }
        ensure();
        out = buf_;
        std::vector<std::pair<const FieldLayout*, std::string>> memos;
        for (const auto& m : maps) {
            std::string memoText, memoOut;
            if (m.from->def.type == 'M' && srcMemo) {
                auto b = decodeMemoBlock(std::string_view(rec.data() + m.from->offset, 10));
                if (b) {
                    auto t = srcMemo->read(*b);
                    if (t)
                        memoText = *t;
                }
            }
            if (auto st = convertField(*m.from, rec.data(), *m.to, out.data(), memoText, memoOut); !st) {
                result = Status::error("Record " + std::to_string(r) + " of " + p + ", field " + m.to->def.name +
                                       ": " + st.message());
                break;
            }
            if (m.to->def.type == 'M' && !memoOut.empty())
                memos.emplace_back(m.to, memoOut);
        }
        if (!result)
            break;
        if (del)
            out[0] = kRecordDeleted;
        if (auto st = t_->write(rec_, out.data()); !st) {
            result = st;
            break;
        }
        buf_ = out;
        bufGen_ = t_->gen;
        for (auto& [f, text] : memos)
            if (auto st = setMemo(f->def.name, text); !st) {
                result = st;
                break;
            }
        if (!result)
            break;
    }
    if (srcArea)
        (void)ws_->closeArea(srcArea);
    if (auto st = t_->flush(); !st && result)
        result = st;
    return result;
}

Status Area::copyTo(const std::string& file)
{
    std::string name = file;
    if (!hasExtension(name))
        name += ".dbf";
    const std::string p = ws_->resolve(name);
    if (canonical(p) == t_->path)
        return Status::error("Cannot copy " + alias_ + " onto itself");
    if (auto st = DbfFile::create(p, structure()); !st)
        return st;
    std::unique_ptr<MemoFile> memo;
    if (t_->dbf->hasMemoField()) {
        const std::string mp = p.substr(0, p.size() - 4) + (p.substr(p.size() - 4) == ".DBF" ? ".DBT" : ".dbt");
        if (auto st = MemoFile::create(mp); !st)
            return st;
        auto m = MemoFile::open(mp, true);
        if (!m)
            return m.status();
        memo = std::move(*m);
    }
    auto dst = DbfFile::open(p, true);
    if (!dst)
        return dst.status();
    const bool saveEof = eof_;
    const uint32_t saveRec = rec_;
    Status result;
    for (goTop(); !eof_; skip(1)) {
        std::string out = buf_;
        out[0] = buf_[0];
        if (memo) {
            for (const auto& f : t_->dbf->fields()) {
                if (f.def.type != 'M')
                    continue;
                auto text = readMemo(f.def.name);
                uint32_t block = 0;
                if (text && !text->empty()) {
                    auto b = memo->write(*text, 0, false);
                    if (!b) {
                        result = b.status();
                        break;
                    }
                    block = *b;
                }
                encodeMemoBlock(block, out.data() + f.offset);
            }
            if (!result)
                break;
        }
        if (auto r = (*dst)->append(out.data()); !r) {
            result = r.status();
            break;
        }
    }
    if (result) {
        if (auto st = (*dst)->sync(); !st)
            result = st;
        if (memo)
            if (auto st = memo->sync(); !st && result)
                result = st;
    }
    if (saveEof)
        setEof();
    else
        goTo(saveRec);
    return result;
}

// --- Workspace ------------------------------------------------------------------------

Area* Workspace::Impl::find(std::string_view alias) const
{
    for (const auto& a : areas)
        if (iequals(a->alias(), alias))
            return a.get();
    return nullptr;
}

std::string Workspace::Impl::resolve(std::string_view name) const
{
    std::string full = !name.empty() && name[0] == '/' ? std::string(name) : folder + "/" + std::string(name);
    auto slash = full.find_last_of('/');
    const std::string dir = full.substr(0, slash);
    const std::string base = full.substr(slash + 1);
    if (::access(full.c_str(), F_OK) == 0)
        return full;
    DIR* d = ::opendir(dir.empty() ? "/" : dir.c_str());
    if (!d)
        return full;
    std::string found;
    while (dirent* e = ::readdir(d)) {
        if (iequals(e->d_name, base)) {
            found = dir + "/" + e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found.empty() ? full : found;
}

Status Workspace::Impl::closeArea(Area* a)
{
    Status st = a->close();
    std::shared_ptr<Table> t = a->tablePtr();
    if (current == a)
        current = nullptr;
    auto it = std::find_if(areas.begin(), areas.end(), [&](const auto& p) { return p.get() == a; });
    if (it != areas.end())
        areas.erase(it);
    if (--t->users == 0) {
        if (auto fs = t->flush(); !fs && st)
            st = fs;
        tables.erase(t->path);
    }
    return st;
}

Result<WorkArea*> openArea(Workspace::Impl* ws, const std::string& p, const std::string& alias, OpenMode mode,
                           bool internal)
{
    if (ws->find(alias))
        return Status::error("The alias " + alias + " is already in use");
    // Each area has its own open of the file for its locks, so that areas of
    // this process exclude each other as two users would.
    const bool wantWrite = !mode.readOnly;
    auto lf = OsFile::open(p, wantWrite || !mode.shared);
    if (!lf && !wantWrite && !mode.shared)
        lf = OsFile::open(p, false);
    if (!lf)
        return lf.status();
    const bool exclusiveLock = !mode.shared && lf->writable();
    if (!internal && !lf->tryLock(kOpenLockOffset, 1, exclusiveLock)) {
        return Status::error(ErrorCode::InUse, "The table " + p + " is in use by another user");
    }
    const std::string canon = canonical(p);
    std::shared_ptr<Table> t;
    if (auto it = ws->tables.find(canon); it != ws->tables.end()) {
        t = it->second;
        if (wantWrite && !t->dbf->writable())
            return Status::error("Cannot open " + p + " for writing");
    } else {
        auto dbf = DbfFile::open(p, true);
        if (!dbf) {
            if (wantWrite)
                return dbf.status();
            dbf = DbfFile::open(p, false);
            if (!dbf)
                return dbf.status();
        }
        t = std::make_shared<Table>();
        t->path = canon;
        t->dbf = std::move(*dbf);
        t->shared = mode.shared;
        if (t->dbf->hasMemoField()) {
            const std::string mp = memoPathFor(*ws, p);
            auto m = MemoFile::open(mp, t->dbf->writable());
            if (!m)
                return Status::error("The memo file of " + p + " cannot be opened: " + m.message());
            t->memo = std::move(*m);
        }
        ws->tables[canon] = t;
    }
    int number = 1;
    for (bool taken = true; taken; ++number) {
        taken = false;
        for (const auto& a : ws->areas)
            if (a->number() == number)
                taken = true;
        if (!taken)
            break;
    }
    ++t->users;
    auto area = std::make_unique<Area>(ws, alias, p, mode, t, std::move(*lf), number);
    Area* raw = area.get();
    ws->areas.push_back(std::move(area));
    ws->current = raw;
    return static_cast<WorkArea*>(raw);
}

Workspace::Workspace(std::string folder) : d_(std::make_unique<Impl>())
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.empty())
        folder = ".";
    // Made absolute once, here, so that paths joined to it later never
    // depend on (or repeat) the current folder.
    if (folder[0] != '/') {
        if (char* cwd = ::getcwd(nullptr, 0)) {
            std::string abs(cwd);
            std::free(cwd);
            folder = folder == "." ? abs : abs + "/" + (folder.rfind("./", 0) == 0 ? folder.substr(2) : folder);
        }
    }
    d_->folder = folder;
}

Workspace::~Workspace() { closeAll(); }

const std::string& Workspace::folder() const { return d_->folder; }
std::string Workspace::resolve(std::string_view name) const { return d_->resolve(name); }
bool Workspace::exists(std::string_view name) const { return ::access(resolve(name).c_str(), F_OK) == 0; }

Status Workspace::erase(std::string_view name)
{
    const std::string p = resolve(name);
    if (::unlink(p.c_str()) != 0)
        return Status::error("Cannot erase " + p + ": " + std::strerror(errno));
    return {};
}

Status Workspace::rename(std::string_view from, std::string_view to)
{
    const std::string a = resolve(from);
    const std::string b = resolve(to);
    if (::rename(a.c_str(), b.c_str()) != 0)
        return Status::error("Cannot rename " + a + " to " + b + ": " + std::strerror(errno));
    return {};
}

Result<WorkArea*> Workspace::use(std::string_view file, std::string_view alias, OpenMode mode)
{
    std::string name(file);
    if (!hasExtension(name))
        name += ".dbf";
    const std::string p = resolve(name);
    std::string a = alias.empty() ? lower(baseName(name)) : std::string(alias);
    return openArea(d_.get(), p, a, mode);
}

WorkArea* Workspace::area(std::string_view alias) const { return d_->find(alias); }
WorkArea* Workspace::current() const { return d_->current; }

bool Workspace::select(std::string_view alias)
{
    Area* a = d_->find(alias);
    if (!a)
        return false;
    d_->current = a;
    return true;
}

int Workspace::selectNo(std::string_view alias) const
{
    Area* a = d_->find(alias);
    return a ? a->number() : 0;
}

std::string Workspace::currentAlias() const { return d_->current ? d_->current->alias() : std::string(); }

void Workspace::closeArea(std::string_view alias)
{
    if (Area* a = d_->find(alias))
        (void)d_->closeArea(a);
}

void Workspace::closeAll()
{
    while (!d_->areas.empty())
        (void)d_->closeArea(d_->areas.back().get());
}

Status Workspace::commitAll()
{
    Status result;
    for (auto& [path, t] : d_->tables)
        if (auto st = t->sync(); !st && result)
            result = st;
    return result;
}

Status Workspace::create(std::string_view file, const Structure& fields)
{
    std::string name(file);
    if (!hasExtension(name))
        name += ".dbf";
    const std::string p = resolve(name);
    if (d_->tables.count(canonical(p)))
        return Status::error("Cannot create " + p + ": the table is open");
    if (auto st = DbfFile::create(p, fields); !st)
        return st;
    if (std::any_of(fields.begin(), fields.end(), [](const FieldDef& f) { return f.type == 'M'; })) {
        std::string mp = p;
        mp.resize(mp.size() - 4);
        const bool upper = p.size() >= 4 && p.substr(p.size() - 4) == ".DBF";
        if (auto st = MemoFile::create(resolve(mp + (upper ? ".DBT" : ".dbt"))); !st)
            return st;
    }
    return {};
}

void Workspace::setDeletedVisible(bool visible) { d_->deletedVisible = visible; }
bool Workspace::deletedVisible() const { return d_->deletedVisible; }
void Workspace::setDateFormat(std::string picture) { d_->dateFormat = std::move(picture); }
const std::string& Workspace::dateFormat() const { return d_->dateFormat; }

Date Workspace::ctod(std::string_view text) const
{
    const std::string& pic = d_->dateFormat;
    auto part = [&](const char* token, size_t len) -> int {
        auto at = pic.find(token);
        if (at == std::string::npos || at + len > text.size())
            return -1;
        int v = 0;
        for (size_t i = at; i < at + len; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            v = v * 10 + (text[i] - '0');
        }
        return v;
    };
    Date d;
    d.day = part("dd", 2);
    d.month = part("MM", 2);
    d.year = part("yyyy", 4);
    if (d.day < 0 || d.month < 0 || d.year < 0 || !d.valid())
        return {};
    return d;
}

std::string Workspace::dtoc(Date d) const
{
    std::string out = d_->dateFormat;
    auto put = [&](const char* token, int value, size_t len) {
        auto at = out.find(token);
        if (at == std::string::npos)
            return;
        std::string v;
        if (!d.empty()) {
            v = std::to_string(value);
            v.insert(0, len > v.size() ? len - v.size() : 0, '0');
        } else {
            v.assign(len, ' ');
        }
        out.replace(at, len, v.substr(0, len));
    };
    put("yyyy", d.year, 4);
    put("MM", d.month, 2);
    put("dd", d.day, 2);
    return out;
}

} // namespace cn::data
