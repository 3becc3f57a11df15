#include "data/index_check.h"

#include "data/ntx_file.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cn::data {

namespace {

std::string squeezedLower(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The terms of a key text joined by '+' outside parentheses.
std::vector<std::string> terms(const std::string& text)
{
    std::vector<std::string> out(1);
    int depth = 0;
    for (char c : text) {
        if (c == '(')
            ++depth;
        else if (c == ')')
            --depth;
        if (c == '+' && depth == 0)
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

// "fn(name)" -> name, when text has exactly that shape.
std::optional<std::string> argumentOf(const std::string& text, std::string_view fn)
{
    if (text.size() <= fn.size() + 2 || text.compare(0, fn.size(), fn) != 0 || text[fn.size()] != '(' ||
        text.back() != ')')
        return std::nullopt;
    std::string arg = text.substr(fn.size() + 1, text.size() - fn.size() - 2);
    if (arg.empty() || arg.find_first_of("(),'\"+-") != std::string::npos)
        return std::nullopt;
    return arg;
}

} // namespace

KeyWriter::KeyWriter(const Expr& expr, const std::vector<FieldLayout>& fields)
    : expr_(&expr), length_(expr.keyLength()), pieces_{expr.keyLength()}
{
    auto field = [&](const std::string& name) -> const FieldLayout* {
        for (const auto& f : fields)
            if (sameIgnoringCase(f.def.name, name))
                return &f;
        return nullptr;
    };
    std::vector<Segment> plan;
    size_t total = 0;
    for (const std::string& term : terms(squeezedLower(expr.text()))) {
        Segment s{Segment::Copy, 0, 0};
        const FieldLayout* f = nullptr;
        if (term == "iif(deleted(),'t','f')") {
            s = {Segment::Flag, 0, 1};
        } else if (auto a = argumentOf(term, "str"); a && (f = field(*a)) && f->def.type == 'N' &&
                                                      f->def.decimals == 0 && f->def.width <= 15) {
            s = {Segment::Str, f->offset, static_cast<uint16_t>(f->def.width)};
        } else if (auto u = argumentOf(term, "upper"); u && (f = field(*u)) && f->def.type == 'C') {
            s = {Segment::Upper, f->offset, static_cast<uint16_t>(f->def.width)};
        } else if (auto d = argumentOf(term, "dtos"); d && (f = field(*d)) && f->def.type == 'D' &&
                                                       f->def.width == 8) {
            s = {Segment::Dtos, f->offset, 8};
        } else if ((f = field(term)) && f->def.type == 'C' && term.find_first_of("()'\"") == std::string::npos) {
            s = {Segment::Copy, f->offset, static_cast<uint16_t>(f->def.width)};
        } else {
            return;   // not of the program's kind: every key through the expression
        }
        plan.push_back(s);
        total += s.width;
    }
    if (total == length_ && expr.type() == ValueType::Character) {
        plan_ = std::move(plan);
        pieces_.clear();
        for (const Segment& s : plan_)
            pieces_.push_back(s.width);
        planWords();
    }
}

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

uint64_t load(const char* p)
{
    uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

void store(char* p, uint64_t w)
{
    std::memcpy(p, &w, 8);
}

// Copies n bytes a word at a time, the last word overlapping the one before,
// so that nothing outside the n bytes is read or written.
template <class Map>
void copyWords(const char* in, char* out, size_t n, Map map)
{
    if (n < 8) {
        for (size_t i = 0; i < n; ++i)
            out[i] = static_cast<char>(map(static_cast<unsigned char>(in[i])));
        return;
    }
    for (size_t i = 0; i + 8 < n; i += 8)
        store(out + i, map(load(in + i)));
    store(out + n - 8, map(load(in + n - 8)));
}

// Upper case of ASCII letters in each byte of a word without bytes above 0x7F.
uint64_t upperWord(uint64_t w)
{
    const uint64_t atLeastA = w + (0x80 - 'a') * kOnes;
    const uint64_t pastZ = w + (0x80 - 'z' - 1) * kOnes;
    return w - (((atLeastA & ~pastZ) & kHighBits) >> 2);
}

// No byte above 0x7F.
bool ascii(const char* in, size_t width)
{
    uint64_t high = 0;
    size_t i = 0;
    for (; i + 8 <= width; i += 8)
        high |= load(in + i);
    for (; i < width; ++i)
        high |= static_cast<unsigned char>(in[i]);
    return (high & kHighBits) == 0;
}

bool allDigits(uint64_t w)
{
    return (w & 0xF0F0F0F0F0F0F0F0ull) == 0x3030303030303030ull &&
           ((w + 0x0606060606060606ull) & 0xF0F0F0F0F0F0F0F0ull) == 0x3030303030303030ull;
}

// Whether masks of a field's blanks, digits and zeros (bit i for byte i) are
// those of a whole number as str() writes it.
inline bool canonicalMasks(uint32_t spaces, uint32_t digits, uint32_t zeros, size_t width)
{
    const uint32_t all = (1u << width) - 1;
    if ((spaces | digits) != all || digits == 0 || (spaces & (digits << 1)) != 0)
        return false;
    const int first = __builtin_ctz(digits);
    return !((zeros >> first) & 1) || static_cast<size_t>(first) + 1 == width;
}

// Whether a whole number's field text is exactly what str() writes for it:
// blanks, then the digits without a leading zero (or a lone "0"). Anything
// else (blank, zeros in front, a sign, junk) str() would rewrite.
inline __attribute__((always_inline)) bool canonicalWhole(const char* in, size_t width)
{
    // Bit i of each mask stands for byte i of the field (at most 15 bytes).
    uint32_t spaces = 0, digits = 0, zeros = 0;
#if defined(__SSE2__)
    if (width >= 8) {
        // Two words, the second ending with the field: bytes 0-7 and w-8..w-1.
        const __m128i v = _mm_set_epi64x(static_cast<long long>(load(in + width - 8)),
                                         static_cast<long long>(load(in)));
        auto bits = [width](__m128i m) {
            const auto b = static_cast<uint32_t>(_mm_movemask_epi8(m));
            return (b & 0xFFu) | ((b >> 8) << (width - 8));
        };
        const __m128i t = _mm_sub_epi8(v, _mm_set1_epi8('0'));
        spaces = bits(_mm_cmpeq_epi8(v, _mm_set1_epi8(' ')));
        digits = bits(_mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(9)), t));
        zeros = bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('0')));
    } else
#endif
    {
        for (size_t i = 0; i < width; ++i) {
            spaces |= static_cast<uint32_t>(in[i] == ' ') << i;
            digits |= static_cast<uint32_t>(in[i] >= '0' && in[i] <= '9') << i;
            zeros |= static_cast<uint32_t>(in[i] == '0') << i;
        }
    }
    return canonicalMasks(spaces, digits, zeros, width);
}

// The same for a field with eight readable bytes after it (a record in a
// pass's buffer): one load of sixteen bytes.
inline __attribute__((always_inline)) bool canonicalWholePadded(const char* in, size_t width)
{
#if defined(__SSE2__)
    if (width >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const uint32_t field = (1u << width) - 1;
        auto bits = [field](__m128i m) { return static_cast<uint32_t>(_mm_movemask_epi8(m)) & field; };
        const __m128i t = _mm_sub_epi8(v, _mm_set1_epi8('0'));
        return canonicalMasks(bits(_mm_cmpeq_epi8(v, _mm_set1_epi8(' '))),
                              bits(_mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(9)), t)),
                              bits(_mm_cmpeq_epi8(v, _mm_set1_epi8('0'))), width);
    }
#endif
    return canonicalWhole(in, width);
}

} // namespace

bool KeyWriter::writeDirect(const char* record, char* out) const
{
    auto same = [](auto v) { return v; };
    for (const Segment& s : plan_) {
        const char* in = record + s.offset;
        switch (s.kind) {
        case Segment::Flag:
            *out = record[0] == kRecordDeleted ? 'T' : 'F';
            break;
        case Segment::Copy:
            copyWords(in, out, s.width, same);
            break;
        case Segment::Upper:
            // Letters above ASCII take the code page's own upper case.
            if (!ascii(in, s.width))
                return false;
            copyWords(in, out, s.width, [](auto v) {
                if constexpr (sizeof(v) == 8)
                    return upperWord(v);
                else
                    return v >= 'a' && v <= 'z' ? v - 32 : v;
            });
            break;
        case Segment::Dtos: {
            const uint64_t w = load(in);
            store(out, allDigits(w) ? w : 0x2020202020202020ull);
            break;
        }
        case Segment::Str:
            if (!canonicalWhole(in, s.width))
                return false;
            copyWords(in, out, s.width, same);
            break;
        }
        out += s.width;
    }
    return true;
}

void KeyWriter::write(const char* record, char* out)
{
    if (!plan_.empty() && writeDirect(record, out))
        return;
    expr_->key(record, scratch_);
    std::memcpy(out, scratch_.data(), length_);
}

void KeyWriter::planWords()
{
    for (const Segment& s : plan_) {
        reach_ = std::max<uint32_t>(reach_, s.offset + s.width);
        auto words = [&](HashWord::Kind kind) {
            if (s.width < 8) {
                words_.push_back({kind, static_cast<uint8_t>(64 - 8 * s.width), s.offset, 0});
                return;
            }
            for (uint32_t i = 0; i + 8 < s.width; i += 8)
                words_.push_back({kind, 0, s.offset + i, 0});
            words_.push_back({kind, 0, s.offset + s.width - 8u, 0});
        };
        switch (s.kind) {
        case Segment::Flag:
            words_.push_back({HashWord::Flag, 56, 0, 0});
            break;
        case Segment::Copy:
            words(HashWord::Raw);
            break;
        case Segment::Str:
            needs_.push_back({true, s.width, s.offset});
            words(HashWord::Raw);
            break;
        case Segment::Upper:
            needs_.push_back({false, s.width, s.offset});
            words(HashWord::Upper);
            break;
        case Segment::Dtos:
            words(HashWord::Date);
            break;
        }
    }
    for (size_t i = 0; i < words_.size(); ++i)
        words_[i].weight = NtxEntryHash::weight(static_cast<unsigned>(i));
    std::stable_sort(words_.begin(), words_.end(),
                     [](const HashWord& a, const HashWord& b) { return a.kind < b.kind; });
}

namespace {

// One word of a key from a record with eight readable bytes after the key's fields.
inline __attribute__((always_inline)) uint64_t wordOf(const KeyWriter::HashWord& w, const char* record)
{
    using HashWord = KeyWriter::HashWord;
    uint64_t v = load(record + w.at);
    switch (w.kind) {
    case HashWord::Raw:
        break;
    case HashWord::Upper:
        // Carries run towards later bytes only, which the shift drops.
        v = upperWord(v);
        break;
    case HashWord::Date:
        if (!allDigits(v))
            v = 0x2020202020202020ull;
        break;
    case HashWord::Flag:
        return static_cast<unsigned char>(record[0] == kRecordDeleted ? 'T' : 'F');
    }
    return __builtin_bswap64(v) >> w.shift;
}

// Whether a field is as the key takes it directly (see KeyWriter::Need).
inline __attribute__((always_inline)) bool met(const KeyWriter::Need& n, const char* record)
{
    return n.canonical ? canonicalWholePadded(record + n.at, n.width) : ascii(record + n.at, n.width);
}

} // namespace

uint64_t KeyWriter::hashThroughExpression(const char* record, uint32_t recNo)
{
    expr_->key(record, scratch_);
    return ntxEntryHash(pieces_, scratch_.data(), recNo);
}

uint64_t KeyWriter::hash(const char* record, uint32_t recNo)
{
    if (words_.empty())
        return hashThroughExpression(record, recNo);
    // A word may be loaded up to eight bytes past the last field of the key.
    padded_.assign(record, reach_);
    padded_.resize(reach_ + 8, ' ');
    for (const Need& n : needs_)
        if (!met(n, padded_.data()))
            return hashThroughExpression(record, recNo);
    uint64_t h = 0;
    for (const HashWord& w : words_)
        h += wordOf(w, padded_.data()) * w.weight;
    return NtxEntryHash::finish(h, recNo);
}

namespace {

struct TableSide {
    std::optional<Expr> expr;
    std::optional<KeyWriter> writer;
    uint64_t sum = 0;
};

// Bits of a record for the pass below: one per need it does not meet, and two more.
constexpr uint32_t kDeleted = 1u << 30;    // its deletion flag is set
constexpr uint32_t kNeverMet = 1u << 31;   // every record: the sides that take no word directly

// The sum of a block's entry hashes from their words' sums (hashes, of the
// records from recNo on, as for live records), a deleted record's flag
// changed without a branch; other gets the bits of the records whose keys
// the words do not give. A function of its own, so that its loop has the
// registers to itself.
__attribute__((noinline)) uint64_t finishBlock(const uint64_t* hashes, const uint32_t* unmet, uint32_t m, uint32_t mask,
                                               uint64_t deleted, uint32_t recNo, uint32_t& other)
{
    uint64_t sum = 0;
    uint32_t others = 0;
    uint64_t recordMix = NtxEntryHash::recordMix(recNo);
    for (uint32_t i = 0; i < m; ++i, recordMix += NtxEntryHash::kRecordStep) {
        const uint32_t bits = unmet[i] & mask;
        sum += NtxEntryHash::finishMixed((hashes[i] + ((bits & kDeleted) ? deleted : 0)) ^ recordMix);
        others |= bits & ~kDeleted;
    }
    other = others;
    return sum;
}

// The pass over the records, adding each record's key hash to every side:
// the records are taken a chunk at a time from nextChunk, so that both
// threads can share the pass, each adding to sums of its own (one per side).
// What the sides' keys need of their fields (a whole number in its own form,
// a text in ASCII) is looked at once per record for all sides: the visits'
// keys take the patient code and the visit number twice each.
Status sumTable(const DbfFile& dbf, const std::vector<TableSide*>& sides, std::atomic<uint32_t>& nextChunk,
                std::vector<uint64_t>& sums, const RecordSearch* search, bool& found, NtxCheckMemory& memory)
{
    using Need = KeyWriter::Need;
    using HashWord = KeyWriter::HashWord;
    std::vector<Need> needs;
    std::vector<uint32_t> masks;   // per side: the bits that take its key off the common way
    std::vector<uint64_t> flagWeights;   // per side: the sum of its deletion flags' weights
    for (TableSide* side : sides) {
        uint32_t mask = 0;
        for (const Need& need : side->writer->needs()) {
            auto at = std::find(needs.begin(), needs.end(), need);
            if (at == needs.end() && needs.size() < 30)
                at = needs.insert(needs.end(), need);
            mask |= at == needs.end() ? kNeverMet : 1u << (at - needs.begin());
        }
        // Every deletion flag of a key is the same word of a record: its
        // products start as those of a live record, and a deleted one adds
        // the difference.
        uint64_t flags = 0;
        for (const HashWord& x : side->writer->hashWords())
            if (x.kind == HashWord::Flag)
                flags += x.weight;
        if (flags != 0)
            mask |= kDeleted;
        masks.push_back(side->writer->hashWords().empty() ? ~0u : mask);
        flagWeights.push_back(flags);
    }

    const uint32_t count = dbf.recordCount();
    const uint32_t length = std::max<uint32_t>(dbf.recordLength(), 1);
    // No more records than the table holds: most tables are small.
    const uint32_t chunk =
        std::max<uint32_t>(1, std::min<uint32_t>(count, static_cast<uint32_t>(NtxCheckMemory::kPiece / length)));
    // Eight bytes to spare: a key's word may be loaded at a field that ends
    // the last record.
    char* const buf = memory.buffer(static_cast<size_t>(chunk) * length);
    const uint32_t block = std::max<uint32_t>(16, (16u * 1024) / length);
    std::vector<uint32_t> unmet(block);
    std::vector<uint64_t> hashes(block);
    sums.assign(sides.size(), 0);
    for (uint32_t c; (c = nextChunk++) < (count + chunk - 1) / chunk;) {
        const uint32_t first = 1 + c * chunk;
        const uint32_t n = std::min(chunk, count - first + 1);
        if (auto st = dbf.readMany(first, n, buf); !st)
            return st;
        if (search && !found)
            for (uint32_t i = 0; i < n && !found; ++i)
                found = search->test(buf + static_cast<size_t>(i) * length);
        // A block of records at a time, small enough to stay in the
        // first-level cache while it is gone over several times: first each
        // need for every record of it in turn, and the deletion flags; then
        // each side's keys, one word of the key for every record in turn, so
        // that what says where the word lies and how it is taken stays in
        // registers.
        for (uint32_t b = 0; b < n; b += block) {
            const uint32_t m = std::min(block, n - b);
            const char* const records = buf + static_cast<size_t>(b) * length;
            {
                const char* record = records;
                for (uint32_t i = 0; i < m; ++i, record += length)
                    unmet[i] = kNeverMet | (*record == kRecordDeleted ? kDeleted : 0);
            }
            for (size_t k = 0; k < needs.size(); ++k) {
                const Need need = needs[k];
                const uint32_t bit = 1u << k;
                const char* at = records + need.at;
                if (need.canonical && need.width >= 8) {
                    for (uint32_t i = 0; i < m; ++i, at += length)
                        unmet[i] |= canonicalWholePadded(at, need.width) ? 0 : bit;
                } else {
                    for (uint32_t i = 0; i < m; ++i, at += length)
                        unmet[i] |= met(need, at - need.at) ? 0 : bit;
                }
            }
            for (size_t s = 0; s < sides.size(); ++s) {
                KeyWriter& w = *sides[s]->writer;
                const uint64_t flags = flagWeights[s];
                std::fill_n(hashes.begin(), m, static_cast<uint64_t>('F') * flags);
                const HashWord* const words = w.hashWords().data();
                const size_t count = w.hashWords().size();
                for (size_t k = 0; k < count; ++k) {
                    const HashWord& x = words[k];
                    const char* at = records + x.at;
                    const uint64_t weight = x.weight;
                    const unsigned shift = x.shift;
                    // Two words of one kind in one pass: half the passes
                    // over the block's hashes.
                    if (k + 1 < count && words[k + 1].kind == x.kind &&
                        (x.kind == HashWord::Raw || x.kind == HashWord::Upper)) {
                        const HashWord& y = words[++k];
                        const ptrdiff_t apart = static_cast<ptrdiff_t>(y.at) - static_cast<ptrdiff_t>(x.at);
                        const uint64_t weight2 = y.weight;
                        const unsigned shift2 = y.shift;
                        if (x.kind == HashWord::Raw && shift == 0 && shift2 == 0)   // two whole words
                            for (uint32_t i = 0; i < m; ++i, at += length)
                                hashes[i] += ntxLoadWord(at, 0) * weight + ntxLoadWord(at + apart, 0) * weight2;
                        else if (x.kind == HashWord::Raw)
                            for (uint32_t i = 0; i < m; ++i, at += length)
                                hashes[i] +=
                                    ntxLoadWord(at, shift) * weight + ntxLoadWord(at + apart, shift2) * weight2;
                        else   // carries run towards later bytes only, which the shift drops
                            for (uint32_t i = 0; i < m; ++i, at += length)
                                hashes[i] += (__builtin_bswap64(upperWord(load(at))) >> shift) * weight +
                                             (__builtin_bswap64(upperWord(load(at + apart))) >> shift2) * weight2;
                        continue;
                    }
                    switch (x.kind) {
                    case HashWord::Raw:
                        for (uint32_t i = 0; i < m; ++i, at += length)
                            hashes[i] += ntxLoadWord(at, shift) * weight;
                        break;
                    case HashWord::Upper:
                        // Carries run towards later bytes only, which the shift drops.
                        for (uint32_t i = 0; i < m; ++i, at += length)
                            hashes[i] += (__builtin_bswap64(upperWord(load(at))) >> shift) * weight;
                        break;
                    case HashWord::Date:
                        for (uint32_t i = 0; i < m; ++i, at += length) {
                            const uint64_t v = load(at);
                            hashes[i] += __builtin_bswap64(allDigits(v) ? v : 0x2020202020202020ull) * weight;
                        }
                        break;
                    case HashWord::Flag:   // in flags
                        break;
                    }
                }
                // Every record's hash the common way, a deleted one's flag
                // changed without a branch; then, for the few records whose
                // fields the words cannot take as they lie, that hash traded
                // for the one through the expression. (A call in the first
                // loop would keep its sum in memory.)
                const uint32_t mask = masks[s];
                const uint32_t recNo = first + b;
                const uint64_t deleted = static_cast<uint64_t>('T' - 'F') * flags;
                uint32_t other = 0;
                uint64_t sum = finishBlock(hashes.data(), unmet.data(), m, mask, deleted, recNo, other);
                if (other != 0)
                    for (uint32_t i = 0; i < m; ++i)
                        if (unmet[i] & mask & ~kDeleted) {
                            const uint64_t common = hashes[i] + ((unmet[i] & mask & kDeleted) ? deleted : 0);
                            sum += w.hashThroughExpression(records + static_cast<size_t>(i) * length, recNo + i) -
                                   NtxEntryHash::finish(common, recNo + i);
                        }
                sums[s] += sum;
            }
        }
    }
    return {};
}

} // namespace

std::vector<Status> checkIndexes(const std::string& dbfPath, const std::vector<IndexToCheck>& indexes,
                                 RecordSearch* search)
{
    if (search) {
        search->done = search->found = false;
        search->records = 0;
    }
    std::vector<Status> out(indexes.size());
    auto opened = DbfFile::open(dbfPath, false);
    if (!opened) {
        std::fill(out.begin(), out.end(), opened.status());
        return out;
    }
    const DbfFile& dbf = **opened;
    const uint32_t count = dbf.recordCount();

    std::vector<TableSide> sides(indexes.size());
    std::vector<std::unique_ptr<NtxFile>> files(indexes.size());
    std::vector<TableSide*> wanted;
    for (size_t i = 0; i < indexes.size(); ++i) {
        const IndexToCheck& ix = indexes[i];
        auto file = NtxFile::open(ix.path, false);
        if (!file) {
            out[i] = file.status();
            continue;
        }
        auto mismatch = [&](const std::string& why) {
            return Status::error(ErrorCode::Damaged, "The index " + ix.path + " does not fit its table: " + why);
        };
        if (!sameIgnoringCase((*file)->keyText(), ix.keyText)) {
            out[i] = mismatch("it was built from the key \"" + (*file)->keyText() + "\"");
            continue;
        }
        auto expr = Expr::compile(ix.keyText, dbf.fields());
        if (!expr) {
            out[i] = expr.status();
            continue;
        }
        if (expr->keyLength() != (*file)->keyLength()) {
            out[i] = mismatch("its keys are " + std::to_string((*file)->keyLength()) + " bytes long, not " +
                              std::to_string(expr->keyLength()));
            continue;
        }
        sides[i].expr = std::move(*expr);
        sides[i].writer.emplace(*sides[i].expr, dbf.fields());
        files[i] = std::move(*file);
        wanted.push_back(&sides[i]);
    }
    if (wanted.empty())
        return out;

    // The work is shared by this thread and, for a large table, a second
    // one: each takes the index files in turn until none is left, then the
    // table's records a chunk at a time, so that the two end together (an
    // index file is a large piece of work, a chunk a small one). A small
    // table is quicker done here than a thread is started and waited for.
    std::vector<NtxDigest> digests(indexes.size());
    std::atomic<size_t> nextIndex{0};
    auto digestIndexes = [&](NtxCheckMemory& memory) {
        for (size_t i; (i = nextIndex++) < indexes.size();)
            if (files[i])
                out[i] = files[i]->digest(count, sides[i].writer->pieces(), digests[i], &memory);
    };
    std::atomic<uint32_t> nextChunk{0};
    std::vector<uint64_t> mySums, workerSums;
    Status myTable, workerTable;
    bool myFound = false, workerFound = false;
    constexpr uint64_t kWorthAThread = 4u << 20;
    NtxCheckMemory myMemory, workerMemory;
    std::thread worker;
    if (uint64_t(count) * dbf.recordLength() >= kWorthAThread) {
        try {
            worker = std::thread([&] {
                digestIndexes(workerMemory);
                workerTable = sumTable(dbf, wanted, nextChunk, workerSums, search, workerFound, workerMemory);
            });
        } catch (const std::system_error&) {
        }
    }
    digestIndexes(myMemory);
    myTable = sumTable(dbf, wanted, nextChunk, mySums, search, myFound, myMemory);
    if (worker.joinable())
        worker.join();
    const Status tableStatus = !myTable ? myTable : workerTable;
    if (search && tableStatus) {
        search->done = true;
        search->found = myFound || workerFound;
        search->records = count;
    }
    for (size_t k = 0; k < wanted.size(); ++k)
        wanted[k]->sum = mySums[k] + (k < workerSums.size() ? workerSums[k] : 0);

    for (size_t i = 0; i < indexes.size(); ++i) {
        if (!files[i] || !out[i])
            continue;
        const std::string file = indexes[i].path;
        if (!tableStatus)
            out[i] = tableStatus;
        else if (digests[i].entries != count)
            out[i] = Status::error(ErrorCode::Damaged, "The index " + file + " does not fit its table: it holds " +
                                                           std::to_string(digests[i].entries) + " keys for " +
                                                           std::to_string(count) + " records");
        else if (digests[i].sum != sides[i].sum)
            out[i] = Status::error(ErrorCode::Damaged, "The index " + file +
                                                           " does not fit its table: a key differs from the one "
                                                           "computed from its record");
    }
    return out;
}

} // namespace cn::data
