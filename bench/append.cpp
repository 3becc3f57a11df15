// append: visits added one by one with a 500-byte memo each while all five
// visit indexes are kept up to date; SQLite inserts the same rows into a table
// with the same five indexes in one transaction.
#include "bench/common.h"
#include "bench/workloads.h"

#include <filesystem>

namespace cn::bench {

void runAppend(const Context& ctx)
{
    const long n = sized(200000, ctx.quick);
    std::vector<Visit> rows;
    rows.reserve(size_t(n));
    VisitGenerator gen(1, int(n / 8 + 1), 500);
    for (long i = 0; i < n; ++i)
        rows.push_back(gen.next());

    const std::string ours = ctx.folder + "/ours";
    std::filesystem::create_directories(ours);
    const double oursSeconds = timeIt([&] {
        VisitTable table(ours);
        table.createIndexes();
        for (const auto& v : rows)
            table.add(v);
        table.commit();
    });

    const double sqliteSeconds = timeIt([&] {
        Sql sql(ctx.folder + "/visits.sqlite");
        createSqlVisitTable(sql, true);
        sql.exec("BEGIN");
        {
            SqlVisitInserter ins(sql);
            for (const auto& v : rows)
                ins.insert(v);
        }
        sql.exec("COMMIT");
    });
    report("append", oursSeconds, sqliteSeconds);
}

} // namespace cn::bench
