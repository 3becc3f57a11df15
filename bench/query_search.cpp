// query_search: the query window's search over a million visits spread over
// 27 years: a year's dates, two words of the prescription and a fee range,
// the matching visits in date and time order with their fee total. SQLite
// runs the same search (date range and fee range, two LIKE words on the
// prescription) over the same rows, with its indexes on the same keys. Both
// must find the same visits.
#include "bench/common.h"
#include "bench/workloads.h"

#include "query/visit_query.h"

#include <cmath>
#include <filesystem>

namespace cn::bench {

void runQuerySearch(const Context& ctx)
{
    const long n = sized(1000000, ctx.quick);
    const std::string ours = ctx.folder + "/query";
    const std::string sqlPath = ctx.folder + "/query.sqlite";
    std::filesystem::create_directories(ours);
    {
        VisitTable table(ours);
        Sql sql(sqlPath);
        createSqlVisitTable(sql, false);
        sql.exec("BEGIN");
        SqlVisitInserter ins(sql);
        VisitGenerator gen(7, int(n / 10 + 1), 200);
        addVisitsToBoth(table, ins, gen, n, 20);
        table.createIndexes();
        table.commit();
        createSqlVisitIndexes(sql);
        sql.exec("COMMIT");
    }

    // As a user would type them.
    query::Criteria c;
    c.from = QDate(2020, 1, 1);
    c.to = QDate(2020, 12, 31);
    c.presWords = QStringLiteral("Paracetamol  FEVER");
    c.feesFrom = 100;
    c.feesTo = 1000;

    size_t oursCount = 0, sqliteCount = 0;
    double oursFees = 0, sqliteFees = 0;
    const double oursSeconds = timeIt([&] {
        cn::data::Workspace ws(ours);
        auto r = query::search(ws, c);
        if (!r)
            fail("query_search: " + r.message());
        oursCount = r.value().records.size();
        oursFees = r.value().totalFees;
    });
    const double sqliteSeconds = timeIt([&] {
        Sql sql(sqlPath);
        Stmt q(sql, "SELECT rowid, patfees FROM pvisit WHERE deleted = 0 AND visitdt BETWEEN ? AND ? "
                    "AND patfees BETWEEN ? AND ? AND patpres LIKE ? AND patpres LIKE ? ORDER BY visitdt, visittm");
        q.bindCopy(1, "20200101");
        q.bindCopy(2, "20201231");
        q.bind(3, 100.0);
        q.bind(4, 1000.0);
        q.bindCopy(5, "%Paracetamol%");
        q.bindCopy(6, "%FEVER%");
        while (q.step()) {
            ++sqliteCount;
            sqliteFees += sqlite3_column_double(q.get(), 1);
        }
    });
    if (oursCount != sqliteCount)
        fail("query_search: counts differ, ours " + std::to_string(oursCount) + ", sqlite " +
             std::to_string(sqliteCount));
    if (oursCount == 0)
        fail("query_search: no visit matched, the workload measures nothing");
    if (std::abs(oursFees - sqliteFees) > 0.005 * double(oursCount))
        fail("query_search: fee totals differ");
    report("query_search", oursSeconds, sqliteSeconds);
}

} // namespace cn::bench
