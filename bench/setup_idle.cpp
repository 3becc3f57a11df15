// setup_idle: the start-up set-up on a data folder of 100,000 patients and
// 1,000,000 visits (a twentieth with --quick) with nothing to create, upgrade
// or rebuild: every structure checked, every index checked against its table,
// the initial rows looked for, every table opened. The baseline is reading
// every file of the folder once, in the same run: a doctor should never wait
// at start-up for more than one read of the data.
//
// Each visit carries a prescription of 500 bytes, as the append workload's
// do, so the memo file is part of the folder read; set-up itself never reads
// it. The line also gives the ratio to reading the tables and indexes alone
// (tables_ratio), the files set-up has to read, and the CPU time set-up took
// on both its threads (ours_cpu_s).
//
// After the timing, one visit is changed behind its index and set-up must
// find that index stale: a fast set-up that no longer checks measures nothing.
#include "bench/common.h"
#include "bench/data_folder.h"
#include "bench/workloads.h"

#include "data/catalog.h"
#include "data/dbf_file.h"
#include "data/setup.h"

#include <algorithm>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <unistd.h>
#include <vector>

namespace cn::bench {

namespace {

namespace fs = std::filesystem;
using namespace cn::data;

bool idle(const Setup::Log& log)
{
    return log.createdTables.empty() && log.upgradedTables.empty() && log.createdIndexes.empty() &&
           log.rebuiltIndexes.empty() && log.recovered.empty();
}

// CPU time of the whole process (set-up checks a large table's indexes on a
// second thread), for judging a figure taken on a busy machine.
double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

bool tableOrIndex(const fs::path& p)
{
    const std::string ext = catalog::lower(p.extension().string());
    return ext == ".dbf" || ext == ".ntx";
}

// Every file of the folder (or only its tables and indexes) read once, front
// to back.
void readEverything(const std::string& folder, bool onlyTablesAndIndexes = false)
{
    std::vector<char> buf(1 << 20);
    for (const auto& e : fs::directory_iterator(folder)) {
        if (onlyTablesAndIndexes && !tableOrIndex(e.path()))
            continue;
        const int fd = ::open(e.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            fail("open " + e.path().string());
        ssize_t got = 0;
        while ((got = ::read(fd, buf.data(), buf.size())) > 0) {
        }
        ::close(fd);
        if (got < 0)
            fail("read " + e.path().string());
    }
}

// Changes one visit's patient code in the table file alone, as a program
// that does not know the indexes would.
void changeVisitBehindIndexes(const std::string& folder, uint32_t recNo)
{
    Workspace ws(folder);
    auto opened = ws.use("PVISIT.dbf", "pvisit");
    if (!opened)
        fail("open PVISIT.dbf: " + opened.message());
    const std::string path = (*opened)->path();
    const FieldDef f = (*opened)->fieldInfo((*opened)->fieldPos("PATCODE"));
    ws.closeAll();
    auto dbf = DbfFile::open(path, true);
    if (!dbf)
        fail(dbf.message());
    std::string rec((*dbf)->recordLength(), ' ');
    must((*dbf)->read(recNo, rec.data()), "read visit");
    const int at = (*dbf)->fieldIndex(f.name);
    char* field = rec.data() + (*dbf)->fields()[size_t(at)].offset;
    must(encodeNumeric(decodeNumeric(std::string_view(field, size_t(f.width))) + 1, f.width, 0, field),
         "encode PATCODE");
    must((*dbf)->write(recNo, rec.data()), "write visit");
}

} // namespace

void runSetupIdle(const Context& ctx)
{
    const long patients = sized(100000, ctx.quick);
    const long visits = sized(1000000, ctx.quick);
    makeFolder(ctx.folder, FolderShape{patients, visits});
    readEverything(ctx.folder);   // both sides start from the same warm cache

    // The best of seven of each, taken in turns, for a machine shared with
    // other work: on this one a single figure of either varies by a fifth.
    double ours = 1e9, oursCpu = 1e9, read = 1e9, tables = 1e9;
    for (int i = 0; i < 7; ++i) {
        Setup::Log log;
        const double cpuBefore = processCpuSeconds();
        ours = std::min(ours, timeIt([&] { log = runSetup(ctx.folder); }));
        oursCpu = std::min(oursCpu, processCpuSeconds() - cpuBefore);
        if (!idle(log))
            fail("setup_idle: set-up changed something on a folder that needed nothing");
        read = std::min(read, timeIt([&] { readEverything(ctx.folder); }));
        tables = std::min(tables, timeIt([&] { readEverything(ctx.folder, true); }));
    }
    std::printf("setup_idle ratio=%.3f ours_s=%.4f read_s=%.4f tables_ratio=%.3f tables_read_s=%.4f ours_cpu_s=%.4f "
                "patients=%ld visits=%ld\n",
                ours / read, ours, read, ours / tables, tables, oursCpu, patients, visits);
    std::fflush(stdout);

    changeVisitBehindIndexes(ctx.folder, uint32_t(visits / 2));
    const Setup::Log log = runSetup(ctx.folder);
    const std::set<int> want = {catalog::findIndex("pvisit2")->number, catalog::findIndex("pvisit4")->number};
    if (log.rebuiltIndexes != want)
        fail("setup_idle: set-up did not find the two visit indexes stale after a patient code changed behind them");
}

} // namespace cn::bench
