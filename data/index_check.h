#pragma once
// The start-up check of a table's index files against the table: is every
// index whole, in order, and does it hold exactly one key per record, each the
// key computed from its record? Set-up rebuilds an index for which it is not.
//
// It runs over every index at every start, so it reads each file once, front
// to back, on two threads: each index file (NtxFile::digest), then the
// table's records, computing the keys of all its indexes from each record.
// The two sides are compared by entry count and by a sum of one hash per
// (key, record), so no key is kept in memory, and the table's side hashes
// each key from the record's fields as they lie.
#include "data/dbf_file.h"
#include "data/expr.h"
#include "data/ntx_file.h"
#include "data/status.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cn::data {

// Writes a record's key for an index expression of the program's own kind
// (the live flag followed by str() of a whole-number field, upper() or a bare
// character field, dtos() of a date) straight from the record's bytes, without
// evaluating the expression. A record whose bytes it cannot take as they are
// (a number not stored in its canonical form, letters above ASCII under
// upper()) and any other expression go through the compiled expression, so
// the key is always exactly Expr::key's.
class KeyWriter {
public:
    KeyWriter(const Expr& expr, const std::vector<FieldLayout>& fields);
    uint16_t keyLength() const { return length_; }
    bool direct() const { return !plan_.empty(); }   // false: every key through the expression
    // The widths the key is hashed in (ntxEntryHash): one piece per term, or
    // the whole key when the expression is not of the program's kind.
    const std::vector<uint16_t>& pieces() const { return pieces_; }
    // Writes keyLength() bytes to out.
    void write(const char* record, char* out);
    // ntxEntryHash(pieces(), key, recNo) of the record's key, hashed from the
    // record's fields where they lie.
    uint64_t hash(const char* record, uint32_t recNo);
    // The same through the expression, for a record whose bytes the direct
    // way cannot take as they are.
    uint64_t hashThroughExpression(const char* record, uint32_t recNo);

    // How the key's words are read from a record, for a pass that hashes many
    // records: each word is eight bytes loaded at a place of the record (the
    // record must have eight readable bytes after it), changed as its term
    // says, and shifted down. A word is only right when every field the plan
    // needs is as the key takes it (a whole number in str()'s own form, a
    // text under upper() without letters above ASCII). Empty when the key is
    // not of the program's kind. The words are in the order of their kinds
    // (their sum does not depend on the order), so that a pass can take each
    // kind in a loop of its own.
    struct HashWord {
        enum Kind : uint8_t { Raw, Upper, Date, Flag } kind;
        uint8_t shift;
        uint32_t at;
        uint64_t weight;   // NtxEntryHash::weight of its place in the key
    };
    struct Need {
        bool canonical;   // a whole number as str() writes it; else ASCII
        uint16_t width;
        uint32_t at;
        bool operator==(const Need&) const = default;
    };
    const std::vector<HashWord>& hashWords() const { return words_; }
    const std::vector<Need>& needs() const { return needs_; }

private:
    struct Segment {
        enum Kind : char { Flag, Copy, Upper, Dtos, Str } kind;
        uint32_t offset;
        uint16_t width;
    };
    bool writeDirect(const char* record, char* out) const;
    void planWords();

    const Expr* expr_;
    uint16_t length_;
    std::vector<Segment> plan_;
    std::vector<uint16_t> pieces_;
    std::vector<HashWord> words_;
    std::vector<Need> needs_;
    uint32_t reach_ = 0;   // the end of the last byte of a field the key takes
    std::string scratch_;
    std::string padded_;
};

struct IndexToCheck {
    std::string path;       // the index file
    std::string keyText;    // the key expression it must have been built from
};

// Something to look for among a table's records while the check reads them
// anyway, so that start-up reads a large table once: test gets each
// record's bytes (from two threads at once, so it must only read). done
// tells that every record was looked at, found that one of them passed the
// test, records how many there were.
struct RecordSearch {
    std::function<bool(const char* record)> test;
    bool done = false;
    bool found = false;
    uint32_t records = 0;
};

// Checks every index against the table at dbfPath; one Status per index, in
// the order given: failed when the index cannot be read, is damaged, or does
// not match the table (the message says how).
std::vector<Status> checkIndexes(const std::string& dbfPath, const std::vector<IndexToCheck>& indexes,
                                 RecordSearch* search = nullptr);

} // namespace cn::data
