#pragma once
// What the workloads share: a deterministic generator of visit and patient
// rows, the visit table's structure and keys, a thin SQLite wrapper, and a way
// to stop with a message when either side fails (a benchmark that carries on
// after a failure measures nothing).
#include "data/status.h"
#include "data/types.h"
#include "data/workspace.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cn::bench {

[[noreturn]] void fail(const std::string& what);
void must(const cn::data::Status& s, const char* what);

// splitmix64: fast, deterministic, good enough to spread keys.
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint64_t next()
    {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int range(int lo, int hi) { return lo + int(next() % uint64_t(hi - lo + 1)); }   // inclusive
private:
    uint64_t s_;
};

// One consultation, with the fields of the visit table.
struct Visit {
    long visitno = 0, pvno = 0, chcode = 0, patcode = 0;
    cn::data::Date visitdt, nextvisit;
    std::string visittm;                  // "HH:mm:ss"
    int visittype = 1;
    std::string patsex, patrace, patnote;
    int patyrs = 0, patmnths = 0, patdays = 0, pathtft = 0, pathtin = 0, patwtlbs = 0;
    int patsys = 0, patdias = 0, patpulse = 0, pvstatus = 1;
    double pattemp = 0, patfees = 0;
    bool lnextvisit = false;
    std::string patpres;                  // the memo; empty for none
};

// Visits numbered from 1, spread over `patients` patients, each with the
// patient's running visit number. memoBytes = 0 gives visits without memo.
class VisitGenerator {
public:
    VisitGenerator(uint64_t seed, int patients, int memoBytes);
    Visit next();
private:
    Rng rng_;
    int memoBytes_;
    long visitno_ = 0;
    std::vector<long> perPatient_;
};

// Memo text of about n bytes made of words from a small medical vocabulary,
// in mixed letter case.
std::string memoText(Rng& rng, int n);

const cn::data::Structure& visitStructure();
// The five visit key expressions, in order.
const std::vector<std::string>& visitKeys();
// The same five keys as SQLite index column lists.
const std::vector<std::string>& visitSqlIndexes();

// SQLite: a file database; the visit table with the same columns (plus
// `deleted`), and an insert of one Visit through a prepared statement.
class Sql {
public:
    explicit Sql(const std::string& path);
    ~Sql();
    Sql(const Sql&) = delete;
    Sql& operator=(const Sql&) = delete;
    void exec(const std::string& sql);
    sqlite3_stmt* prepare(const std::string& sql);
    sqlite3* db() const { return db_; }
private:
    sqlite3* db_ = nullptr;
};

class Stmt {
public:
    Stmt(Sql& sql, const std::string& text) : s_(sql.prepare(text)) {}
    ~Stmt() { sqlite3_finalize(s_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    sqlite3_stmt* get() const { return s_; }
    void bind(int i, long long v) { sqlite3_bind_int64(s_, i, v); }
    void bind(int i, double v) { sqlite3_bind_double(s_, i, v); }
    // The text must outlive the step: SQLite does not copy it.
    void bind(int i, const std::string& v) { sqlite3_bind_text(s_, i, v.data(), int(v.size()), SQLITE_STATIC); }
    void bind(int i, std::string&& v) = delete;
    void bindCopy(int i, const std::string& v) { sqlite3_bind_text(s_, i, v.data(), int(v.size()), SQLITE_TRANSIENT); }
    bool step();          // true for a row, false when done; fails on an error
    void reset() { sqlite3_reset(s_); sqlite3_clear_bindings(s_); }
private:
    sqlite3_stmt* s_;
};

void createSqlVisitTable(Sql& sql, bool withIndexes);
void createSqlVisitIndexes(Sql& sql);
class SqlVisitInserter {
public:
    explicit SqlVisitInserter(Sql& sql);
    void insert(const Visit& v, bool deleted = false);
private:
    Stmt stmt_;
};

// The engine's side: a visit table (with memo file) in `folder`, opened
// exclusive, and the writing of one Visit as a new record.
class VisitTable {
public:
    explicit VisitTable(const std::string& folder, bool create = true);
    void createIndexes();              // the five keys as PVISIT1..5.ntx, attached
    void attachIndexes();              // the existing PVISIT1..5.ntx
    void add(const Visit& v, bool deleted = false);
    void commit();
    cn::data::Workspace& workspace() { return ws_; }
    cn::data::WorkArea& area() { return *area_; }
    std::string tablePath() const;
    std::vector<std::string> indexPaths() const;
private:
    cn::data::Workspace ws_;
    cn::data::WorkArea* area_ = nullptr;
};

// The same `n` generated visits written to both sides, every
// `deletedEvery`-th one deleted; the caller begins and commits.
void addVisitsToBoth(VisitTable& table, SqlVisitInserter& ins, VisitGenerator& gen, long n, long deletedEvery);

// Scaled size: full or a twentieth of it with --quick.
inline long sized(long full, bool quick) { return quick ? full / 20 : full; }

} // namespace cn::bench
