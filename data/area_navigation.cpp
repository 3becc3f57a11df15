// Navigation of a work area: the controlling order's scopes and the filter,
// seek, skip, the jumps and locate, and the key positions (ORDKEYNO,
// ORDKEYCOUNT).
//
// Navigation steps through the index by entry. Keys that start with the live
// flag let deleted records be skipped, and counted, by key alone.
#include "data/area.h"
#include "data/bytes.h"

#include <algorithm>

namespace cn::data {

using namespace detail;

namespace {
bool entryBefore(const NtxEntry& a, const NtxEntry& b)
{
    return a.key < b.key || (a.key == b.key && a.recNo < b.recNo);
}
} // namespace

// --- the steps of a move -------------------------------------------------------------

bool Area::prepareIndex(bool refresh)
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

bool Area::prepareMove(bool refresh)
{
    error_.clear();
    if (changed_ != 0)
        if (auto st = finishChange(); !st) {
            fail(st);
            return false;
        }
    return prepareIndex(refresh);
}

void Area::restorePosition(bool wasEof, uint32_t rec)
{
    if (wasEof) {
        setEof();
    } else {
        rec_ = rec;
        eof_ = false;
        load(rec_);
    }
}

bool Area::inBottom(std::string_view key) const
{
    const auto& b = scope().bottom;
    return !b || cmpPrefix(key, *b) <= 0;
}

bool Area::inTop(std::string_view key) const
{
    const auto& t = scope().top;
    return !t || cmpPrefix(key, *t) >= 0;
}

bool Area::moved(const Result<bool>& r, bool& have)
{
    if (!r) {
        fail(r.status());
        return false;
    }
    have = r.value();
    return true;
}

bool Area::outOfOrder(const IndexObj* ix)
{
    fail(Status::error(ErrorCode::Damaged, "The index " + ix->file->path() + " is damaged: its keys are out of order"));
    return false;
}

void Area::currentKey(std::string& out)
{
    ensure();
    if (posOrder_ == order_ && posRec_ == rec_ && posGen_ == t_->gen) {
        out = posKey_;
        return;
    }
    index()->expr.key(buf_.data(), out);
}

void Area::rememberEntry(const NtxEntry& e)
{
    posKey_ = e.key;
    posRec_ = e.recNo;
    posGen_ = t_->gen;
    posOrder_ = order_;
}

// --- scans, one routine for either direction ----------------------------------------

bool Area::scan(Dir d, bool have, NtxEntry& e)
{
    IndexObj* ix = index();
    NtxFile& f = *ix->file;
    const bool fwd = d == Dir::Forward;
    const bool fast = flagged() && !deletedVisible();
    auto inFar = [&](std::string_view k) { return fwd ? inBottom(k) : inTop(k); };
    auto inNear = [&](std::string_view k) { return fwd ? inTop(k) : inBottom(k); };
    while (have) {
        if (!inFar(e.key))
            return false;
        if (!inNear(e.key)) {   // short of the scope: jump to its start
            if (!moved(fwd ? f.seekGE(*scope().top, e) : f.seekLE(*scope().bottom, e), have))
                return false;
            if (have && !inNear(e.key))
                return outOfOrder(ix);
            continue;
        }
        if (fast && !e.key.empty() && e.key[0] == 'T') {
            // Every deleted key sorts after every live one: going forward
            // there is nothing more to see, going back the block is skipped.
            if (fwd)
                return false;
            if (!moved(f.seekLE("F", e), have))
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
        if (!moved(fwd ? f.next(e.key, e.recNo, e) : f.prev(e.key, e.recNo, e), have))
            return false;
        if (have && !(fwd ? entryBefore(before, e) : entryBefore(e, before)))
            return outOfOrder(ix);
    }
    return false;
}

bool Area::edge(Dir d)
{
    const bool fwd = d == Dir::Forward;
    if (!index()) {
        const uint32_t n = t_->count();
        for (uint32_t i = 1; i <= n; ++i)
            if (positionVisible(fwd ? i : n + 1 - i, fwd))
                return true;
        return false;
    }
    NtxFile& f = *index()->file;
    const auto& from = fwd ? scope().top : scope().bottom;
    NtxEntry e;
    auto r = from ? (fwd ? f.seekGE(*from, e) : f.seekLE(*from, e)) : (fwd ? f.first(e) : f.last(e));
    if (!r) {
        fail(r.status());
        return false;
    }
    return scan(d, *r, e);
}

bool Area::step(Dir d)
{
    const bool fwd = d == Dir::Forward;
    if (!index()) {
        for (uint32_t r = rec_;;) {
            if (fwd && r >= t_->count()) {
                (void)t_->refreshCount();   // another process may have appended
                if (r >= t_->count())
                    return false;
            }
            if (!fwd && r <= 1)
                return false;
            r = fwd ? r + 1 : r - 1;
            if (positionVisible(r, fwd))
                return true;
        }
    }
    currentKey(key_);
    NtxEntry e;
    auto r = fwd ? index()->file->next(key_, rec_, e) : index()->file->prev(key_, rec_, e);
    if (!r) {
        fail(r.status());
        return false;
    }
    return scan(d, *r, e);
}

// --- moves ----------------------------------------------------------------------------------

void Area::goTop()
{
    bof_ = false;
    if (mode_.shared)
        t_->dropReadAhead();   // a new walk reads the file afresh
    if (!prepareMove() || !edge(Dir::Forward))
        setEof();
    moved();
}

void Area::goBottom()
{
    bof_ = false;
    if (!prepareMove() || !edge(Dir::Backward))
        setEof();
    moved();
}

void Area::goTo(uint32_t recNo)
{
    bof_ = false;
    // Records are only ever added while a table is shared, so one the table
    // is known to hold needs no fresh look at the file's count (a search
    // going to thousands of found records would read the header each time);
    // one past it may have been appended by another program since.
    const bool known = recNo >= 1 && recNo <= t_->count();
    if (!prepareMove(!known) || recNo < 1 || recNo > t_->count()) {
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
    if (!prepareMove(false)) {
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
        for (long i = 0; i < n && !eof_; ++i)
            if (!step(Dir::Forward))
                setEof();
        moved();
        return;
    }
    long left = -n;
    if (eof_) {
        (void)t_->refreshCount();
        if (!edge(Dir::Backward)) {
            setEof();
            bof_ = true;
            moved();
            return;
        }
        --left;
    }
    for (; left > 0; --left) {
        if (!step(Dir::Backward)) {
            // Before the first record: stay on the first one, BOF set.
            if (!edge(Dir::Forward))
                setEof();
            bof_ = true;
            break;
        }
    }
    moved();
}

bool Area::seek(std::string_view key, bool soft)
{
    bof_ = false;
    found_ = false;
    if (!prepareMove() || !index()) {
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
    bool have = scan(Dir::Forward, *r, e);
    if (have && cmpPrefix(e.key, key) == 0) {
        found_ = true;
    } else if (!(have && soft)) {
        setEof();
    }
    moved();
    return found_;
}

bool Area::locate(Condition cond)
{
    found_ = false;
    bof_ = false;
    if (!prepareMove()) {
        setEof();
        moved();
        return false;
    }
    bool have = edge(Dir::Forward);
    while (have) {
        if (!cond || cond(*this)) {
            found_ = true;
            break;
        }
        have = step(Dir::Forward);
    }
    if (!have)
        setEof();
    moved();
    return found_;
}

// --- key positions --------------------------------------------------------------------

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
    if (!candidates.empty())
        restorePosition(saveEof, saveRec);
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
        restorePosition(false, here);
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

bool Area::goToKeyNo(uint32_t n)
{
    if (!index() || !countsByKey())
        return false;
    bof_ = false;
    uint64_t lo = 0, hi = 0;
    if (n < 1 || !prepareMove() || !visibleRange(lo, hi) || lo + n > hi) {
        setEof();
        moved();
        return true;
    }
    auto r = index()->file->entryAt(lo + n - 1);
    if (!r) {
        fail(r.status());
        setEof();
    } else if (!scan(Dir::Forward, r->have, r->at)) {
        setEof();
    }
    moved();
    return true;
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
        restorePosition(saveEof, here);
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

} // namespace cn::data
