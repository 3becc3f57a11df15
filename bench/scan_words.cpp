// scan_words: count the live visits whose prescription memo contains two
// given words in any letter case, reading every record and memo; SQLite runs
// the same count with LIKE over the same rows. Both counts must agree.
#include "bench/common.h"
#include "bench/workloads.h"

#include "data/cp1252.h"

#include <filesystem>

namespace cn::bench {

void runScanWords(const Context& ctx)
{
    const long n = sized(200000, ctx.quick);
    const std::string ours = ctx.folder + "/ours";
    std::filesystem::create_directories(ours);
    {
        VisitTable table(ours);
        Sql sql(ctx.folder + "/visits.sqlite");
        createSqlVisitTable(sql, false);
        sql.exec("BEGIN");
        SqlVisitInserter ins(sql);
        VisitGenerator gen(4, int(n / 8 + 1), 500);
        addVisitsToBoth(table, ins, gen, n, 10);
        table.commit();
        sql.exec("COMMIT");
    }

    // As a user would type them.
    const std::string word1 = "Paracetamol", word2 = "FEVER";

    long oursCount = 0, sqliteCount = 0;
    const double oursSeconds = timeIt([&] {
        const cn::data::FoldedSearch w1(word1), w2(word2);
        cn::data::Workspace ws(ours);
        auto opened = ws.use("PVISIT.dbf", "pvisit", cn::data::OpenMode{true, true});
        if (!opened)
            fail("open PVISIT.dbf: " + opened.message());
        cn::data::WorkArea& a = *opened.value();
        for (a.goTop(); !a.eof(); a.skip(1)) {
            const std::string memo = a.memo("PATPRES");
            if (w1.in(memo) && w2.in(memo))
                ++oursCount;
        }
    });
    const double sqliteSeconds = timeIt([&] {
        Sql sql(ctx.folder + "/visits.sqlite");
        Stmt q(sql, "SELECT count(*) FROM pvisit WHERE deleted = 0 AND patpres LIKE ? AND patpres LIKE ?");
        q.bindCopy(1, "%" + word1 + "%");
        q.bindCopy(2, "%" + word2 + "%");
        if (q.step())
            sqliteCount = long(sqlite3_column_int64(q.get(), 0));
    });
    if (oursCount != sqliteCount)
        fail("scan_words: counts differ, ours " + std::to_string(oursCount) + ", sqlite " + std::to_string(sqliteCount));
    if (oursCount == 0)
        fail("scan_words: no visit matched, the workload measures nothing");
    report("scan_words", oursSeconds, sqliteSeconds);
}

} // namespace cn::bench
