#include "data/ntx_file.h"

#include "data/bytes.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <memory>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace cn::data {

namespace {

constexpr int kMaxDepth = 48;
constexpr size_t kCacheLimit = 24000;   // decoded pages kept in memory per index (at most about 30 MB)

// The pages of one descent from the root: a page that points back up the
// tree, or a tree deeper than any real index, ends the descent (damage)
// instead of looping.
struct DescentPath {
    uint32_t pages[kMaxDepth];
    int depth = 0;
    // Empty when the page may be entered, else what is wrong.
    std::string enter(uint32_t off)
    {
        for (int d = 0; d < depth; ++d)
            if (pages[d] == off)
                return "the page at " + std::to_string(off) + " points back up the tree";
        if (depth >= kMaxDepth)
            return "the tree is deeper than any real index";
        pages[depth++] = off;
        return {};
    }
};


int cmpEntry(std::string_view ka, uint32_t ra, std::string_view kb, uint32_t rb)
{
    int c = std::memcmp(ka.data(), kb.data(), std::min(ka.size(), kb.size()));
    if (c != 0)
        return c < 0 ? -1 : 1;
    if (ra != rb)
        return ra < rb ? -1 : 1;
    return 0;
}

std::string headerBytes(const NtxHeader& h)
{
    std::string buf(kNtxPageSize, '\0');
    auto* p = reinterpret_cast<unsigned char*>(buf.data());
    put16(p, h.signature);
    put16(p + 2, h.counter);
    put32(p + 4, h.root);
    put32(p + 8, h.freeList);
    put16(p + 12, h.itemSize);
    put16(p + 14, h.keyLength);
    put16(p + 16, h.keyDecimals);
    put16(p + 18, h.maxItems);
    put16(p + 20, h.halfPage);
    std::memcpy(p + 22, h.keyText.data(), std::min<size_t>(h.keyText.size(), 255));
    p[278] = h.unique ? 1 : 0;
    return buf;
}
} // namespace

uint16_t ntxMaxItems(uint16_t keyLength)
{
    int m = (1024 - 2) / (keyLength + 10) - 1;
    if (m % 2)
        --m;
    return static_cast<uint16_t>(std::max(m, 0));
}

struct NtxFile::Node {
    uint32_t offset = 0;
    bool dirty = false;
    bool isFree = false;
    uint32_t nextFree = 0;
    std::vector<uint32_t> child;   // n + 1
    std::vector<uint32_t> rec;     // n
    std::string keys;              // n * K
    size_t n() const { return rec.size(); }
    bool leaf() const { return child.empty() || child[0] == 0; }
};

void NtxBuildInput::add(std::string_view key, uint32_t recNo)
{
    size_t at = keys.size();
    keys.append(key.substr(0, keyLength));
    keys.append(keyLength - (keys.size() - at), ' ');
    recNos.push_back(recNo);
}

NtxFile::~NtxFile()
{
    (void)flush();
}

Status NtxFile::error(const std::string& what) const
{
    return Status::error(ErrorCode::Damaged, "The index " + path() + " is damaged: " + what);
}

std::string NtxFile::padKey(std::string_view key) const
{
    std::string k(key.substr(0, header_.keyLength));
    k.resize(header_.keyLength, ' ');
    return k;
}

Result<std::unique_ptr<NtxFile>> NtxFile::open(const std::string& path, bool writable)
{
    auto f = OsFile::open(path, writable);
    if (!f)
        return f.status();
    std::unique_ptr<NtxFile> x(new NtxFile);
    x->file_ = std::move(*f);
    auto size = x->file_.size();
    if (!size)
        return size.status();
    x->fileSize_ = *size;
    if (*size < kNtxPageSize)
        return x->error("the file is shorter than an index header");
    unsigned char h[kNtxPageSize];
    if (auto st = x->file_.readAt(0, h, sizeof h); !st)
        return st;
    NtxHeader& hd = x->header_;
    hd.signature = get16(h);
    hd.counter = get16(h + 2);
    hd.root = get32(h + 4);
    hd.freeList = get32(h + 8);
    hd.itemSize = get16(h + 12);
    hd.keyLength = get16(h + 14);
    hd.keyDecimals = get16(h + 16);
    hd.maxItems = get16(h + 18);
    hd.halfPage = get16(h + 20);
    size_t tl = 0;
    while (tl < 256 && h[22 + tl] != 0)
        ++tl;
    hd.keyText.assign(reinterpret_cast<const char*>(h + 22), tl);
    hd.unique = h[278] != 0;
    if (hd.signature != kNtxSignature && hd.signature != 3)
        return x->error("the signature is " + std::to_string(hd.signature) + ", not that of an index file");
    if (hd.keyLength < 1 || hd.keyLength > 250)
        return x->error("the key length " + std::to_string(hd.keyLength) + " is out of range");
    if (hd.itemSize != hd.keyLength + 8)
        return x->error("the item size does not match the key length");
    const uint32_t need = 2 + 2u * (hd.maxItems + 1u) + (hd.maxItems + 1u) * (hd.keyLength + 8u);
    if (hd.maxItems < 2 || need > kNtxPageSize)
        return x->error("a page claims " + std::to_string(hd.maxItems) + " keys, more than fit in a page");
    if (hd.root < kNtxPageSize || hd.root % kNtxPageSize != 0 || hd.root + kNtxPageSize > *size)
        return x->error("the root page offset " + std::to_string(hd.root) + " is outside the file");
    if (hd.keyText.empty())
        return x->error("it has no key expression");
    return x;
}

Status NtxFile::syncWithDisk()
{
    if (!shared_)
        return {};
    unsigned char h[12];
    if (auto st = file_.readAt(0, h, sizeof h); !st)
        return st;
    const uint16_t counter = get16(h + 2);
    if (counter == header_.counter)
        return {};
    dropCache();
    dirty_.clear();
    header_.counter = counter;
    header_.root = get32(h + 4);
    header_.freeList = get32(h + 8);
    auto size = file_.size();
    if (!size)
        return size.status();
    fileSize_ = *size;
    ++version_;
    if (header_.root < kNtxPageSize || header_.root % kNtxPageSize != 0 || header_.root + kNtxPageSize > fileSize_)
        return error("the root page offset " + std::to_string(header_.root) + " is outside the file");
    return {};
}

void NtxFile::dropCache()
{
    cache_.clear();
    cached_ = 0;
    counts_.clear();
}

NtxFile::Node* NtxFile::keep(uint32_t offset, std::unique_ptr<Node> n)
{
    const size_t i = offset / kNtxPageSize;
    if (i >= cache_.size())
        cache_.resize(std::max<size_t>(i + 1, cache_.size() + cache_.size() / 2));
    if (!cache_[i])
        ++cached_;
    cache_[i] = std::move(n);   // a reused free page replaces its old node
    return cache_[i].get();
}

Result<NtxFile::Node*> NtxFile::node(uint32_t offset)
{
    if (Node* n = offset % kNtxPageSize == 0 ? cached(offset) : nullptr) {
        if (n->isFree)
            return error("the page at " + std::to_string(offset) + " is both free and in use");
        return n;
    }
    auto page = readPage(offset);
    if (!page)
        return page.status();
    auto n = std::make_unique<Node>();
    n->offset = offset;
    n->child = std::move(page->child);
    n->rec = std::move(page->recNo);
    n->keys = std::move(page->keys);
    return keep(offset, std::move(n));
}

Result<NtxPage> NtxFile::readPage(uint32_t offset)
{
    const uint64_t end = std::max<uint64_t>(fileSize_, 0);
    if (offset < kNtxPageSize || offset % kNtxPageSize != 0 || static_cast<uint64_t>(offset) + kNtxPageSize > end)
        return error("a page offset " + std::to_string(offset) + " is outside the file");
    unsigned char p[kNtxPageSize];
    if (auto st = file_.readAt(offset, p, sizeof p); !st)
        return st;
    const uint16_t K = header_.keyLength;
    const uint16_t M = header_.maxItems;
    NtxPage pg;
    pg.offset = offset;
    pg.count = get16(p);
    if (pg.count > M)
        return error("the page at " + std::to_string(offset) + " claims " + std::to_string(pg.count) +
                     " keys, more than the " + std::to_string(M) + " that fit");
    pg.child.resize(pg.count + 1u);
    pg.recNo.resize(pg.count);
    pg.keys.resize(static_cast<size_t>(pg.count) * K);
    for (size_t i = 0; i <= pg.count; ++i) {
        const uint16_t off = get16(p + 2 + 2 * i);
        if (off < 2 || off + 8u + K > kNtxPageSize)
            return error("an item of the page at " + std::to_string(offset) + " lies outside the page");
        pg.child[i] = get32(p + off);
        if (i < pg.count) {
            pg.recNo[i] = get32(p + off + 4);
            std::memcpy(pg.keys.data() + i * K, p + off + 8, K);
        }
    }
    const bool leaf = pg.child[0] == 0;
    for (size_t i = 0; i <= pg.count; ++i) {
        if (leaf && pg.child[i] != 0)
            return error("the page at " + std::to_string(offset) + " mixes leaf and branch items");
        if (!leaf && (pg.child[i] == 0 || pg.child[i] == offset))
            return error("the page at " + std::to_string(offset) + " has a bad child pointer");
    }
    if (leaf)
        std::fill(pg.child.begin(), pg.child.end(), 0u);
    return pg;
}

void NtxFile::encodeNode(const Node& n, unsigned char* p) const
{
    std::memset(p, 0, kNtxPageSize);
    if (n.isFree) {
        put32(p, n.nextFree);
        return;
    }
    const uint16_t K = header_.keyLength;
    const uint16_t M = header_.maxItems;
    const uint32_t base = 2 + 2u * (M + 1u);
    put16(p, static_cast<uint32_t>(n.n()));
    for (uint32_t i = 0; i <= M; ++i)
        put16(p + 2 + 2 * i, base + i * (K + 8u));
    for (size_t i = 0; i <= n.n(); ++i) {
        unsigned char* item = p + base + i * (K + 8u);
        put32(item, n.leaf() ? 0 : n.child[i]);
        if (i < n.n()) {
            put32(item + 4, n.rec[i]);
            std::memcpy(item + 8, n.keys.data() + i * K, K);
        }
    }
}

Status NtxFile::writeNode(const Node& n)
{
    unsigned char p[kNtxPageSize];
    encodeNode(n, p);
    return file_.writeAt(n.offset, p, sizeof p);
}

Status NtxFile::writeDirty()
{
    std::sort(dirty_.begin(), dirty_.end());
    constexpr size_t kRun = 256;   // pages per write at most
    std::vector<unsigned char> run;
    size_t done = 0;                // dirty_[0 .. done) are written
    while (done < dirty_.size()) {
        // A run of neighbouring changed pages from dirty_[done].
        size_t end = done;
        uint32_t next = dirty_[done];
        run.clear();
        while (end < dirty_.size() && dirty_[end] == next && end - done < kRun) {
            const Node* n = cached(next);
            if (!n || !n->dirty)
                break;
            run.resize(run.size() + kNtxPageSize);
            encodeNode(*n, run.data() + run.size() - kNtxPageSize);
            ++end;
            next += kNtxPageSize;
        }
        if (end == done) {   // a page no longer held or already written
            ++done;
            continue;
        }
        if (auto st = file_.writeAt(dirty_[done], run.data(), run.size()); !st) {
            dirty_.erase(dirty_.begin(), dirty_.begin() + static_cast<std::ptrdiff_t>(done));
            return st;
        }
        for (size_t i = done; i < end; ++i)
            cached(dirty_[i])->dirty = false;
        done = end;
    }
    dirty_.clear();
    return {};
}

Status NtxFile::writeHeader()
{
    std::string h = headerBytes(header_);
    // Only the fixed fields: a foreign writer's reserved bytes stay as they are.
    return file_.writeAt(0, h.data(), 22);
}

void NtxFile::markDirty(Node* n)
{
    counts_.erase(n->offset);
    if (!n->dirty) {
        n->dirty = true;
        dirty_.push_back(n->offset);
    }
}

Result<NtxFile::Node*> NtxFile::newNode()
{
    uint32_t offset = 0;
    if (header_.freeList != 0) {
        const uint32_t f = header_.freeList;
        uint32_t next = 0;
        bool ok = f % kNtxPageSize == 0 && f >= kNtxPageSize && f + static_cast<uint64_t>(kNtxPageSize) <= fileSize_;
        if (const Node* c = ok ? cached(f) : nullptr) {
            ok = c->isFree;
            next = c->nextFree;
        } else if (ok) {
            unsigned char b[4];
            if (auto st = file_.readAt(f, b, 4); !st)
                return st;
            next = get32(b);
        }
        if (ok) {
            offset = f;
            header_.freeList = next;
        } else {
            header_.freeList = 0;   // a broken free list is dropped, never followed
        }
    }
    if (offset == 0) {
        uint64_t end = (fileSize_ + kNtxPageSize - 1) / kNtxPageSize * kNtxPageSize;
        if (end + kNtxPageSize > UINT32_MAX)
            return Status::error("The index " + path() + " is full");
        offset = static_cast<uint32_t>(end);
        fileSize_ = end + kNtxPageSize;
    }
    auto n = std::make_unique<Node>();
    n->offset = offset;
    n->child.assign(1, 0);
    Node* raw = keep(offset, std::move(n));
    markDirty(raw);
    headerDirty_ = true;
    return raw;
}

void NtxFile::freeNode(Node* n)
{
    n->isFree = true;
    n->child.clear();
    n->rec.clear();
    n->keys.clear();
    n->nextFree = header_.freeList;
    header_.freeList = n->offset;
    headerDirty_ = true;
    markDirty(n);
}

Status NtxFile::trimCache()
{
    if (cached_ <= kCacheLimit)
        return {};
    if (auto st = writeDirty(); !st)
        return st;
    // Drop half of the pages, keeping the root and the pages near it is not
    // worth the bookkeeping: any half will do, the rest come back on demand.
    const size_t root = header_.root / kNtxPageSize;
    for (size_t i = 0; i < cache_.size() && cached_ > kCacheLimit / 2; ++i) {
        if (cache_[i] && i != root) {
            cache_[i].reset();
            --cached_;
        }
    }
    return {};
}

Status NtxFile::flush()
{
    if (dirty_.empty() && !headerDirty_)
        return {};
    if (auto st = writeDirty(); !st)
        return st;
    ++header_.counter;
    headerDirty_ = false;
    return writeHeader();
}

Status NtxFile::sync()
{
    if (auto st = flush(); !st)
        return st;
    return file_.sync();
}

Status NtxFile::beginUpdate(ScopedLock& lock)
{
    if (!file_.writable())
        return Status::error("The index " + path() + " is open read-only");
    if (!shared_)
        return {};
    if (auto st = file_.lockWait(updateLockOffset(), 1, true); !st)
        return st;
    lock.adopt(&file_, updateLockOffset(), 1);
    return syncWithDisk();
}

Status NtxFile::endUpdate()
{
    ++version_;
    if (shared_) {
        if (auto st = flush(); !st)
            return st;
    } else {
        headerDirty_ = true;
    }
    return trimCache();
}

// --- searching ----------------------------------------------------------------

// A read-side guard: in a shared index, hold the update lock shared while
// reading and see the other process's changes first.
#define NTX_READ_GUARD()                                                            \
    ScopedLock readLock_;                                                           \
    if (shared_) {                                                                  \
        if (auto st_ = file_.lockWait(updateLockOffset(), 1, false); !st_)          \
            return st_;                                                             \
        readLock_.adopt(&file_, updateLockOffset(), 1);                             \
        if (auto st_ = syncWithDisk(); !st_)                                        \
            return st_;                                                             \
    }

Status NtxFile::refresh()
{
    NTX_READ_GUARD();
    return {};
}

namespace {
template <class Pred>
size_t firstTrue(const NtxFile::Node& n, uint16_t K, Pred pred)
{
    size_t lo = 0, hi = n.n();
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (pred(std::string_view(n.keys.data() + mid * K, K), n.rec[mid]))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}
} // namespace

// The first entry for which pred holds (pred false ... false true ... true).
template <class Pred>
static Result<bool> firstWhere(NtxFile& f, uint32_t root, uint16_t K, Pred pred, NtxEntry& out,
                               const std::function<Result<NtxFile::Node*>(uint32_t)>& load,
                               const std::function<Status(const std::string&)>& err)
{
    bool have = false;
    DescentPath path;
    uint32_t off = root;
    for (;;) {
        if (auto bad = path.enter(off); !bad.empty())
            return err(bad);
        auto nr = load(off);
        if (!nr)
            return nr.status();
        const NtxFile::Node& n = **nr;
        size_t i = firstTrue(n, K, pred);
        if (i < n.n()) {
            out.key.assign(n.keys.data() + i * K, K);
            out.recNo = n.rec[i];
            have = true;
        }
        if (n.leaf())
            return have;
        off = n.child[i];
    }
    (void)f;
}

// The last entry for which pred holds (pred true ... true false ... false).
template <class Pred>
static Result<bool> lastWhere(NtxFile& f, uint32_t root, uint16_t K, Pred pred, NtxEntry& out,
                              const std::function<Result<NtxFile::Node*>(uint32_t)>& load,
                              const std::function<Status(const std::string&)>& err)
{
    bool have = false;
    DescentPath path;
    uint32_t off = root;
    auto notPred = [&](std::string_view k, uint32_t r) { return !pred(k, r); };
    for (;;) {
        if (auto bad = path.enter(off); !bad.empty())
            return err(bad);
        auto nr = load(off);
        if (!nr)
            return nr.status();
        const NtxFile::Node& n = **nr;
        size_t i = firstTrue(n, K, notPred);
        if (i > 0) {
            out.key.assign(n.keys.data() + (i - 1) * K, K);
            out.recNo = n.rec[i - 1];
            have = true;
        }
        if (n.leaf())
            return have;
        off = n.child[i];
    }
    (void)f;
}

#define NTX_LOADERS                                                                          \
    auto load = [this](uint32_t o) { return node(o); };                                      \
    auto err = [this](const std::string& w) { return error(w); };                            \
    const uint16_t K = header_.keyLength;                                                    \
    (void)K;

Result<bool> NtxFile::first(NtxEntry& out)
{
    NTX_READ_GUARD();
    NTX_LOADERS;
    return firstWhere(*this, header_.root, K, [](std::string_view, uint32_t) { return true; }, out, load, err);
}

Result<bool> NtxFile::last(NtxEntry& out)
{
    NTX_READ_GUARD();
    NTX_LOADERS;
    return lastWhere(*this, header_.root, K, [](std::string_view, uint32_t) { return true; }, out, load, err);
}

Result<bool> NtxFile::seekGE(std::string_view prefix, NtxEntry& out)
{
    NTX_READ_GUARD();
    NTX_LOADERS;
    return firstWhere(*this, header_.root, K, [&](std::string_view k, uint32_t) { return cmpPrefix(k, prefix) >= 0; },
                      out, load, err);
}

Result<bool> NtxFile::seekGT(std::string_view prefix, NtxEntry& out)
{
    NTX_READ_GUARD();
    NTX_LOADERS;
    return firstWhere(*this, header_.root, K, [&](std::string_view k, uint32_t) { return cmpPrefix(k, prefix) > 0; },
                      out, load, err);
}

Result<bool> NtxFile::seekLE(std::string_view prefix, NtxEntry& out)
{
    NTX_READ_GUARD();
    NTX_LOADERS;
    return lastWhere(*this, header_.root, K, [&](std::string_view k, uint32_t) { return cmpPrefix(k, prefix) <= 0; },
                     out, load, err);
}

Result<bool> NtxFile::next(std::string_view key, uint32_t recNo, NtxEntry& out)
{
    NTX_READ_GUARD();
    NTX_LOADERS;
    const std::string k = padKey(key);
    return firstWhere(*this, header_.root, K,
                      [&](std::string_view e, uint32_t r) { return cmpEntry(e, r, k, recNo) > 0; }, out, load, err);
}

Result<bool> NtxFile::prev(std::string_view key, uint32_t recNo, NtxEntry& out)
{
    NTX_READ_GUARD();
    NTX_LOADERS;
    const std::string k = padKey(key);
    return lastWhere(*this, header_.root, K,
                     [&](std::string_view e, uint32_t r) { return cmpEntry(e, r, k, recNo) < 0; }, out, load, err);
}

Result<bool> NtxFile::contains(std::string_view key, uint32_t recNo)
{
    NTX_READ_GUARD();
    NTX_LOADERS;
    const std::string k = padKey(key);
    NtxEntry e;
    auto r = firstWhere(*this, header_.root, K,
                        [&](std::string_view ek, uint32_t er) { return cmpEntry(ek, er, k, recNo) >= 0; }, e, load,
                        err);
    if (!r)
        return r;
    return *r && e.recNo == recNo && e.key == k;
}

Status NtxFile::walk(std::string_view fromPrefix,
                     const std::function<bool(std::string_view key, uint32_t recNo)>& visit)
{
    NTX_READ_GUARD();
    const uint16_t K = header_.keyLength;
    struct Frame {
        uint32_t off;
        size_t i;
    };
    std::vector<Frame> stack;
    // A sound tree visits each page once; pages shared by damage could
    // otherwise make the walk endless in practice.
    uint64_t visits = 0;
    const uint64_t maxVisits = fileSize_ / kNtxPageSize + 1;
    auto descend = [&](uint32_t off, bool bounded) -> Status {
        for (;;) {
            if (++visits > maxVisits)
                return error("a page is reached twice");
            for (const auto& f : stack)
                if (f.off == off)
                    return error("the page at " + std::to_string(off) + " points back up the tree");
            if (stack.size() >= static_cast<size_t>(kMaxDepth))
                return error("the tree is deeper than any real index");
            auto nr = node(off);
            if (!nr)
                return nr.status();
            const Node& n = **nr;
            size_t i = 0;
            if (bounded && !fromPrefix.empty())
                i = firstTrue(n, K, [&](std::string_view k, uint32_t) { return cmpPrefix(k, fromPrefix) >= 0; });
            stack.push_back({off, i});
            if (n.leaf())
                return {};
            off = n.child[i];
        }
    };
    if (auto st = descend(header_.root, true); !st)
        return st;
    std::string key;
    while (!stack.empty()) {
        Frame& f = stack.back();
        auto nr = node(f.off);
        if (!nr)
            return nr.status();
        const Node& n = **nr;
        if (f.i >= n.n()) {
            stack.pop_back();
            continue;
        }
        key.assign(n.keys.data() + f.i * K, K);
        const uint32_t rec = n.rec[f.i];
        ++f.i;
        const bool leaf = n.leaf();
        const uint32_t nextChild = leaf ? 0 : n.child[f.i];
        if (!visit(key, rec))
            return {};
        if (!leaf)
            if (auto st = descend(nextChild, false); !st)
                return st;
    }
    return {};
}

// --- counting -----------------------------------------------------------------

Result<uint64_t> NtxFile::subtreeCount(uint32_t offset, int depth)
{
    if (const uint64_t* known = counts_.find(offset))
        return *known;
    // A cycle would come back to a page whose count is not known yet and so
    // run past any real depth.
    if (depth >= kMaxDepth)
        return error("the tree is deeper than any real index");
    auto nr = node(offset);
    if (!nr)
        return nr.status();
    const Node* n = *nr;   // pages are never evicted while reading
    uint64_t total = n->n();
    if (!n->leaf()) {
        for (size_t i = 0; i <= n->n(); ++i) {
            if (n->child[i] == offset)
                return error("the page at " + std::to_string(offset) + " points back up the tree");
            auto c = subtreeCount(n->child[i], depth + 1);
            if (!c)
                return c;
            total += *c;
        }
    }
    counts_.set(offset, total);
    return total;
}

// The file's pages after the header, front to back, a piece at a time in
// memory's buffer: page(number, bytes) for each, with eight bytes to spare
// after every page.
template <class Page>
Status NtxFile::forEachPage(uint64_t pageCount, NtxCheckMemory& memory, Page&& page)
{
    // No larger than the file: most index files are a few pages long.
    const uint64_t piecePages = std::min<uint64_t>(NtxCheckMemory::kPiece / kNtxPageSize, pageCount);
    auto* piece = reinterpret_cast<unsigned char*>(memory.buffer(piecePages * kNtxPageSize));
    for (uint64_t first = 1; first < pageCount; first += piecePages) {
        const uint64_t n = std::min(piecePages, pageCount - first);
        if (auto st = file_.readAt(first * kNtxPageSize, piece, n * kNtxPageSize); !st)
            return st;
        for (uint64_t k = 0; k < n; ++k)
            page(first + k, piece + k * kNtxPageSize);
    }
    return {};
}

// A position needs the counts of about half the tree's pages, and the first
// one asked would read them a page at a time. Instead the file is read front
// to back, each page's entries and children noted, and
// the pages reached from the root counted, children before their parent.
// Only while none of our pages waits to be written (the file then holds the
// tree as we know it); a page that does not look right leaves every count to
// the page-by-page way, which tells what is wrong with it.
void NtxFile::countFromFile()
{
    if (!counts_.empty() || !dirty_.empty() || fileSize_ < 2 * kNtxPageSize)
        return;
    const uint16_t K = header_.keyLength;
    const uint16_t M = header_.maxItems;
    const uint64_t pages = fileSize_ / kNtxPageSize;
    constexpr uint32_t kBad = UINT32_MAX, kLeaf = UINT32_MAX - 1;
    std::vector<uint16_t> items(pages, 0);
    std::vector<uint32_t> childrenAt(pages, kBad);   // where a branch's children start in `children`
    std::vector<uint32_t> children;                  // page numbers
    auto takePage = [&](uint64_t number, const unsigned char* p) {
        const uint16_t count = get16(p);
        if (count > M)
            return;
        const size_t start = children.size();
        bool leaf = false, sound = true;
        for (size_t j = 0; j <= count && sound; ++j) {
            const uint16_t off = get16(p + 2 + 2 * j);
            if (off < 2 || off + 8u + K > kNtxPageSize) {
                sound = false;
                break;
            }
            const uint32_t child = get32(p + off);
            if (j == 0 && child == 0) {   // a leaf: its count is all it adds
                leaf = true;
                break;
            }
            if (child == 0 || child % kNtxPageSize != 0 || child / kNtxPageSize >= pages)
                sound = false;
            else
                children.push_back(child / kNtxPageSize);
        }
        if (!sound) {
            children.resize(start);
            return;
        }
        items[number] = count;
        childrenAt[number] = leaf ? kLeaf : static_cast<uint32_t>(start);
    };
    NtxCheckMemory memory;
    if (!forEachPage(pages, memory, takePage))
        return;

    std::vector<uint64_t> count(pages, 0);
    std::vector<uint8_t> state(pages, 0);   // 0 not reached, 1 on the path, 2 counted
    struct Frame {
        uint32_t page;
        uint32_t next;   // the next child to count
    };
    Frame stack[kMaxDepth];
    int depth = 0;
    auto enter = [&](uint64_t page) {
        if (page == 0 || page >= pages || childrenAt[page] == kBad || state[page] != 0 || depth >= kMaxDepth)
            return false;
        state[page] = 1;
        stack[depth++] = {static_cast<uint32_t>(page), 0};
        return true;
    };
    if (header_.root % kNtxPageSize != 0 || !enter(header_.root / kNtxPageSize))
        return;
    while (depth > 0) {
        Frame& f = stack[depth - 1];
        const uint32_t at = childrenAt[f.page];
        if (at != kLeaf && f.next <= items[f.page]) {
            if (!enter(children[at + f.next++]))
                return;
            continue;
        }
        uint64_t total = items[f.page];
        if (at != kLeaf)
            for (uint32_t j = 0; j <= items[f.page]; ++j)
                total += count[children[at + j]];
        count[f.page] = total;
        state[f.page] = 2;
        --depth;
    }
    for (uint64_t page = pages; page-- > 1;)   // the last first: one allocation
        if (state[page] == 2)
            counts_.set(static_cast<uint32_t>(page * kNtxPageSize), count[page]);
}

// From the root down: step(page, depth) reads a page and gives the child to
// go down to, 0 to stop there. A page met twice on the way, or a tree
// deeper than any real index, is damage.
template <class Step>
Status NtxFile::descend(Step&& step)
{
    DescentPath path;
    for (uint32_t off = header_.root; off != 0;) {
        if (auto bad = path.enter(off); !bad.empty())
            return error(bad);
        auto nr = node(off);
        if (!nr)
            return nr.status();
        auto next = step(**nr, path.depth);   // pages are never evicted while reading
        if (!next)
            return next.status();
        off = *next;
    }
    return {};
}

// The entries before the first one for which pred holds (pred false ...
// false true ... true), and that entry: the descent of firstWhere adding up
// what lies to the left of the path.
template <class Pred>
Result<NtxRank> NtxFile::rankWhere(Pred pred)
{
    countFromFile();
    const uint16_t K = header_.keyLength;
    NtxRank out;
    const Status st = descend([&](const Node& n, int depth) -> Result<uint32_t> {
        const size_t i = firstTrue(n, K, pred);
        out.before += i;
        if (i < n.n()) {
            out.at.key.assign(n.keys.data() + i * K, K);
            out.at.recNo = n.rec[i];
            out.have = true;
        }
        if (n.leaf())
            return 0u;
        for (size_t j = 0; j < i; ++j) {
            auto c = subtreeCount(n.child[j], depth);
            if (!c)
                return c.status();
            out.before += *c;
        }
        return n.child[i];
    });
    if (!st)
        return st;
    return out;
}

Result<uint64_t> NtxFile::countAll()
{
    NTX_READ_GUARD();
    countFromFile();
    return subtreeCount(header_.root, 0);
}

Result<NtxRank> NtxFile::rankGE(std::string_view prefix)
{
    NTX_READ_GUARD();
    return rankWhere([&](std::string_view k, uint32_t) { return cmpPrefix(k, prefix) >= 0; });
}

Result<NtxRank> NtxFile::rankGT(std::string_view prefix)
{
    NTX_READ_GUARD();
    return rankWhere([&](std::string_view k, uint32_t) { return cmpPrefix(k, prefix) > 0; });
}

Result<NtxRank> NtxFile::rankOf(std::string_view key, uint32_t recNo)
{
    NTX_READ_GUARD();
    const std::string k = padKey(key);
    return rankWhere([&](std::string_view e, uint32_t r) { return cmpEntry(e, r, k, recNo) >= 0; });
}

// The descent by the pages' counts: in each page the child holding the
// rank, or the page's own entry when the children to its left hold exactly
// that many.
Result<NtxRank> NtxFile::entryAt(uint64_t rank)
{
    NTX_READ_GUARD();
    countFromFile();
    const uint16_t K = header_.keyLength;
    NtxRank out;
    out.before = rank;
    uint64_t left = rank;
    auto take = [&](const Node& n, size_t i) {
        out.have = true;
        out.at.key.assign(n.keys.data() + i * K, K);
        out.at.recNo = n.rec[i];
        return 0u;
    };
    const Status st = descend([&](const Node& n, int depth) -> Result<uint32_t> {
        if (n.leaf())
            return left < n.n() ? take(n, static_cast<size_t>(left)) : 0u;
        for (size_t i = 0;; ++i) {
            auto c = subtreeCount(n.child[i], depth);
            if (!c)
                return c.status();
            if (left < *c)
                return n.child[i];
            left -= *c;
            if (i == n.n())
                return 0u;   // past the last entry
            if (left == 0)
                return take(n, i);
            --left;
        }
    });
    if (!st)
        return st;
    return out;
}

// --- updating -----------------------------------------------------------------

Status NtxFile::insertAt(uint32_t pageOff, std::string_view key, uint32_t recNo, int depth, bool& split,
                         std::string& upKey, uint32_t& upRec, uint32_t& upRight)
{
    split = false;
    if (depth >= kMaxDepth)
        return error("the tree is deeper than any real index");
    counts_.erase(pageOff);   // one entry more below, whatever happens further down
    auto nr = node(pageOff);
    if (!nr)
        return nr.status();
    Node* n = *nr;
    const uint16_t K = header_.keyLength;
    size_t pos = firstTrue(*n, K, [&](std::string_view k, uint32_t r) { return cmpEntry(k, r, key, recNo) >= 0; });
    if (pos < n->n() && n->rec[pos] == recNo && std::memcmp(n->keys.data() + pos * K, key.data(), K) == 0)
        return {};   // already there
    std::string_view insKey = key;
    uint32_t insRec = recNo;
    uint32_t insRight = 0;
    std::string childUpKey;
    if (!n->leaf()) {
        bool childSplit = false;
        uint32_t cr = 0, cRight = 0;
        if (auto st = insertAt(n->child[pos], key, recNo, depth + 1, childSplit, childUpKey, cr, cRight); !st)
            return st;
        if (!childSplit)
            return {};
        // the page may have been reloaded: look it up again
        nr = node(pageOff);
        if (!nr)
            return nr.status();
        n = *nr;
        insKey = childUpKey;
        insRec = cr;
        insRight = cRight;
    }
    n->keys.insert(pos * K, insKey.data(), K);
    n->rec.insert(n->rec.begin() + static_cast<long>(pos), insRec);
    n->child.insert(n->child.begin() + static_cast<long>(pos) + 1, insRight);
    markDirty(n);
    if (n->n() <= header_.maxItems)
        return {};
    // Split: left keeps the first half, the middle entry goes up, the rest moves right.
    auto rr = newNode();
    if (!rr)
        return rr.status();
    Node* right = *rr;
    const size_t mid = n->n() / 2;
    upKey.assign(n->keys.data() + mid * K, K);
    upRec = n->rec[mid];
    right->keys.assign(n->keys, (mid + 1) * K, std::string::npos);
    right->rec.assign(n->rec.begin() + static_cast<long>(mid) + 1, n->rec.end());
    right->child.assign(n->child.begin() + static_cast<long>(mid) + 1, n->child.end());
    n->keys.resize(mid * K);
    n->rec.resize(mid);
    n->child.resize(mid + 1);
    upRight = right->offset;
    split = true;
    return {};
}

Status NtxFile::insert(std::string_view key, uint32_t recNo)
{
    ScopedLock lock;
    if (auto st = beginUpdate(lock); !st)
        return st;
    const std::string k = padKey(key);
    if (header_.unique) {
        NtxEntry e;
        NTX_LOADERS;
        auto r = firstWhere(*this, header_.root, K, [&](std::string_view ek, uint32_t) { return cmpPrefix(ek, k) >= 0; },
                            e, load, err);
        if (!r)
            return r.status();
        if (*r && e.key == k)
            return endUpdate();   // a unique index keeps the first record of a key
    }
    bool split = false;
    std::string upKey;
    uint32_t upRec = 0, upRight = 0;
    if (auto st = insertAt(header_.root, k, recNo, 0, split, upKey, upRec, upRight); !st)
        return st;
    if (split) {
        auto rr = newNode();
        if (!rr)
            return rr.status();
        Node* root = *rr;
        root->keys = upKey;
        root->rec = {upRec};
        root->child = {header_.root, upRight};
        header_.root = root->offset;
        headerDirty_ = true;
    }
    return endUpdate();
}

Status NtxFile::fixChild(Node* parent, size_t i)
{
    const uint16_t K = header_.keyLength;
    const size_t half = header_.maxItems / 2;
    auto cr = node(parent->child[i]);
    if (!cr)
        return cr.status();
    Node* c = *cr;
    if (c->n() >= half)
        return {};
    Node* left = nullptr;
    Node* right = nullptr;
    if (i > 0) {
        auto r = node(parent->child[i - 1]);
        if (!r)
            return r.status();
        left = *r;
    }
    if (i < parent->n()) {
        auto r = node(parent->child[i + 1]);
        if (!r)
            return r.status();
        right = *r;
    }
    if (left && left->leaf() != c->leaf())
        return error("pages at " + std::to_string(left->offset) + " and " + std::to_string(c->offset) +
                     " are siblings of different depth");
    if (right && right->leaf() != c->leaf())
        return error("pages at " + std::to_string(right->offset) + " and " + std::to_string(c->offset) +
                     " are siblings of different depth");
    if (left && left->n() > half) {
        // Rotate right: the parent's separator comes down to the front of c.
        c->keys.insert(0, parent->keys, (i - 1) * K, K);
        c->rec.insert(c->rec.begin(), parent->rec[i - 1]);
        c->child.insert(c->child.begin(), left->child.back());
        parent->keys.replace((i - 1) * K, K, left->keys, (left->n() - 1) * K, K);
        parent->rec[i - 1] = left->rec.back();
        left->keys.resize((left->n() - 1) * K);
        left->rec.pop_back();
        left->child.pop_back();
        markDirty(c); markDirty(left); markDirty(parent);
        return {};
    }
    if (right && right->n() > half) {
        // Rotate left: the parent's separator goes to the end of c.
        c->keys.append(parent->keys, i * K, K);
        c->rec.push_back(parent->rec[i]);
        c->child.push_back(right->child.front());
        parent->keys.replace(i * K, K, right->keys, 0, K);
        parent->rec[i] = right->rec.front();
        right->keys.erase(0, K);
        right->rec.erase(right->rec.begin());
        right->child.erase(right->child.begin());
        markDirty(c); markDirty(right); markDirty(parent);
        return {};
    }
    // Merge with a sibling around the parent's separator.
    size_t sep = i;
    Node* a = c;
    Node* b = right;
    if (left) {
        sep = i - 1;
        a = left;
        b = c;
    }
    if (!b)
        return {};   // an only child: nothing to merge with
    if (a->n() + 1 + b->n() > header_.maxItems)
        return {};   // cannot happen with sane pages; leave as is
    a->keys.append(parent->keys, sep * K, K);
    a->rec.push_back(parent->rec[sep]);
    a->keys += b->keys;
    a->rec.insert(a->rec.end(), b->rec.begin(), b->rec.end());
    a->child.insert(a->child.end(), b->child.begin(), b->child.end());
    parent->keys.erase(sep * K, K);
    parent->rec.erase(parent->rec.begin() + static_cast<long>(sep));
    parent->child.erase(parent->child.begin() + static_cast<long>(sep) + 1);
    markDirty(a); markDirty(parent);
    freeNode(b);
    return {};
}

Status NtxFile::removeMax(uint32_t pageOff, std::string& key, uint32_t& recNo, int depth)
{
    if (depth >= kMaxDepth)
        return error("the tree is deeper than any real index");
    counts_.erase(pageOff);
    auto nr = node(pageOff);
    if (!nr)
        return nr.status();
    Node* n = *nr;
    const uint16_t K = header_.keyLength;
    if (n->leaf()) {
        if (n->n() == 0)
            return error("the page at " + std::to_string(pageOff) + " is empty where an entry is needed");
        key.assign(n->keys.data() + (n->n() - 1) * K, K);
        recNo = n->rec.back();
        n->keys.resize((n->n() - 1) * K);
        n->rec.pop_back();
        n->child.pop_back();
        markDirty(n);
        return {};
    }
    if (auto st = removeMax(n->child.back(), key, recNo, depth + 1); !st)
        return st;
    return fixChild(n, n->n());
}

Status NtxFile::removeAt(uint32_t pageOff, std::string_view key, uint32_t recNo, int depth, bool& found)
{
    if (depth >= kMaxDepth)
        return error("the tree is deeper than any real index");
    counts_.erase(pageOff);
    auto nr = node(pageOff);
    if (!nr)
        return nr.status();
    Node* n = *nr;
    const uint16_t K = header_.keyLength;
    size_t pos = firstTrue(*n, K, [&](std::string_view k, uint32_t r) { return cmpEntry(k, r, key, recNo) >= 0; });
    const bool here = pos < n->n() && n->rec[pos] == recNo && std::memcmp(n->keys.data() + pos * K, key.data(), K) == 0;
    if (n->leaf()) {
        if (here) {
            n->keys.erase(pos * K, K);
            n->rec.erase(n->rec.begin() + static_cast<long>(pos));
            n->child.pop_back();
            markDirty(n);
            found = true;
        }
        return {};
    }
    if (here) {
        std::string k;
        uint32_t r = 0;
        if (auto st = removeMax(n->child[pos], k, r, depth + 1); !st)
            return st;
        n->keys.replace(pos * K, K, k);
        n->rec[pos] = r;
        markDirty(n);
        found = true;
        return fixChild(n, pos);
    }
    if (auto st = removeAt(n->child[pos], key, recNo, depth + 1, found); !st)
        return st;
    return found ? fixChild(n, pos) : Status {};
}

Status NtxFile::remove(std::string_view key, uint32_t recNo)
{
    ScopedLock lock;
    if (auto st = beginUpdate(lock); !st)
        return st;
    const std::string k = padKey(key);
    bool found = false;
    if (auto st = removeAt(header_.root, k, recNo, 0, found); !st)
        return st;
    auto rr = node(header_.root);
    if (!rr)
        return rr.status();
    Node* root = *rr;
    if (root->n() == 0 && !root->leaf()) {
        header_.root = root->child[0];
        headerDirty_ = true;
        freeNode(root);
    }
    return endUpdate();
}

Status NtxFile::replace(std::string_view oldKey, std::string_view newKey, uint32_t recNo)
{
    if (padKey(oldKey) == padKey(newKey))
        return {};
    if (auto st = remove(oldKey, recNo); !st)
        return st;
    return insert(newKey, recNo);
}

// --- checking -----------------------------------------------------------------

namespace {

// memcmp of two keys of the same length, a word at a time (a walk compares
// every key with the one before it).
inline __attribute__((always_inline)) int compareKeys(const unsigned char* a, const unsigned char* b, size_t n)
{
    if (n < 8)
        return std::memcmp(a, b, n);
    auto word = [](const unsigned char* p) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        return __builtin_bswap64(w);
    };
    for (size_t i = 0; i + 8 < n; i += 8) {
        const uint64_t x = word(a + i), y = word(b + i);
        if (x != y)
            return x < y ? -1 : 1;
    }
    const uint64_t x = word(a + n - 8), y = word(b + n - 8);   // the last word overlaps the one before
    return x == y ? 0 : x < y ? -1 : 1;
}

// Whether entry a (its key's words, first word first, and its record)
// comes strictly before entry b, as their bytes and then their record
// numbers order them: the borrow out of a - b, the words taken as the digits
// of one number with the record number last. No branch per word, as a check
// compares every key with the one before it.
inline __attribute__((always_inline)) bool ntxWordsBefore(const uint64_t* a, uint32_t aRec, const uint64_t* b,
                                                          uint32_t bRec, size_t n)
{
    unsigned char borrow = aRec < bRec;
#pragma GCC unroll 8
    for (size_t j = n; j-- > 0;) {
#if defined(__x86_64__)
        unsigned long long diff;
        borrow = _subborrow_u64(borrow, a[j], b[j], &diff);
#else
        borrow = a[j] < b[j] || (a[j] == b[j] && borrow);
#endif
    }
    return borrow != 0;
}

} // namespace

// What a check keeps of one page from reading the file front to back: enough
// to walk the tree afterwards without the file. A page's own faults are only
// told if the walk reaches it (a page on the free list may hold anything).
struct NtxScanPage {
    enum Fault : uint8_t { None, TooMany, ItemOutside, Mixed, BadChild, BadRecord, OutOfOrder };
    uint64_t sum = 0;          // the hashes of its entries
    uint32_t children = 0;     // a branch: where its count + 1 child offsets start in the walk's list
    uint32_t bounds = 0;       // where its kept entries start: a leaf's first and last, a branch's every one
    uint32_t detail = 0;       // the fault's number (a count, a record number)
    uint16_t count = 0;
    uint8_t fault = None;
    bool leaf = false;
};

// The file is read front to back in large pieces and each page taken as it
// comes: its items checked, its keys checked in order and hashed. Then the
// tree is walked from the root over what was kept of each page, checking
// what spans pages: every page reached once and from above, leaves at one
// depth, the keys of neighbouring pages in order. Reading in file order keeps
// the check's memory small and its reads sequential however the pages of a
// long-used index lie. Each key is read once, as the words it is hashed in
// (words), and the same words put it in order after the key before it: they
// cover the key front to back, each a big-endian number of its own bytes, so
// the first word that differs orders the two keys as their bytes do.
// maxRecord, when given, is the highest record number an entry may name.
Status NtxFile::scanTree(std::optional<uint32_t> maxRecord, const std::vector<NtxHashWord>& words, NtxDigest& out,
                         NtxCheckMemory& memory)
{
    NTX_READ_GUARD();
    // Check what is on disk: write our own pending pages first.
    if (!shared_)
        if (auto st = flush(); !st)
            return st;
    auto size = file_.size();
    if (!size)
        return size.status();
    const uint16_t K = header_.keyLength;
    const uint16_t M = header_.maxItems;
    const uint64_t pageCount = *size / kNtxPageSize;
    if (pageCount == 0)
        return error("the file is shorter than an index header");
    if (pageCount > UINT32_MAX / kNtxPageSize)
        return error("the file is larger than any index");

    // A record number is taken as rec - recLow < recSpan: 1..maxRecord, or
    // any without a table.
    const uint64_t recLow = maxRecord ? 1 : 0;
    const uint64_t recSpan = maxRecord ? uint64_t(*maxRecord) : uint64_t(1) << 32;
    const unsigned lastItem = kNtxPageSize - 8u - K;   // the last offset an item may start at
    std::vector<NtxScanPage>& pages = memory.pages_;
    pages.assign(pageCount, {});
    std::vector<uint32_t>& children = memory.children_;
    children.clear();
    std::vector<unsigned char>& boundKeys = memory.boundKeys_;   // K bytes per kept entry
    boundKeys.clear();
    std::vector<uint32_t>& boundRecs = memory.boundRecs_;
    boundRecs.clear();
    // Most pages are leaves, which keep two entries each: room for those
    // at once rather than growing into it.
    boundKeys.reserve(2 * pageCount * K);
    boundRecs.reserve(2 * pageCount);
    auto keep = [&](const unsigned char* item) {
        boundKeys.insert(boundKeys.end(), item + 8, item + 8 + K);
        boundRecs.push_back(get32(item + 4));
    };
    const NtxHashWord* const W = words.data();
    const size_t nWords = words.size();
    // For a key of more words than the page loop is made for (eight).
    std::vector<uint64_t> wordsA(nWords), wordsB(nWords);
    // Where each word lies in an item, its shift and weight.
    std::vector<uint32_t> itemAt(nWords), itemShift(nWords);
    std::vector<uint64_t> itemWeight(nWords);
    for (size_t j = 0; j < nWords; ++j) {
        itemAt[j] = W[j].at + 8u;
        itemShift[j] = W[j].shift;
        itemWeight[j] = W[j].weight;
    }

    // What is wrong with a page's items themselves, if anything: each inside
    // the page, and a child for each or for none.
    auto itemFault = [&](const unsigned char* page, NtxScanPage& info) {
        for (size_t i = 0; i <= info.count; ++i) {
            const uint16_t o = get16(page + 2 + 2 * i);
            if (o < 2 || o + 8u + K > kNtxPageSize)
                return NtxScanPage::ItemOutside;
            const bool noChild = get32(page + o) == 0;
            if (i == 0)
                info.leaf = noChild;
            else if (noChild != info.leaf)
                return info.leaf ? NtxScanPage::Mixed : NtxScanPage::BadChild;
        }
        return NtxScanPage::None;
    };

    // One page, its keys of N words (0: of nWords, more than eight).
    // Words are loaded at any place of a key: each page has eight bytes to
    // spare after it.
    auto takePage = [&]<size_t N, bool ByteFirst, bool Whole>(uint64_t number, const unsigned char* page) {
        NtxScanPage& info = pages[number];
        info.count = get16(page);
        if (info.count > M) {
            info.fault = NtxScanPage::TooMany;
            info.detail = info.count;
            return;
        }
        // One pass over the items: each checked, its key read as its words,
        // hashed and put in order after the key before it. The item after
        // the last entry holds only the last child.
        const size_t n = N ? N : nWords;
        // What the loop reads of the check, as values of its own (a
        // reference would be read again after every store).
        const uint64_t low = recLow, span = recSpan;
        const unsigned last = lastItem;
        uint64_t fixedA[N ? N : 1] = {}, fixedB[N ? N : 1] = {};
        uint32_t fixedAt[N ? N : 1], fixedShift[N ? N : 1];
        uint64_t fixedWeight[N ? N : 1];
        const uint32_t* at = itemAt.data();
        const uint32_t* shift = itemShift.data();
        const uint64_t* weight = itemWeight.data();
        if constexpr (N != 0) {
            std::copy_n(at, N, fixedAt);
            std::copy_n(shift, N, fixedShift);
            std::copy_n(weight, N, fixedWeight);
            at = fixedAt;
            shift = fixedShift;
            weight = fixedWeight;
        }
        uint64_t* cur = N ? fixedA : wordsA.data();
        uint64_t* prev = N ? fixedB : wordsB.data();
        uint32_t prevRec = 0;
        uint64_t sum = 0;
        NtxScanPage::Fault fault = NtxScanPage::None;
        const unsigned count = info.count;
        const unsigned first = get16(page + 2);
        const bool leaf = first >= 2 && first <= last && get32(page + first) == 0;
        info.leaf = leaf;
        for (unsigned i = 0; i <= count; ++i) {
            const unsigned o = get16(page + 2 + 2 * i);
            if (__builtin_expect(o - 2u > last - 2u, 0)) {   // before 2 or past the last place
                fault = NtxScanPage::ItemOutside;
                break;
            }
            const unsigned char* it = page + o;
            if (__builtin_expect((get32(it) == 0) != leaf, 0)) {
                fault = leaf ? NtxScanPage::Mixed : NtxScanPage::BadChild;
                break;
            }
            if (i == count)
                break;
            const uint32_t rec = get32(it + 4);
            if (__builtin_expect(rec - low >= span, 0)) {
                fault = NtxScanPage::BadRecord;
                info.detail = rec;
                break;
            }
            uint64_t h = 0;
#pragma GCC unroll 8
            for (size_t j = 0; j < n; ++j) {
                const char* const word = reinterpret_cast<const char*>(it) + at[j];
                cur[j] = ByteFirst && j == 0 ? it[8] : ntxLoadWord(word, Whole ? 0 : shift[j]);
                h += cur[j] * weight[j];
            }
            if (i > 0 && !ntxWordsBefore(prev, prevRec, cur, rec, n)) {
                fault = NtxScanPage::OutOfOrder;
                break;
            }
            if constexpr (N != 0) {
#pragma GCC unroll 8
                for (size_t j = 0; j < n; ++j)
                    prev[j] = cur[j];
            } else {
                std::swap(cur, prev);
            }
            prevRec = rec;
            sum += NtxEntryHash::finish(h, rec);
        }
        // A fault of the items themselves is told before one of their
        // entries, wherever it lies in the page.
        if (fault == NtxScanPage::BadRecord || fault == NtxScanPage::OutOfOrder)
            if (const NtxScanPage::Fault f = itemFault(page, info); f != NtxScanPage::None)
                fault = f;
        info.fault = fault;
        if (fault != NtxScanPage::None)
            return;
        auto item = [&](size_t i) { return page + get16(page + 2 + 2 * i); };
        info.sum = sum;
        info.bounds = static_cast<uint32_t>(boundRecs.size());
        if (info.leaf) {
            if (info.count > 0) {
                keep(item(0));
                keep(item(info.count - 1u));
            }
        } else {
            info.children = static_cast<uint32_t>(children.size());
            for (size_t i = 0; i <= info.count; ++i)
                children.push_back(get32(item(i)));
            for (size_t i = 0; i < info.count; ++i)
                keep(item(i));
        }
    };
    auto readPages = [&]<size_t N, bool ByteFirst, bool Whole>() {
        return forEachPage(pageCount, memory, [&](uint64_t number, const unsigned char* page) {
            takePage.template operator()<N, ByteFirst, Whole>(number, page);
        });
    };
    // Most keys start with a piece of one byte (the deletion flag): that
    // word is the byte itself. In most the other words are whole ones,
    // shifted by nothing.
    const bool byteFirst = nWords > 0 && W[0].at == 0 && W[0].shift == 56;
    const bool whole =
        std::all_of(W + (byteFirst ? 1 : 0), W + nWords, [](const NtxHashWord& w) { return w.shift == 0; });
    auto readPagesOf = [&]<size_t N>() {
        if (byteFirst)
            return whole ? readPages.template operator()<N, true, true>()
                         : readPages.template operator()<N, true, false>();
        return whole ? readPages.template operator()<N, false, true>()
                     : readPages.template operator()<N, false, false>();
    };
    Status read;
    switch (nWords) {
    case 1: read = readPagesOf.template operator()<1>(); break;
    case 2: read = readPagesOf.template operator()<2>(); break;
    case 3: read = readPagesOf.template operator()<3>(); break;
    case 4: read = readPagesOf.template operator()<4>(); break;
    case 5: read = readPagesOf.template operator()<5>(); break;
    case 6: read = readPagesOf.template operator()<6>(); break;
    case 7: read = readPagesOf.template operator()<7>(); break;
    case 8: read = readPagesOf.template operator()<8>(); break;
    default: read = readPagesOf.template operator()<0>(); break;
    }
    if (!read)
        return read;

    std::vector<bool>& seen = memory.seen_;
    seen.assign(pageCount, false);
    struct Frame {
        uint32_t off;
        uint16_t next;   // a branch: the child to go down next, then the item of that number
    };
    Frame stack[kMaxDepth];
    int depth = 0;
    int leafDepth = -1;
    auto enter = [&](uint32_t off) -> Status {
        auto at = [off] { return "the page at " + std::to_string(off); };
        if (off < kNtxPageSize || off % kNtxPageSize != 0 || off / kNtxPageSize >= pageCount)
            return error("a page offset " + std::to_string(off) + " is outside the file");
        if (depth > 0 && stack[depth - 1].off == off)
            return error(at() + " points to itself");
        for (int d = 0; d < depth; ++d)
            if (stack[d].off == off)
                return error(at() + " points back up the tree");
        if (seen[off / kNtxPageSize])
            return error(at() + " is reached twice (a cycle or shared page)");
        if (depth >= kMaxDepth)
            return error("the tree is deeper than any real index");
        seen[off / kNtxPageSize] = true;
        const NtxScanPage& info = pages[off / kNtxPageSize];
        switch (info.fault) {
        case NtxScanPage::None:
            break;
        case NtxScanPage::TooMany:
            return error(at() + " claims " + std::to_string(info.detail) + " keys, more than the " +
                         std::to_string(M) + " that fit");
        case NtxScanPage::ItemOutside:
            return error("an item of " + at() + " lies outside the page");
        case NtxScanPage::Mixed:
            return error(at() + " mixes leaf and branch items");
        case NtxScanPage::BadChild:
            return error(at() + " has a bad child pointer");
        case NtxScanPage::BadRecord:
            return error("an entry names record " + std::to_string(info.detail) + " but the table has " +
                         std::to_string(maxRecord.value_or(0)));
        case NtxScanPage::OutOfOrder:
            return error("keys out of order in " + at());
        }
        if (info.leaf) {
            if (leafDepth < 0)
                leafDepth = depth;
            else if (leafDepth != depth)
                return error("leaves at different depths (page " + std::to_string(off) + ")");
        }
        out.entries += info.count;
        out.sum += info.sum;
        stack[depth++] = {off, 0};
        return {};
    };

    // The last entry passed in key order, and the check that the next one
    // follows it.
    const unsigned char* prevKey = nullptr;
    uint32_t prevRec = 0;
    auto follows = [&](uint32_t bound, uint32_t pageOff) -> Status {
        const unsigned char* key = boundKeys.data() + static_cast<size_t>(bound) * K;
        const uint32_t rec = boundRecs[bound];
        if (prevKey) {
            const int c = compareKeys(prevKey, key, K);
            if (c > 0 || (c == 0 && prevRec >= rec))
                return error("keys out of order in the page at " + std::to_string(pageOff));
        }
        prevKey = key;
        prevRec = rec;
        return {};
    };

    if (auto st = enter(header_.root); !st)
        return st;
    while (depth > 0) {
        Frame& f = stack[depth - 1];
        const NtxScanPage& info = pages[f.off / kNtxPageSize];
        if (info.leaf) {
            // Its first key follows what came before; its own keys were
            // found in order as it was read.
            if (info.count > 0) {
                if (auto st = follows(info.bounds, f.off); !st)
                    return st;
                prevKey = boundKeys.data() + static_cast<size_t>(info.bounds + 1) * K;
                prevRec = boundRecs[info.bounds + 1];
            }
            --depth;
            continue;
        }
        // A branch: child 0, item 0, child 1, item 1, ..., child count.
        if (f.next > 0 && f.next - 1u < info.count)
            if (auto st = follows(info.bounds + f.next - 1u, f.off); !st)
                return st;
        if (f.next > info.count) {
            --depth;
            continue;
        }
        const uint32_t child = children[info.children + f.next];
        ++f.next;
        if (auto st = enter(child); !st)
            return st;
    }
    return {};
}

Status NtxFile::verify()
{
    NtxDigest ignored;
    NtxCheckMemory memory;
    return scanTree(std::nullopt, ntxHashWords({header_.keyLength}), ignored, memory);
}

std::vector<NtxHashWord> ntxHashWords(const std::vector<uint16_t>& pieces)
{
    std::vector<NtxHashWord> words;
    size_t total = 0;
    for (uint16_t w : pieces) {
        if (w < 8) {
            words.push_back({static_cast<uint16_t>(total), static_cast<uint8_t>(64 - 8 * w), 0});
        } else {
            for (size_t i = 0; i + 8 < w; i += 8)
                words.push_back({static_cast<uint16_t>(total + i), 0, 0});
            words.push_back({static_cast<uint16_t>(total + w - 8), 0, 0});
        }
        total += w;
    }
    for (size_t i = 0; i < words.size(); ++i)
        words[i].weight = NtxEntryHash::weight(static_cast<unsigned>(i));
    return words;
}

NtxCheckMemory::NtxCheckMemory() = default;
NtxCheckMemory::~NtxCheckMemory() = default;

char* NtxCheckMemory::buffer(size_t n)
{
    if (buffer_.size() < n + 8)
        buffer_.resize(n + 8);
    return buffer_.data();
}

Status NtxFile::digest(uint32_t recordCount, const std::vector<uint16_t>& pieces, NtxDigest& out,
                       NtxCheckMemory* memory)
{
    out = {};
    size_t total = 0;
    for (uint16_t w : pieces)
        total += w;
    if (total != header_.keyLength)
        return Status::error("The key of " + path() + " is " + std::to_string(header_.keyLength) +
                             " bytes long, not " + std::to_string(total));
    NtxCheckMemory own;
    return scanTree(recordCount, ntxHashWords(pieces), out, memory ? *memory : own);
}

// --- building -----------------------------------------------------------------

namespace {

// The order of n keys of K bytes each (ties by record number). Many places
// of an index's keys hold the same byte in every key (the blanks before
// right-aligned numbers, the century of dates, the colons of times): the
// first sixteen places that differ somewhere are held beside each key's
// number as two integers that compare as those bytes do, so that most
// comparisons of the sort touch neither the keys nor memcmp. Places that are
// the same in every key cannot decide between two keys.
std::vector<uint32_t> sortedKeys(const char* keys, size_t K, size_t n, const std::vector<uint32_t>& recNos)
{
    std::vector<unsigned char> differs(K, 0);
    for (size_t i = 1; i < n; ++i) {
        const char* k = keys + i * K;
        for (size_t j = 0; j < K; ++j)
            differs[j] |= static_cast<unsigned char>(k[j] != keys[j]);
    }
    size_t places[16];
    size_t held = 0, rest = K;   // from rest on, keys are compared themselves
    for (size_t j = 0; j < K; ++j) {
        if (!differs[j])
            continue;
        if (held == 16) {
            rest = j;
            break;
        }
        places[held++] = j;
    }
    struct Item {
        uint64_t hi, lo;   // the held places' bytes, big-endian, zero where none is held
        uint32_t idx;
    };
    auto word = [&](const char* k, size_t from) {
        uint64_t w = 0;
        for (size_t b = from; b < from + 8; ++b)
            w = (w << 8) | (b < held ? static_cast<unsigned char>(k[places[b]]) : 0u);
        return w;
    };
    std::vector<Item> items(n);
    for (size_t i = 0; i < n; ++i) {
        const char* k = keys + i * K;
        items[i] = {word(k, 0), word(k, 8), static_cast<uint32_t>(i)};
    }
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        if (a.hi != b.hi)
            return a.hi < b.hi;
        if (a.lo != b.lo)
            return a.lo < b.lo;
        if (rest < K)
            if (int c = std::memcmp(keys + a.idx * K + rest, keys + b.idx * K + rest, K - rest); c != 0)
                return c < 0;
        return recNos[a.idx] < recNos[b.idx];
    });
    std::vector<uint32_t> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = items[i].idx;
    return order;
}

} // namespace

Status NtxFile::build(const std::string& path, std::string_view keyText, uint16_t keyDecimals, bool unique,
                      NtxBuildInput& input)
{
    const uint16_t K = input.keyLength;
    if (K < 1 || K > 250)
        return Status::error("Cannot build the index " + path + ": the key length " + std::to_string(K) +
                             " is out of range");
    if (keyText.size() > 255)
        return Status::error("Cannot build the index " + path + ": the key expression is longer than 255 characters");
    const uint16_t M = ntxMaxItems(K);
    const size_t n0 = input.size();
    const char* keys = input.keys.data();
    std::vector<uint32_t> order = sortedKeys(keys, K, n0, input.recNos);
    if (unique) {
        auto end = std::unique(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            return std::memcmp(keys + static_cast<size_t>(a) * K, keys + static_cast<size_t>(b) * K, K) == 0;
        });
        order.erase(end, order.end());
    }

    auto fr = OsFile::create(path);
    if (!fr)
        return fr.status();
    OsFile file = std::move(*fr);

    NtxHeader h;
    h.keyLength = K;
    h.itemSize = static_cast<uint16_t>(K + 8);
    h.keyDecimals = keyDecimals;
    h.maxItems = M;
    h.halfPage = M / 2;
    h.keyText = std::string(keyText);
    h.unique = unique;

    const uint32_t base = 2 + 2u * (M + 1u);
    std::string out;
    out.reserve(256 * kNtxPageSize);
    uint64_t written = kNtxPageSize;   // the header is written last
    uint32_t nextOffset = kNtxPageSize;
    auto flushOut = [&]() -> Status {
        if (out.empty())
            return {};
        if (auto st = file.writeAt(written, out.data(), out.size()); !st)
            return st;
        written += out.size();
        out.clear();
        return {};
    };
    // An item of a level: key (index into keys), record, left child.
    struct Item {
        uint32_t keyIdx;
        uint32_t rec;
        uint32_t child;
    };
    auto emitPage = [&](const Item* items, size_t count, uint32_t rightChild) -> Result<uint32_t> {
        const uint32_t off = nextOffset;
        nextOffset += kNtxPageSize;
        size_t at = out.size();
        out.resize(at + kNtxPageSize, '\0');
        auto* p = reinterpret_cast<unsigned char*>(out.data() + at);
        put16(p, static_cast<uint32_t>(count));
        for (uint32_t i = 0; i <= M; ++i)
            put16(p + 2 + 2 * i, base + i * (K + 8u));
        for (size_t i = 0; i < count; ++i) {
            unsigned char* item = p + base + i * (K + 8u);
            put32(item, items[i].child);
            put32(item + 4, items[i].rec);
            std::memcpy(item + 8, keys + static_cast<size_t>(items[i].keyIdx) * K, K);
        }
        put32(p + base + count * (K + 8u), rightChild);
        if (out.size() >= 256 * kNtxPageSize)
            if (auto st = flushOut(); !st)
                return st;
        if (nextOffset >= UINT32_MAX - kNtxPageSize)
            return Status::error("Cannot build the index " + path + ": it would be larger than the format allows");
        return off;
    };

    std::vector<Item> level(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        level[i] = {order[i], input.recNos[order[i]], 0};
    order.clear();
    order.shrink_to_fit();
    uint32_t rightmost = 0;
    for (;;) {
        const size_t n = level.size();
        if (n <= M) {
            auto r = emitPage(level.data(), n, rightmost);
            if (!r)
                return r.status();
            h.root = *r;
            break;
        }
        // p pages with one entry promoted between neighbours: p * M + (p - 1) >= n.
        const size_t p = (n + 1 + M) / (M + 1);
        const size_t inPages = n - (p - 1);
        std::vector<Item> up;
        up.reserve(p - 1);
        size_t at = 0;
        for (size_t j = 0; j < p; ++j) {
            const size_t cnt = inPages / p + (j < inPages % p ? 1 : 0);
            const bool last = j + 1 == p;
            const uint32_t right = last ? rightmost : level[at + cnt].child;
            auto r = emitPage(level.data() + at, cnt, right);
            if (!r)
                return r.status();
            at += cnt;
            if (!last) {
                Item sep = level[at];
                sep.child = *r;
                up.push_back(sep);
                ++at;
            } else {
                rightmost = *r;
            }
        }
        level = std::move(up);
    }
    if (auto st = flushOut(); !st)
        return st;
    std::string hb = headerBytes(h);
    if (auto st = file.writeAt(0, hb.data(), hb.size()); !st)
        return st;
    return file.sync();
}

} // namespace cn::data
