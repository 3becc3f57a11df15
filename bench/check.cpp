// check: the data tool's check of the visit table and its five indexes
// (header, memo pointers, one key per record, order, each key recomputed
// from its record); SQLite runs PRAGMA integrity_check over the same rows
// and indexes.
#include "bench/common.h"
#include "bench/indexed_visits.h"
#include "bench/workloads.h"
#include "tools/check.h"

namespace cn::bench {

void runCheck(const Context& ctx)
{
    const IndexedVisits v = buildIndexedVisits(ctx);

    cn::tool::CheckResult result;
    const double oursSeconds = timeIt([&] { result = cn::tool::checkTable(v.tablePath, v.indexPaths); });
    if (!result.ok())
        fail("check found problems in a sound table: " + result.problems.front());

    std::string verdict;
    const double sqliteSeconds = timeIt([&] {
        Sql sql(v.sqlitePath);
        Stmt st(sql, "PRAGMA integrity_check");
        while (st.step())
            verdict += reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0));
    });
    if (verdict != "ok")
        fail("sqlite integrity_check: " + verdict);
    report("check", oursSeconds, sqliteSeconds);
}

} // namespace cn::bench
