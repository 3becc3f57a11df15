// Registration in one place so the workloads run in this order.
#include "bench/workloads.h"

namespace cn::bench {
namespace {
const Register r1("append", runAppend);
const Register r2("index_build", runIndexBuild);
const Register r3("seek", runSeek);
const Register r4("scan_words", runScanWords);
const Register r4q("query_search", runQuerySearch);
const Register r4s("query_scroll", runQueryScroll);
const Register r5("check", runCheck);
const Register r6("setup_idle", runSetupIdle);
const Register r7("backup", runBackup);
const Register r8("cleanup_full", runCleanupFull);
} // namespace
} // namespace cn::bench
