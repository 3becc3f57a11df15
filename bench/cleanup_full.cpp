// cleanup_full: the data clean-up of a folder of 100,000 patients and
// 1,000,000 visits (a twentieth with --quick), each visit with a 500-byte
// prescription and one visit in ten deleted: the whole set-up run with the
// clean-up flag, every table rebuilt without its deleted records and every
// index built anew. SQLite, holding the same patients and visits with the
// same indexes (five on the visits, two on the patients), deletes the same
// rows, then runs VACUUM and REINDEX, in the same run.
//
// Afterwards both sides must hold the same number of live visits, and ours
// must have cleaned every table and built every index: a clean-up that
// skipped its work measures nothing.
#include "bench/common.h"
#include "bench/data_folder.h"
#include "bench/workloads.h"

#include "data/catalog.h"

#include <filesystem>

namespace cn::bench {

namespace {

long long sqlCount(Sql& sql, const char* query)
{
    Stmt q(sql, query);
    return q.step() ? sqlite3_column_int64(q.get(), 0) : -1;
}

} // namespace

void runCleanupFull(const Context& ctx)
{
    const long patients = sized(100000, ctx.quick);
    const long visits = sized(1000000, ctx.quick);
    const std::string ours = ctx.folder + "/ours";
    const std::string sqlitePath = ctx.folder + "/practice.sqlite";
    std::filesystem::create_directories(ours);
    {
        Sql sql(sqlitePath);
        makeFolder(ours, FolderShape{patients, visits, 10, 97}, &sql);
    }

    cn::data::Setup::Log log;
    const double oursSeconds = timeIt([&] { log = runSetup(ours, true); });
    const double sqliteSeconds = timeIt([&] {
        Sql sql(sqlitePath);
        sql.exec("BEGIN");
        sql.exec("DELETE FROM pvisit WHERE deleted = 1");
        sql.exec("DELETE FROM patnt WHERE deleted = 1");
        sql.exec("COMMIT");
        sql.exec("VACUUM");
        sql.exec("REINDEX");
    });

    if (log.cleanedTables.size() != size_t(cn::data::catalog::kTableCount))
        fail("cleanup_full: " + std::to_string(log.cleanedTables.size()) + " tables cleaned, not every one");
    if (log.createdIndexes.size() + log.rebuiltIndexes.size() < size_t(cn::data::catalog::kIndexCount))
        fail("cleanup_full: not every index was built anew");
    cn::data::Workspace ws(ours);
    auto opened = ws.use("PVISIT.dbf", "pvisit", cn::data::OpenMode{true, true});
    if (!opened)
        fail("open PVISIT.dbf: " + opened.message());
    Sql sql(sqlitePath);
    const long long live = sqlCount(sql, "SELECT count(*) FROM pvisit");
    if (static_cast<long long>((*opened)->lastRec()) != live || live != visits - visits / 10)
        fail("cleanup_full: " + std::to_string((*opened)->lastRec()) + " visits left, SQLite " +
             std::to_string(live) + ", " + std::to_string(visits - visits / 10) + " expected");
    report("cleanup_full", oursSeconds, sqliteSeconds);
}

} // namespace cn::bench
