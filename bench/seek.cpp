// seek: random exact seeks on the patient name key (live flag plus upper-case
// first and last name, 41 bytes) over a patient table; SQLite answers the
// same point lookups through an index on the same three terms. Each side
// reads the patient code of the record found, and both must find the same.
#include "bench/common.h"
#include "bench/workloads.h"

#include "data/catalog.h"
#include "data/cp1252.h"

#include <filesystem>

namespace cn::bench {

namespace {

// A name of 5 to 12 letters, first upper, rest lower: unique enough that two
// patients of the run practically never share first and last name.
std::string randomName(Rng& rng)
{
    std::string s(size_t(rng.range(5, 12)), ' ');
    for (auto& c : s)
        c = char('a' + rng.next() % 26);
    s[0] = char(s[0] - 'a' + 'A');
    return s;
}

std::string padded(std::string s, size_t width)
{
    s.resize(width, ' ');
    return s;
}

} // namespace

void runSeek(const Context& ctx)
{
    const long n = sized(200000, ctx.quick);
    struct Patient { std::string first, last; };
    std::vector<Patient> patients;
    patients.reserve(size_t(n));
    Rng rng(3);
    for (long i = 0; i < n; ++i)
        patients.push_back({randomName(rng), randomName(rng)});

    // The tables (not timed).
    const std::string ours = ctx.folder + "/ours";
    std::filesystem::create_directories(ours);
    cn::data::Workspace ws(ours);
    must(ws.create("PATNT.dbf", cn::data::catalog::findTable("patnt")->fields), "create PATNT.dbf");
    auto opened = ws.use("PATNT.dbf", "patnt");
    if (!opened)
        fail("open PATNT.dbf: " + opened.message());
    cn::data::WorkArea& area = *opened.value();
    for (long i = 0; i < n; ++i) {
        must(area.append(), "append");
        must(area.setNum("PATCODE", double(i + 1)), "PATCODE");
        must(area.setStr("PATFNAME", patients[size_t(i)].first), "PATFNAME");
        must(area.setStr("PATLNAME", patients[size_t(i)].last), "PATLNAME");
        must(area.setStr("PATCITY", "Kolkata"), "PATCITY");
        must(area.setStr("PATSEX", i % 2 ? "F" : "M"), "PATSEX");
    }
    must(area.createIndex(ws.resolve("PATNT2.ntx"), cn::data::catalog::findIndex("patnt2")->key),
         "create PATNT2.ntx");
    must(ws.commitAll(), "commit");

    Sql sql(ctx.folder + "/patnt.sqlite");
    sql.exec("CREATE TABLE patnt (deleted INTEGER NOT NULL, patcode INTEGER, patfname TEXT, patlname TEXT, "
             "patcity TEXT, patsex TEXT)");
    sql.exec("BEGIN");
    {
        Stmt ins(sql, "INSERT INTO patnt VALUES (0, ?, ?, ?, 'Kolkata', ?)");
        for (long i = 0; i < n; ++i) {
            ins.bind(1, (long long)(i + 1));
            ins.bind(2, patients[size_t(i)].first);
            ins.bind(3, patients[size_t(i)].last);
            ins.bindCopy(4, i % 2 ? "F" : "M");
            ins.step();
            ins.reset();
        }
    }
    sql.exec("CREATE INDEX patnt2 ON patnt(deleted, upper(patfname), upper(patlname))");
    sql.exec("COMMIT");

    // The lookups: the same random patients on both sides, keys built outside
    // the timing as the program builds them before it seeks.
    const long seeks = sized(200000, ctx.quick);
    std::vector<size_t> picks;
    picks.reserve(size_t(seeks));
    for (long i = 0; i < seeks; ++i)
        picks.push_back(size_t(rng.next() % uint64_t(n)));
    std::vector<std::string> keys, firsts, lasts;
    keys.reserve(picks.size());
    for (size_t p : picks) {
        const std::string f = cn::data::upperCp1252(patients[p].first);
        const std::string l = cn::data::upperCp1252(patients[p].last);
        keys.push_back("F" + padded(f, 20) + padded(l, 20));
        firsts.push_back(f);
        lasts.push_back(l);
    }

    long long oursSum = 0, sqliteSum = 0, missed = 0;
    const double oursSeconds = timeIt([&] {
        for (const auto& k : keys) {
            if (area.seek(k))
                oursSum += (long long)area.num("PATCODE");
            else
                ++missed;
        }
    });
    const double sqliteSeconds = timeIt([&] {
        Stmt q(sql, "SELECT patcode FROM patnt WHERE deleted = 0 AND upper(patfname) = ? AND upper(patlname) = ?");
        for (size_t i = 0; i < keys.size(); ++i) {
            q.bind(1, firsts[i]);
            q.bind(2, lasts[i]);
            if (q.step())
                sqliteSum += sqlite3_column_int64(q.get(), 0);
            q.reset();
        }
    });
    if (missed > 0)
        fail("seek: " + std::to_string(missed) + " keys of existing patients not found");
    if (oursSum != sqliteSum)
        fail("seek: the two sides found different patients");
    report("seek", oursSeconds, sqliteSeconds);
}

} // namespace cn::bench
