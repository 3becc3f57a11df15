// index_build: the five visit indexes built over a table already full of
// visits; SQLite runs CREATE INDEX for the same five keys over the same rows.
// The same files serve the check workload.
#include "bench/common.h"
#include "bench/indexed_visits.h"
#include "bench/workloads.h"

#include <filesystem>

namespace cn::bench {

IndexedVisits buildIndexedVisits(const Context& ctx)
{
    const long n = sized(1000000, ctx.quick);
    IndexedVisits out;
    out.oursFolder = ctx.folder + "/ours";
    out.sqlitePath = ctx.folder + "/visits.sqlite";
    std::filesystem::create_directories(out.oursFolder);

    // The rows, written once on each side without indexes (not timed).
    {
        VisitTable table(out.oursFolder);
        Sql sql(out.sqlitePath);
        createSqlVisitTable(sql, false);
        sql.exec("BEGIN");
        SqlVisitInserter ins(sql);
        VisitGenerator gen(2, int(n / 8 + 1), 0);
        // A few deleted records, as a real table has.
        addVisitsToBoth(table, ins, gen, n, 50);
        table.commit();
        sql.exec("COMMIT");
    }

    out.oursSeconds = timeIt([&] {
        VisitTable table(out.oursFolder, false);
        table.createIndexes();
        table.commit();
        out.tablePath = table.tablePath();
        out.indexPaths = table.indexPaths();
    });
    out.sqliteSeconds = timeIt([&] {
        Sql sql(out.sqlitePath);
        sql.exec("BEGIN");
        createSqlVisitIndexes(sql);
        sql.exec("COMMIT");
    });
    return out;
}

void runIndexBuild(const Context& ctx)
{
    const IndexedVisits v = buildIndexedVisits(ctx);
    report("index_build", v.oursSeconds, v.sqliteSeconds);
}

} // namespace cn::bench
