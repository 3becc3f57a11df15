#pragma once
// The index file (.ntx): a 1024-byte header and 1024-byte B-tree pages whose
// inner pages hold real entries. Entries are (key, record number), ordered by
// the key bytes (unsigned) and then by record number.
//
// Pages read from the file are checked before use: offsets inside the file and
// on a page boundary, key counts within the page's capacity, item offsets
// inside the page, and no page reached twice on one descent (a cycle). Damage
// gives an error naming the file.
//
// Sharing: with setShared(true) every operation first compares the header's
// change counter with the one it last saw and drops its cached pages when
// another process has moved it; updates hold the index update lock and bump
// the counter. Without sharing, changed pages stay in memory until flush().
#include "data/os_file.h"
#include "data/status.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cn::data {

constexpr uint32_t kNtxPageSize = 1024;
constexpr uint16_t kNtxSignature = 6;

struct NtxHeader {
    uint16_t signature = kNtxSignature;
    uint16_t counter = 0;
    uint32_t root = 0;
    uint32_t freeList = 0;
    uint16_t itemSize = 0;
    uint16_t keyLength = 0;
    uint16_t keyDecimals = 0;
    uint16_t maxItems = 0;
    uint16_t halfPage = 0;
    std::string keyText;
    bool unique = false;
};

// The largest even M with 2 + (M + 1)(K + 10) <= 1024.
uint16_t ntxMaxItems(uint16_t keyLength);

// One page as read from the file, in key order (for walkers and checkers).
struct NtxPage {
    uint32_t offset = 0;
    uint16_t count = 0;
    std::vector<uint32_t> child;      // count + 1 child offsets (0 in a leaf)
    std::vector<uint32_t> recNo;      // count record numbers
    std::string keys;                 // count * keyLength bytes
    bool leaf() const { return child.empty() || child[0] == 0; }
    std::string_view key(size_t i, size_t keyLength) const { return std::string_view(keys).substr(i * keyLength, keyLength); }
};

struct NtxEntry {
    std::string key;
    uint32_t recNo = 0;
};

// A place in the index by position: how many entries come before it, and the
// entry found there (have is false past the last entry).
struct NtxRank {
    uint64_t before = 0;
    bool have = false;
    NtxEntry at;
};

// What an index holds, summed up so that it can be compared with its table
// without keeping its keys: the number of entries and the sum (modulo 2^64)
// of ntxEntryHash over every (key, record number). The sum does not depend on
// order, so the table's side computes the same figure in record order; a key
// that differs from its record's, or a record with another's key, changes it.
struct NtxDigest {
    uint64_t entries = 0;
    uint64_t sum = 0;
};

// A 64-bit hash of one entry: its record number and its key, taken in pieces
// of fixed widths (a key's terms, so that a table's side can hash each field
// where it lies in the record, without assembling the key). A piece is taken
// a word at a time, its last word overlapping the one before; a piece shorter
// than a word as one word of its bytes. A word is its bytes read big-endian
// (so that the checkers' fast paths get it with one load and a byte swap).
// The words are weighted by odd constants of their position and summed, so
// they are taken independently of one another, and the sum is mixed with the
// record number so that two records trading keys change the sum of the two
// hashes.
class NtxEntryHash {
public:
    explicit NtxEntryHash(uint32_t recNo) : recNo_(recNo) {}
    void word(uint64_t w) { sum_ += w * weight(n_++); }
    // The word of 1 to 8 bytes.
    static uint64_t shortPiece(const char* bytes, size_t width)
    {
        uint64_t w = 0;
        for (size_t i = 0; i < width; ++i)
            w = w << 8 | static_cast<unsigned char>(bytes[i]);
        return w;
    }
    void piece(const char* bytes, size_t width)
    {
        if (width < 8) {
            word(shortPiece(bytes, width));
            return;
        }
        for (size_t i = 0; i + 8 < width; i += 8)
            word(shortPiece(bytes + i, 8));
        word(shortPiece(bytes + width - 8, 8));
    }
    uint64_t done() const { return finish(sum_, recNo_); }

    // The hash of an entry whose weighted words sum to sum: the sum mixed
    // with the record number, multiplied out to 128 bits and folded, so that
    // every bit of the result depends on every bit of both.
    static uint64_t finish(uint64_t sum, uint32_t recNo) { return finishMixed(sum ^ recordMix(recNo)); }
    // finish in two steps, for a pass over records in turn: the record
    // number's part grows by kRecordStep from one record to the next.
    static constexpr uint64_t kRecordStep = 0x9E3779B97F4A7C15ull;
    static uint64_t recordMix(uint32_t recNo) { return (static_cast<uint64_t>(recNo) + 1) * kRecordStep; }
    static uint64_t finishMixed(uint64_t h)
    {
        constexpr uint64_t kTimes = 0xE7037ED1A0B428DBull;
#if defined(__x86_64__)
        // The one instruction, as the compiler would otherwise pass the
        // product through memory in the checks' loops.
        uint64_t low = h ^ 0xA0761D6478BD642Full, high;
        asm("mulq %2" : "+a"(low), "=d"(high) : "r"(kTimes) : "cc");
        return low ^ high;
#else
        const unsigned __int128 p = static_cast<unsigned __int128>(h ^ 0xA0761D6478BD642Full) * kTimes;
        return static_cast<uint64_t>(p) ^ static_cast<uint64_t>(p >> 64);
#endif
    }
    // An odd constant per word position; a key has at most 250 bytes, so
    // fewer than 64 words.
    static uint64_t weight(unsigned i) { return kWeights[i & 63]; }

private:
    static constexpr std::array<uint64_t, 64> kWeights = [] {
        std::array<uint64_t, 64> w{};
        for (uint64_t i = 0; i < w.size(); ++i) {
            uint64_t z = (i + 1) * 0x9E3779B97F4A7C15ull;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            w[i] = (z ^ (z >> 27)) | 1;
        }
        return w;
    }();
    uint32_t recNo_;
    uint64_t sum_ = 0;
    unsigned n_ = 0;
};

// Where a key's words start and how far each is shifted down once read as
// eight big-endian bytes (0 for a whole word; a short piece keeps only its own
// bytes): NtxEntryHash's words, for readers that may load eight bytes at any
// place of the key.
struct NtxHashWord {
    uint16_t at;
    uint8_t shift;
    uint64_t weight;   // NtxEntryHash::weight of its position
};
std::vector<NtxHashWord> ntxHashWords(const std::vector<uint16_t>& pieces);

// The word of eight bytes at p, shifted down: p must have eight readable bytes.
inline uint64_t ntxLoadWord(const char* p, unsigned shift)
{
    uint64_t w;
    std::memcpy(&w, p, 8);
    return __builtin_bswap64(w) >> shift;
}

// The hash of a key cut into pieces of these widths (summing to its length).
inline uint64_t ntxEntryHash(const std::vector<uint16_t>& pieces, const char* key, uint32_t recNo)
{
    NtxEntryHash h(recNo);
    for (uint16_t width : pieces) {
        h.piece(key, width);
        key += width;
    }
    return h.done();
}

// Sorted input for building an index: keys packed, keyLength bytes each.
struct NtxBuildInput {
    uint16_t keyLength = 0;
    std::string keys;                 // n * keyLength bytes
    std::vector<uint32_t> recNos;     // n record numbers; keys[i] belongs to recNos[i]
    void add(std::string_view key, uint32_t recNo);   // pads / cuts to keyLength
    size_t size() const { return recNos.size(); }
};

struct NtxScanPage;

// The memory a check of index files reads and describes each file in, kept
// from one file to the next: a thread checking several files (and a table's
// records) takes each in the memory of the one before, as fresh memory costs
// the system a fault for every page of it.
class NtxCheckMemory {
public:
    NtxCheckMemory();
    ~NtxCheckMemory();
    NtxCheckMemory(const NtxCheckMemory&) = delete;
    NtxCheckMemory& operator=(const NtxCheckMemory&) = delete;
    // A buffer of n bytes and eight readable ones after them; what it held
    // before is left in it.
    char* buffer(size_t n);
    // The size of the pieces a check reads a file in.
    static constexpr size_t kPiece = size_t(1) << 20;

private:
    friend class NtxFile;
    std::vector<char> buffer_;
    std::vector<NtxScanPage> pages_;
    std::vector<uint32_t> children_;
    std::vector<unsigned char> boundKeys_;
    std::vector<uint32_t> boundRecs_;
    std::vector<bool> seen_;
};

class NtxFile {
public:
    static Result<std::unique_ptr<NtxFile>> open(const std::string& path, bool writable);
    // Sorts input and writes a new index file bottom-up (pages filled in key
    // order, never by repeated insertion). Overwrites path.
    static Status build(const std::string& path, std::string_view keyText, uint16_t keyDecimals, bool unique,
                        NtxBuildInput& input);

    ~NtxFile();
    const std::string& path() const { return file_.path(); }
    const NtxHeader& header() const { return header_; }
    uint16_t keyLength() const { return header_.keyLength; }
    const std::string& keyText() const { return header_.keyText; }

    void setShared(bool shared) { shared_ = shared; }
    bool shared() const { return shared_; }

    // Positioning. A prefix shorter than the key compares only its own length.
    // Each returns true and fills out when an entry exists.
    Result<bool> first(NtxEntry& out);
    Result<bool> last(NtxEntry& out);
    Result<bool> seekGE(std::string_view prefix, NtxEntry& out);      // first with key[:n] >= prefix
    Result<bool> seekGT(std::string_view prefix, NtxEntry& out);      // first with key[:n] > prefix
    Result<bool> seekLE(std::string_view prefix, NtxEntry& out);      // last with key[:n] <= prefix
    Result<bool> next(std::string_view key, uint32_t recNo, NtxEntry& out);   // first after (key, recNo)
    Result<bool> prev(std::string_view key, uint32_t recNo, NtxEntry& out);   // last before (key, recNo)
    Result<bool> contains(std::string_view key, uint32_t recNo);

    // Positions, from key counts per page kept in memory (computed on first
    // use, dropped for the pages an update touches and for all pages when
    // another process changes the index), so each costs one descent.
    Result<uint64_t> countAll();                                      // all entries
    Result<NtxRank> rankGE(std::string_view prefix);    // before: entries with key[:n] < prefix
    Result<NtxRank> rankGT(std::string_view prefix);    // before: entries with key[:n] <= prefix
    Result<NtxRank> rankOf(std::string_view key, uint32_t recNo);   // before: entries < (key, recNo)
    Result<NtxRank> entryAt(uint64_t rank);                         // the entry with `rank` before it

    // In-order walk from the first entry with key[:n] >= fromPrefix (all when
    // empty); the callback returns false to stop.
    Status walk(std::string_view fromPrefix, const std::function<bool(std::string_view key, uint32_t recNo)>& visit);

    // Updates. key is padded with spaces or cut to the key length.
    Status insert(std::string_view key, uint32_t recNo);
    Status remove(std::string_view key, uint32_t recNo);
    // Moves one record's entry from oldKey to newKey (nothing when equal).
    Status replace(std::string_view oldKey, std::string_view newKey, uint32_t recNo);

    // In a shared index: notices another process's changes now (drops stale
    // pages, moves version()). Does nothing otherwise.
    Status refresh();

    // Writes changed pages and the header (bumping the change counter).
    Status flush();
    Status sync();

    // Monotonic in this process: changes whenever the entries may have changed
    // (our own updates or another process's seen through the counter). Lets
    // callers cache counts.
    uint64_t version() const { return version_; }

    // Raw page access for checkers: a page as stored, validated.
    Result<NtxPage> readPage(uint32_t offset);
    // Walks the whole tree checking its structure (no page reached twice or
    // pointing back up the tree, pages in the file, counts within capacity,
    // items inside their page, leaves at one depth, keys in order); the first
    // problem found.
    Status verify();
    // The same walk, which also requires every record number to lie in
    // 1..recordCount, and sums the entries up. The file is read once, front
    // to back: this is the index check of every start-up. (A record with two
    // entries shows as entries and sum that differ from the table's.)
    // pieces: the widths each key is hashed in (see ntxEntryHash).
    // memory, when given, is reused (see NtxCheckMemory).
    Status digest(uint32_t recordCount, const std::vector<uint16_t>& pieces, NtxDigest& out,
                  NtxCheckMemory* memory = nullptr);

    // Offset of the update lock (1 byte) in the index file.
    static constexpr uint64_t updateLockOffset() { return kLockBase; }

    struct Node;   // decoded page, internal

private:
    NtxFile() = default;
    Status syncWithDisk();           // shared: reload header, drop cache when counter moved
    Result<Node*> node(uint32_t offset);
    Result<Node*> newNode();
    void markDirty(Node* n);
    void freeNode(Node* n);
    Status writeNode(const Node& n);
    Status writeHeader();
    Status trimCache();
    // Writes every changed page, runs of neighbouring pages in one write each.
    Status writeDirty();
    void encodeNode(const Node& n, unsigned char* page) const;
    void dropCache();
    Result<uint64_t> subtreeCount(uint32_t offset, int depth);
    // Before a position is asked while no count is known: every page's
    // count from one read of the whole file.
    void countFromFile();
    template <class Pred>
    Result<NtxRank> rankWhere(Pred pred);
    template <class Step>
    Status descend(Step&& step);
    Status insertAt(uint32_t pageOff, std::string_view key, uint32_t recNo, int depth, bool& split,
                    std::string& upKey, uint32_t& upRec, uint32_t& upRight);
    Status removeAt(uint32_t pageOff, std::string_view key, uint32_t recNo, int depth, bool& found);
    Status removeMax(uint32_t pageOff, std::string& key, uint32_t& recNo, int depth);
    Status fixChild(Node* parent, size_t i);
    Status beginUpdate(ScopedLock& lock);
    Status endUpdate();
    std::string padKey(std::string_view key) const;
    Status error(const std::string& what) const;
    template <class Page>
    Status forEachPage(uint64_t pageCount, NtxCheckMemory& memory, Page&& page);
    Status scanTree(std::optional<uint32_t> maxRecord, const std::vector<NtxHashWord>& words, NtxDigest& out,
                    NtxCheckMemory& memory);

    OsFile file_;
    NtxHeader header_;
    uint64_t fileSize_ = 0;
    bool shared_ = false;
    bool headerDirty_ = false;
    uint64_t version_ = 1;
    // Decoded pages by page number (offset / kNtxPageSize): a lookup is one
    // index into this vector, which matters for the many lookups of every
    // insert into a large index.
    std::vector<std::unique_ptr<Node>> cache_;
    size_t cached_ = 0;            // pages in cache_
    Node* cached(uint32_t offset) const
    {
        const size_t i = offset / kNtxPageSize;
        return i < cache_.size() ? cache_[i].get() : nullptr;
    }
    Node* keep(uint32_t offset, std::unique_ptr<Node> n);
    // Entries under each page (the page's own and its descendants'), by page
    // number; an entry is valid while no update touched the page or below.
    class PageCounts {
    public:
        const uint64_t* find(uint32_t offset) const
        {
            const size_t i = offset / kNtxPageSize;
            return offset % kNtxPageSize == 0 && i < n_.size() && n_[i] != kUnknown ? &n_[i] : nullptr;
        }
        void set(uint32_t offset, uint64_t count)
        {
            const size_t i = offset / kNtxPageSize;
            if (i >= n_.size())
                n_.resize(std::max(i + 1, n_.size() + n_.size() / 2), kUnknown);
            known_ += n_[i] == kUnknown ? 1 : 0;
            n_[i] = count;
        }
        void erase(uint32_t offset)
        {
            const size_t i = offset / kNtxPageSize;
            if (i < n_.size() && n_[i] != kUnknown) {
                n_[i] = kUnknown;
                --known_;
            }
        }
        void clear()
        {
            n_.clear();
            known_ = 0;
        }
        bool empty() const { return known_ == 0; }

    private:
        static constexpr uint64_t kUnknown = UINT64_MAX;
        std::vector<uint64_t> n_;
        size_t known_ = 0;
    };
    PageCounts counts_;
    std::vector<uint32_t> dirty_;
};

} // namespace cn::data
